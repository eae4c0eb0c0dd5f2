"""Scan finds the EtherNet/IP devices on the chosen interface: three
simulated devices behind a switch, two of them listed, one of which answers
from another address than its relation's. The relation list shows which are
online and what they are, the "Devices on the network" window lists all
three, and its Add as Relation turns the unlisted one into a relation."""

import atspi_driver as ui
from clients import spawn_ready
from waits import wait_until

ENIP_PORT = 44818
# (MAC, address it answers from, relation's address or None, product name)
DEVICES = [
    ("02:00:00:e2:e5:01", "192.168.79.70", "192.168.79.70", "Drive A"),
    ("02:00:00:e2:e5:02", "192.168.79.72", "192.168.79.71", "Drive B"),
    ("02:00:00:e2:e5:03", "192.168.79.73", None, "IO Block C"),
]
DEVICES_TITLE = "Devices on the network"


def start_devices(ctx, topology):
    processes = []
    for i, (mac, address, _, product) in enumerate(DEVICES):
        ns = topology.add_device(mac, address)
        process, _ = spawn_ready(topology, [ctx.options.sim, "--port", ENIP_PORT, "--udp-port", ENIP_PORT,
                                            "--seconds", 90, "--serial", 0x1000 + i, "--product-name", product],
                                 "udp", ns=ns)
        processes.append(process)
    return processes


def cell(tree, row, header):
    return ui.table_rows(tree)[row][ui.column_index(tree, header)]


def run(ctx):
    topology, _ = ctx.open_returning_user("sc")
    csv_path = ctx.workspace.path("plant.csv")
    with open(csv_path, "w") as out:
        out.write("MAC,IP,Hostname,Description\n")
        for mac, _, listed, _ in DEVICES:
            if listed:
                out.write("{},{},,\n".format(mac.upper(), listed))
    start_devices(ctx, topology)
    ctx.start_program([csv_path])
    ctx.wait_status("Load file complete")

    main = ctx.main_window()
    ui.choose_menu(ctx.app, main, "View", "Scan")
    ctx.wait_status("3 EtherNet/IP devices answered on e2e0.", deadline_s=15)

    relations = ctx.relations()
    a = ui.wait_row(relations, DEVICES[0][0].upper())
    ui.wait_cell(relations, a, ui.column_index(relations, "Online"), "Online")
    assert cell(relations, a, "Product") == "Drive A", "row {!r}".format(ui.table_rows(relations)[a])
    b = ui.wait_row(relations, DEVICES[1][0].upper())
    ui.wait_cell(relations, b, ui.column_index(relations, "Online"), "Online at 192.168.79.72")
    assert cell(relations, b, "Product") == "Drive B", "row {!r}".format(ui.table_rows(relations)[b])

    ui.choose_menu(ctx.app, main, "View", "Devices on the Network")
    window = ui.window(ctx.app, DEVICES_TITLE)
    devices = ui.list_view(window, DEVICES_TITLE)
    for mac, address, listed, product in DEVICES:
        row = ui.wait_row(devices, address)
        assert cell(devices, row, "Ethernet Address (MAC)") == mac.upper(), "row {!r}".format(ui.table_rows(devices)[row])
        assert cell(devices, row, "Product Name") == product, "row {!r}".format(ui.table_rows(devices)[row])
        expected = "No" if listed is None else ("Yes" if listed == address else "Yes, as {}".format(listed))
        assert cell(devices, row, "Listed") == expected, "row {!r}".format(ui.table_rows(devices)[row])

    mac, address, _, product = DEVICES[2]
    ui.click(ui.table_cell(devices, ui.wait_row(devices, address), 0))
    ui.press(window, "Add as Relation")
    entry = ui.window(ctx.app, "New Entry")
    shown = ui.text_of(ui.edit(entry, "Client Address (MAC)"))
    assert shown == mac.upper(), "the editor starts with the MAC {!r}".format(shown)
    assert ui.ip_text(entry, "Client IP Address") == address, "the editor starts with {!r}".format(
        ui.ip_text(entry, "Client IP Address"))
    ui.press(entry, "OK")
    ui.wait_until_gone(ctx.app, "New Entry")

    c = ui.wait_row(relations, mac.upper())
    ui.wait_cell(relations, c, ui.column_index(relations, "Online"), "Online")
    assert cell(relations, c, "Product") == product, "row {!r}".format(ui.table_rows(relations)[c])
    assert cell(relations, c, "Description") == product, "row {!r}".format(ui.table_rows(relations)[c])
    ui.wait_cell(devices, ui.wait_row(devices, address), ui.column_index(devices, "Listed"), "Yes")
    wait_until(lambda: ctx.counter_text() == "3 of 256", ui.WAIT_S, "the counter")
