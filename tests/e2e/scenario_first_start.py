"""First start of a new user on a host with two adapters: the interface
dialog, the "Network Setup" message, the Network Settings dialog with the
chosen interface's own mask, then the main window."""

import atspi_driver as ui

# A mask that is not the /24 of the other adapter, so that the dialog's
# default is seen to come from the chosen interface.
FIRST_PREFIX = 25
FIRST_MASK = "255.255.255.128"


def run(ctx):
    topology = ctx.open("fs")
    first = topology.add_pair(prefix=FIRST_PREFIX)
    second = topology.add_pair(prefix=24)
    topology.wait_link_up()
    # No settings file at all: this user has never run the program.

    ctx.start_program()

    chooser = ui.window(ctx.app, "Select Network Interface")
    ui.wait_find(chooser, "label", "Please select a network interface:")
    adapters = ui.list_view(chooser, "Please select a network interface")
    rows = ui.table_rows(adapters)
    descriptions = [row[0] for row in rows]
    assert descriptions == [first, second], "adapter rows {!r}".format(rows)
    assert rows[0][1] == "192.168.79.1", "first adapter's address {!r}".format(rows[0][1])
    ui.click(ui.table_cell(adapters, 0, 0))
    ui.press(chooser, "OK")

    box = ui.message_box(ctx.app, "Please configure your network settings before\nusing the Corvessa.")
    assert ui.name(box) == "Network Setup", "caption {!r}".format(ui.name(box))
    ui.press(box, "OK")

    dialog = ui.window(ctx.app, "Network Settings")
    ui.wait_find(dialog, "label", "Adapter: " + first)
    mask = ui.ip_text(dialog, "Subnet Mask")
    assert mask == FIRST_MASK, "the dialog offers the mask {!r}".format(mask)
    server = ui.text_of(ui.edit(dialog, "Server IP address"))
    assert server == "192.168.79.1", "server address {!r}".format(server)
    ui.press(dialog, "OK")

    ctx.main_window()
    assert ctx.counter_text() == "0 of 256", "counter {!r}".format(ctx.counter_text())
    assert ctx.status_text() == "Listening for connected devices...", "status {!r}".format(ctx.status_text())
