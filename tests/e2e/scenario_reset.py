"""The network reset message: on a single selected relation whose hardware
address begins 0A-00-3C the Tools menu item is enabled and broadcasts a DHCP
FORCERENEW that the device's side of the link receives on port 68."""

import atspi_driver as ui
from clients import helper_argv, read_report, spawn_ready
from waits import wait_until

DEVICE_MAC = "0a:00:3c:12:34:56"
DEVICE_MAC_TEXT = "0A:00:3C:12:34:56"
OTHER_MAC_TEXT = "02:00:00:12:34:56"
RESET_ITEM = "Reset Module's Network Settings to Factory Defaults"

# Offsets of the BOOTP layout.
OP = 0
HLEN = 2
CHADDR = 28
COOKIE = 236
OPTIONS = 240


def run(ctx):
    # The device's end has an address, so its stack takes broadcasts to port 68.
    topology, _ = ctx.open_returning_user("rs", client_mac=DEVICE_MAC, client_address="192.168.79.2")
    csv_path = ctx.workspace.path("modules.csv")
    with open(csv_path, "w") as out:
        out.write("MAC,IP,Hostname,Description\n"
                  "{},192.168.79.80,module-a,Adapter A\n"
                  "{},192.168.79.81,module-b,Adapter B\n".format(DEVICE_MAC_TEXT, OTHER_MAC_TEXT))
    ctx.start_program([csv_path])
    ctx.wait_status("Load file complete")
    relations = ctx.relations()
    main = ctx.main_window()

    # A relation of another maker: the item is greyed.
    ui.click(ui.table_cell(relations, ui.wait_row(relations, OTHER_MAC_TEXT), 0))
    assert not ui.choose_menu(ctx.app, main, "Tools", RESET_ITEM, require_enabled=False), \
        "the reset item is enabled for {}".format(OTHER_MAC_TEXT)

    capture = ctx.workspace.path("forcerenew.hex")
    listener, _ = spawn_ready(ctx.topology, helper_argv("udp_listen.py", "--port", 68, "--out", capture,
                                                        "--seconds", 30), "ready")
    ui.click(ui.table_cell(relations, ui.wait_row(relations, DEVICE_MAC_TEXT), 0))
    assert ui.choose_menu(ctx.app, main, "Tools", RESET_ITEM)
    ctx.wait_status("Sent network reset message (DHCP FORCE_RENEW) to {}".format(DEVICE_MAC_TEXT))

    # The listener ends by itself once the datagram is in.
    wait_until(lambda: listener.poll() is not None, 15, "the FORCERENEW on port 68")
    assert listener.returncode == 0, "no datagram reached port 68"
    sender, payload = read_report(capture).splitlines()
    assert sender.split()[1] == "67", "sent from {}".format(sender)
    message = bytes.fromhex(payload)
    assert len(message) == 300, "{} bytes".format(len(message))
    assert message[OP] == 2 and message[HLEN] == 6
    assert message[CHADDR:CHADDR + 6] == bytes.fromhex(DEVICE_MAC.replace(":", ""))
    assert message[COOKIE:OPTIONS] == bytes([99, 130, 83, 99])
    # Option 53 (DHCP message type) = 9 (FORCERENEW), then End.
    assert message[OPTIONS:OPTIONS + 4] == bytes([53, 1, 9, 255]), message[OPTIONS:OPTIONS + 4].hex()
