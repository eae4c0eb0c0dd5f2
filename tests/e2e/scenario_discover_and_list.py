"""A device that is not listed asks for an address; its request shows in the
Discovery History, a double-click turns it into a relation, and the device's
next attempt obtains the listed address by DHCP."""

import atspi_driver as ui
from clients import read_report, udhcpc, write_udhcpc_script

DEVICE_MAC = "02:00:00:e2:e0:01"
DEVICE_MAC_TEXT = "02:00:00:E2:E0:01"
DEVICE_IP = "192.168.79.50"
DEVICE_HOSTNAME = "plc-e2e"


def run(ctx):
    topology, _ = ctx.open_returning_user("dl", client_mac=DEVICE_MAC)
    ctx.start_program()
    ctx.main_window()

    script, report = write_udhcpc_script(ctx.workspace, "udhcpc")
    first = udhcpc(topology, script, tries=2)
    assert first.returncode != 0, "udhcpc got a lease before the device was listed"
    assert read_report(report) is None

    history = ctx.history()
    row = ui.wait_row(history, DEVICE_MAC_TEXT)
    cells = ui.table_rows(history)[row]
    assert cells[ui.column_index(history, "Type  ")] == "DHCP", "history row {!r}".format(cells)
    assert cells[ui.column_index(history, "IP Address          ")] == "", "history row {!r}".format(cells)
    ctx.wait_status("Unable to service DHCP request from {}.".format(DEVICE_MAC_TEXT))

    ui.double_click(ui.table_cell(history, row, 0))
    entry = ui.window(ctx.app, "New Entry")
    mac = ui.text_of(ui.edit(entry, "Client Address (MAC)"))
    assert mac == DEVICE_MAC_TEXT, "the editor starts with the MAC {!r}".format(mac)
    ui.set_ip(entry, "Client IP Address", DEVICE_IP)
    ui.set_text(ui.edit(entry, "Hostname"), DEVICE_HOSTNAME)
    ui.press(entry, "OK")
    ui.wait_until_gone(ctx.app, "New Entry")

    relations = ctx.relations()
    listed = ui.table_rows(relations)[ui.wait_row(relations, DEVICE_MAC_TEXT)]
    assert listed[ui.column_index(relations, "IP Address          ")] == DEVICE_IP, "row {!r}".format(listed)
    assert listed[ui.column_index(relations, "Hostname")] == DEVICE_HOSTNAME, "row {!r}".format(listed)
    assert ctx.counter_text() == "1 of 256", "counter {!r}".format(ctx.counter_text())

    second = udhcpc(topology, script, tries=3)
    assert second.returncode == 0, "udhcpc obtained no lease once listed: {}".format(second.stderr[-500:])
    assert read_report(report) == DEVICE_IP, "udhcpc obtained {!r}".format(read_report(report))

    ctx.wait_status("Sent {} to Ethernet address {}".format(DEVICE_IP, DEVICE_MAC_TEXT))
    type_column = ui.column_index(relations, "Type  ")
    ui.wait_cell(relations, ui.wait_row(relations, DEVICE_MAC_TEXT), type_column, "DHCP")
