"""Ended from outside with unsaved relations, as at logout: the program is
started with a prepared list, a relation is added and not saved, and the
relation editor is open again when SIGTERM comes. The program ends by
itself with exit code 0, without a question, and keeps the relations in its
state folder. The next start offers them; Restore brings them back under
the name of their file, and the added device obtains its address."""

import os
import signal

import atspi_driver as ui
from clients import bootpc
from session import recovery_folder, write_relations_csv

LISTED_MAC_TEXT = "02:00:00:E2:E0:07"
LISTED_IP = "192.168.79.70"
ADDED_MAC = "02:00:00:e2:e0:08"
ADDED_MAC_TEXT = "02:00:00:E2:E0:08"
ADDED_IP = "192.168.79.71"
OFFER = "The relations of '{}' were not saved when Corvessa was last ended.\nRestore them now, or discard them?"


def add_relation(ctx, mac_text, address):
    ui.press(ctx.main_window(), "Add Relation")
    entry = ui.window(ctx.app, "New Entry")
    ui.set_text(ui.edit(entry, "Client Address (MAC)"), mac_text)
    ui.set_ip(entry, "Client IP Address", address)
    ui.press(entry, "OK")
    ui.wait_until_gone(ctx.app, "New Entry")


def run(ctx):
    topology, _ = ctx.open_returning_user("rc", client_mac=ADDED_MAC)
    csv_path = ctx.workspace.path("hall.csv")
    write_relations_csv(csv_path, [(LISTED_MAC_TEXT, LISTED_IP, "press-7", "Line 7")])

    ctx.start_program([csv_path])
    ctx.wait_status("Load file complete")
    add_relation(ctx, ADDED_MAC_TEXT, ADDED_IP)
    ui.wait_row(ctx.relations(), ADDED_MAC_TEXT)
    # The editor is open when the session ends.
    ui.press(ctx.main_window(), "Add Relation")
    ui.window(ctx.app, "New Entry")

    os.kill(ctx.program.pid, signal.SIGTERM)
    code = ctx.expect_exit()
    assert code == 0, "the program ended with {}".format(code)
    folder = recovery_folder(ctx.workspace.config_home)
    with open(os.path.join(folder, "recovery"), encoding="utf-8") as index:
        assert index.read() == "hall.csv.bpc\n" + csv_path, "the index names another copy"
    assert os.path.getsize(os.path.join(folder, "hall.csv.bpc")) == 61 + 2 * 310, "the copy holds no two relations"
    with open(csv_path) as prepared:
        assert ADDED_MAC_TEXT not in prepared.read(), "the user's file was written"
    ctx.program.stop()

    ctx.start_program()
    box = ui.message_box(ctx.app, OFFER.format(csv_path))
    assert ui.name(box) == "Unsaved Relations", "caption {!r}".format(ui.name(box))
    ui.press(box, "Restore")
    ctx.wait_status("Restored the unsaved relations of '{}'.".format(csv_path))
    main = ctx.main_window()
    assert ui.name(main) == "Corvessa - " + csv_path, "title {!r}".format(ui.name(main))
    relations = ctx.relations()
    for mac_text in (LISTED_MAC_TEXT, ADDED_MAC_TEXT):
        ui.wait_row(relations, mac_text)
    assert ctx.counter_text() == "2 of 256", "counter {!r}".format(ctx.counter_text())

    result = bootpc(topology)
    assert result.returncode == 0, "bootpc obtained no address: {}".format(result.stderr[-500:])
    assert "IPADDR='{}'".format(ADDED_IP) in result.stdout, "bootpc printed {!r}".format(result.stdout)
    ctx.wait_status("Sent {} to Ethernet address {}".format(ADDED_IP, ADDED_MAC_TEXT))
