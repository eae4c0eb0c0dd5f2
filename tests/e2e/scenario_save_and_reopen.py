"""A relation list is saved to a .bpc file through the Save As dialog, the
program is closed without a question and started again with that file; the
relation is listed and a pure BOOTP client obtains its address."""

import os

import atspi_driver as ui
from clients import bootpc
from session import write_relations_csv

DEVICE_MAC = "02:00:00:e2:e0:02"
DEVICE_MAC_TEXT = "02:00:00:E2:E0:02"
DEVICE_IP = "192.168.79.60"
DEVICE_HOSTNAME = "bootp-dev"
DEVICE_DESCRIPTION = "Press line 4"


def expect_listed(ctx):
    relations = ctx.relations()
    row = ui.table_rows(relations)[ui.wait_row(relations, DEVICE_MAC_TEXT)]
    expected = {"IP Address          ": DEVICE_IP, "Hostname": DEVICE_HOSTNAME,
                "Description": DEVICE_DESCRIPTION}
    for header, value in expected.items():
        assert row[ui.column_index(relations, header)] == value, "relation row {!r}".format(row)
    assert ctx.counter_text() == "1 of 256", "counter {!r}".format(ctx.counter_text())


def run(ctx):
    topology, _ = ctx.open_returning_user("sr", client_mac=DEVICE_MAC)
    csv_path = ctx.workspace.path("prepared.csv")
    write_relations_csv(csv_path, [(DEVICE_MAC_TEXT, DEVICE_IP, DEVICE_HOSTNAME, DEVICE_DESCRIPTION)])
    bpc_path = ctx.workspace.path("plant.bpc")

    ctx.start_program([csv_path])
    ctx.wait_status("Load file complete")
    expect_listed(ctx)

    ui.choose_menu(ctx.app, ctx.main_window(), "File", "Save As...")
    dialog = ui.window(ctx.app, "Save As")
    # Qt's own file dialog names its edit by its label, colon included.
    ui.set_text(ui.edit(dialog, "File name:"), bpc_path)
    ui.press(dialog, "Save")
    ui.wait_until_gone(ctx.app, "Save As")
    ctx.wait_status("Save file complete")
    main = ctx.main_window()
    assert ui.name(main) == "Corvessa - " + bpc_path, "title {!r}".format(ui.name(main))
    assert os.path.getsize(bpc_path) > 0

    # Nothing changed since the save: Exit ends the program without asking.
    ui.choose_menu(ctx.app, main, "File", "Exit")
    code = ctx.expect_exit()
    assert code == 0, "the program ended with {}".format(code)
    ctx.program.stop()

    ctx.start_program([bpc_path])
    ctx.wait_status("Load file complete")
    main = ctx.main_window()
    assert ui.name(main) == "Corvessa - " + bpc_path, "title {!r}".format(ui.name(main))
    expect_listed(ctx)

    result = bootpc(topology)
    assert result.returncode == 0, "bootpc obtained no address: {}".format(result.stderr[-500:])
    assert "IPADDR='{}'".format(DEVICE_IP) in result.stdout, "bootpc printed {!r}".format(result.stdout)
    ctx.wait_status("Sent {} to Ethernet address {}".format(DEVICE_IP, DEVICE_MAC_TEXT))
    relations = ctx.relations()
    ui.wait_cell(relations, ui.wait_row(relations, DEVICE_MAC_TEXT), ui.column_index(relations, "Type  "),
                 "BOOTP")
