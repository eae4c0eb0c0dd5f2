"""Every control of the program's windows is found by its own text: buttons
and menu items by their visible text, the two lists and every edit and IP
address field by the caption beside them, the status line and the counter
by what they show. Walks the main window, both context menus, New Entry,
Network Settings, Select Network Interface and About, and names each control
that a screen reader could not name."""

import atspi_driver as ui

# Roles a user acts on or reads; each needs a name of its own.
NAMED_ROLES = {"push button", "menu item", "text", "combo box", "check box", "radio button",
               "spin button", "list", "page tab", "slider"} | set(ui.LIST_ROLES)

MAIN_BUTTONS = ["Add Relation", "Clear History", "Delete Relation", "Enable BOOTP/DHCP", "Disable BOOTP/DHCP"]
MAIN_MENUS = {
    "File": ["New", "Open", "Save", "Save As...", "Exit"],
    "Tools": ["Select Network Interface", "Network Settings", "Add Relation", "Clear Discovery History",
              "Delete Relation", "Enable BOOTP/DHCP", "Disable BOOTP/DHCP",
              "Reset Module's Network Settings to Factory Defaults", "Properties", "Confirm Address"],
    "View": ["Scan", "Scan Every 10 s", "Devices on the Network"],
    # The item's text carries its key after tabs, as menus show keys.
    "Help": ["Help Topics\t\tF1", "About Corvessa"],
}
HISTORY_MENU = ["Add Relation", "Clear History"]
RELATION_MENU = ["Add Relation", "Delete", "Enable BOOTP/DHCP", "Disable BOOTP/DHCP",
                 "Reset Module's Network Settings to Factory Defaults", "Properties", "Confirm Address"]


def audit(window, expected):
    """Problems of one window, read once: unnamed controls, captions without
    their control, and expected names that are missing."""
    title = ui.name(window)
    controls = ui.snapshot(window)
    problems = ["{} without a name in {!r}".format(r, title)
                for r, n in controls if r in NAMED_ROLES and not n]
    # A label ending in a colon captions a control, which carries the caption.
    for r, text in controls:
        if r == "label" and text.endswith(":") and not any(
                n == text[:-1] and cr != "label" for cr, n in controls):
            problems.append("no control named {!r} beside the label {!r} in {!r}".format(text[:-1], text, title))
    for role_name, names in expected:
        for wanted in names:
            if (role_name, wanted) not in controls:
                problems.append("no {} named {!r} in {!r}".format(role_name, wanted, title))
    return problems


def run(ctx):
    problems = []
    _, interface = ctx.open_returning_user("an")
    ctx.start_program()
    main = ctx.main_window()

    expected = [("push button", MAIN_BUTTONS), ("menu item", list(MAIN_MENUS)),
                ("label", ["Discovery History", "Entered Relations", "Listening for connected devices...",
                           "0 of 256"])]
    for items in MAIN_MENUS.values():
        expected.append(("menu item", items))
    problems += audit(main, expected)
    main_controls = ui.snapshot(main)
    for caption in ("Discovery History", "Entered Relations"):
        if not any(n == caption and r in ui.LIST_ROLES for r, n in main_controls):
            problems.append("no list named {!r} in the main window".format(caption))

    # Context menus of both lists.
    for caption, wanted in (("Discovery History", HISTORY_MENU), ("Entered Relations", RELATION_MENU)):
        with ui.PopupWatch() as watch:
            ui.right_click(ui.list_view(main, caption))
            items = watch.wait()
        if items != wanted:
            problems.append("the context menu of {!r} names its items {!r}, expected {!r}".format(
                caption, items, wanted))
        ui.key("Escape")

    ui.press(main, "Add Relation")
    entry = ui.window(ctx.app, "New Entry")
    problems += audit(entry, [
        ("text", ["Server IP Address", "Client Address (MAC)", "Hostname", "Description"]
         + ["Client IP Address octet {}".format(i) for i in range(1, 5)]),
        ("push button", ["OK", "Cancel"])])
    ui.press(entry, "Cancel")
    ui.wait_until_gone(ctx.app, "New Entry")

    ui.choose_menu(ctx.app, main, "Tools", "Network Settings")
    settings = ui.window(ctx.app, "Network Settings")
    octets = ["{} octet {}".format(c, i) for c in ("Subnet Mask", "Gateway", "Primary DNS", "Secondary DNS")
              for i in range(1, 5)]
    problems += audit(settings, [
        ("text", ["Server IP address", "Domain Name"] + octets),
        ("label", ["Adapter: " + interface]),
        ("push button", ["Reset Defaults", "OK", "Cancel"])])
    ui.press(settings, "Cancel")
    ui.wait_until_gone(ctx.app, "Network Settings")

    ui.choose_menu(ctx.app, main, "Tools", "Select Network Interface")
    chooser = ui.window(ctx.app, "Select Network Interface")
    problems += audit(chooser, [("label", ["Please select a network interface:"]), ("push button", ["OK"])])
    ui.press(chooser, "OK")
    box = ui.message_box(ctx.app, "Please select an adapter.")
    ui.press(box, "OK")
    adapters = ui.list_view(chooser, "Please select a network interface")
    ui.click(ui.table_cell(adapters, 0, 0))
    ui.press(chooser, "OK")
    ui.wait_until_gone(ctx.app, "Select Network Interface")

    ui.choose_menu(ctx.app, main, "Help", "About Corvessa")
    about = ui.window(ctx.app, "About Corvessa")
    problems += audit(about, [("label", ["Corvessa Version 3.06.00"]), ("push button", ["OK"])])
    ui.press(about, "OK")
    ui.wait_until_gone(ctx.app, "About Corvessa")

    assert not problems, "accessibility gaps:\n  " + "\n  ".join(problems)
