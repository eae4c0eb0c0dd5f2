"""Driving the real program through AT-SPI, as a screen reader or a user would:
controls are found by their accessible names only (buttons and menu items by
their visible text, lists and edits by their captions, message boxes by their
text), pressed through their actions, clicked and typed into through the
registry's synthesized input."""

import pyatspi
from Xlib import XK

from session import settle
from waits import wait_until

# A list's tree grows with its rows; searches need not go deeper than dialogs.
MAX_DEPTH = 14
WAIT_S = 15
# Qt reports a list view as a tree while it is empty and as a table once it
# has rows; either is the same control.
LIST_ROLES = ("tree", "table", "tree table")


class NotFound(AssertionError):
    pass


def _safe(call, default=None):
    try:
        return call()
    except Exception:  # noqa: BLE001 - objects vanish while the tree changes
        return default


def role(acc):
    return _safe(acc.getRoleName, "")


def name(acc):
    return _safe(lambda: acc.name, "")


def children(acc):
    count = _safe(lambda: acc.childCount, 0) or 0
    result = []
    for i in range(count):
        child = _safe(lambda: acc.getChildAtIndex(i))
        if child is not None:
            result.append(child)
    return result


def walk(acc, depth=0):
    yield acc
    if depth >= MAX_DEPTH:
        return
    # The rows of a list are reached through its table interface, not here.
    if role(acc) in LIST_ROLES and depth > 0:
        for child in children(acc):
            if role(child) == "table column header":
                yield child
        return
    for child in children(acc):
        yield from walk(child, depth + 1)


def snapshot(root):
    """(role, name) of every control under `root`, read once: checks that
    ask many questions of one window look at this instead of the bus."""
    return [(role(acc), name(acc)) for acc in walk(root)]


def _matches(root, role_name, name_is, where):
    for acc in walk(root):
        if role_name is not None and role(acc) != role_name:
            continue
        if name_is is not None and name(acc) != name_is:
            continue
        if where is not None and not _safe(lambda: where(acc), False):
            continue
        yield acc


def find_all(root, role_name=None, name_is=None, where=None):
    return list(_matches(root, role_name, name_is, where))


def find(root, role_name=None, name_is=None, where=None):
    """The first match in tree order, or None."""
    return next(_matches(root, role_name, name_is, where), None)


def wait_find(root, role_name=None, name_is=None, where=None, deadline_s=WAIT_S, what=None):
    description = what or "{} {!r}".format(role_name or "control", name_is)
    return wait_until(lambda: find(root, role_name, name_is, where), deadline_s, description)


def application(pid, deadline_s=30):
    """The program's accessible application, by its process id."""
    def lookup():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if _safe(app.get_process_id) == pid:
                return app
        return None
    return wait_until(lookup, deadline_s, "the program on the accessibility bus")


def has_state(acc, state):
    return _safe(lambda: acc.getState().contains(state), False)


def is_showing(acc):
    return has_state(acc, pyatspi.STATE_SHOWING)


def is_enabled(acc):
    return has_state(acc, pyatspi.STATE_ENABLED) or has_state(acc, pyatspi.STATE_SENSITIVE)


def top_windows(app):
    return [w for w in children(app) if role(w) in ("dialog", "alert", "frame", "window", "file chooser")]


def window(app, title, deadline_s=WAIT_S):
    """A shown top-level window of the program by its caption."""
    return wait_until(
        lambda: next((w for w in top_windows(app) if name(w) == title and is_showing(w)), None),
        deadline_s, "the window {!r}".format(title))


def wait_until_gone(app, title, deadline_s=WAIT_S):
    """Until no shown window of the program has this caption."""
    wait_until(lambda: not any(name(w) == title and is_showing(w) for w in top_windows(app)),
               deadline_s, "the window {!r} to close".format(title))


def message_box(app, text, deadline_s=WAIT_S):
    """A shown message box by the text it says."""
    def lookup():
        for w in top_windows(app):
            # Message boxes are alerts; only their few labels are read.
            if role(w) == "alert" and is_showing(w) and any(
                    role(c) == "label" and name(c) == text for c in children(w)):
                return w
        return None
    return wait_until(lookup, deadline_s, "the message box {!r}".format(text))


def shown_message_texts(app):
    """The captions and label texts of every shown window, for reports."""
    texts = []
    for w in top_windows(app):
        if is_showing(w):
            labels = [name(l) for l in find_all(w, "label") if name(l)]
            texts.append("{} {!r}: {!r}".format(role(w), name(w), labels))
    return texts


def dump_tree(root, max_cells=40):
    """The program's accessibility tree as text, for the report of a failure."""
    lines = []

    def visit(acc, depth):
        states = "showing" if is_showing(acc) else "hidden"
        lines.append("{}[{}] {!r} ({})".format("  " * depth, role(acc), name(acc), states))
        if depth >= MAX_DEPTH:
            return
        kids = children(acc)
        for child in kids[:max_cells]:
            visit(child, depth + 1)
        if len(kids) > max_cells:
            lines.append("{}... {} more".format("  " * (depth + 1), len(kids) - max_cells))

    visit(root, 0)
    return "\n".join(lines) + "\n"


def _do_action(acc, wanted):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == wanted:
            return action.doAction(i)
    raise NotFound("{} {!r} has no action {!r}".format(role(acc), name(acc), wanted))


def press(root, button_text, deadline_s=WAIT_S):
    """Presses a shown push button found by its text."""
    button = wait_find(root, "push button", button_text,
                       where=lambda b: is_showing(b), deadline_s=deadline_s)
    if not is_enabled(button):
        raise AssertionError("the button {!r} is disabled".format(button_text))
    _do_action(button, "Press")
    settle()
    return button


def center(acc):
    extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if extents.width <= 0 or extents.height <= 0:
        raise NotFound("{} {!r} has no place on the screen".format(role(acc), name(acc)))
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def click(acc):
    x, y = center(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "b1c")
    settle()


def double_click(acc):
    x, y = center(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "b1d")
    settle()


def key(keysym_name):
    """One key press and release, by its X key name ("Escape", "Return")."""
    keyval = XK.string_to_keysym(keysym_name)
    if keyval == 0:
        raise ValueError("no key named {!r}".format(keysym_name))
    pyatspi.Registry.generateKeyboardEvent(keyval, None, pyatspi.KEY_SYM)
    settle()


def text_of(acc):
    """What an edit shows."""
    text = acc.queryText()
    return text.getText(0, -1)


def set_text(acc, value):
    """Replaces what an edit holds, as typing over a selection would."""
    editable = acc.queryEditableText()
    editable.setTextContents(value)
    settle(0.05)


def edit(root, caption, deadline_s=WAIT_S):
    """An edit by the caption of its label."""
    return wait_find(root, "text", caption, deadline_s=deadline_s,
                     what="the edit {!r}".format(caption))


def ip_field(root, caption):
    """The four number fields of an IP address control by its caption."""
    fields = [edit(root, "{} octet {}".format(caption, i)) for i in range(1, 5)]
    return fields


def ip_text(root, caption):
    return ".".join(text_of(f) for f in ip_field(root, caption))


def set_ip(root, caption, dotted):
    for field, part in zip(ip_field(root, caption), dotted.split(".")):
        set_text(field, part)


# --- Lists ---


def list_view(root, caption, deadline_s=WAIT_S):
    """A list by its caption."""
    return wait_find(root, name_is=caption, where=lambda acc: role(acc) in LIST_ROLES,
                     deadline_s=deadline_s, what="the list {!r}".format(caption))


def table_rows(tree):
    """The rows of a list as lists of cell texts."""
    table = tree.queryTable()
    rows = []
    for r in range(table.nRows):
        rows.append([name(table.getAccessibleAt(r, c)) for c in range(table.nColumns)])
    return rows


def table_cell(tree, row, column):
    return tree.queryTable().getAccessibleAt(row, column)


def column_index(tree, header_text):
    table = tree.queryTable()
    for c in range(table.nColumns):
        header = table.getColumnHeader(c)
        if header is not None and name(header) == header_text:
            return c
    raise NotFound("no column {!r} in {!r}".format(header_text, name(tree)))


def wait_row(tree, column_text, deadline_s=WAIT_S):
    """The index of the first row whose first column reads `column_text`."""
    def lookup():
        for i, row in enumerate(table_rows(tree)):
            if row and row[0] == column_text:
                return i + 1
        return None
    return wait_until(lookup, deadline_s, "a row {!r} in {!r}".format(column_text, name(tree))) - 1


def wait_cell(tree, row, column, expected, deadline_s=WAIT_S):
    """Until a cell reads `expected`; the failure names what it read."""
    try:
        wait_until(lambda: name(table_cell(tree, row, column)) == expected, deadline_s,
                   "the cell ({}, {})".format(row, column))
    except AssertionError:
        raise AssertionError("{!r} row {} column {} reads {!r}, expected {!r}".format(
            name(tree), row, column, _safe(lambda: name(table_cell(tree, row, column))), expected))


# --- Menus ---

class PopupWatch:
    """Context menus are not children of the application in the tree (Qt
    leaves pop-up windows out of it); a screen reader learns of them from the
    "showing" event, and so does this watch. Use it around the right-click."""

    EVENT = "object:state-changed:showing"

    def __init__(self):
        self.popups = []
        pyatspi.Registry.registerEventListener(self._on_event, self.EVENT)

    def _on_event(self, event):
        if event.detail1 == 1 and role(event.source) == "popup menu":
            self.popups.append(event.source)

    def wait(self, deadline_s=WAIT_S):
        """The item names of the first context menu shown since the watch began."""
        from gi.repository import GLib
        context = GLib.MainContext.default()

        def items():
            while context.pending():
                context.iteration(False)
            for popup in self.popups:
                names = [name(i) for i in children(popup) if role(i) == "menu item"]
                if names:
                    return names
            return None
        return wait_until(items, deadline_s, "a context menu to show")

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._on_event, self.EVENT)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def right_click(acc):
    x, y = center(acc)
    pyatspi.Registry.generateMouseEvent(x, y, "b3c")
    settle()



def choose_menu(app, main_window, menu_title, item_text, require_enabled=True):
    """Opens a menu of the menu bar with a click and clicks one of its items.
    Returns whether the item was enabled when the menu showed."""
    bar = wait_find(main_window, "menu bar")
    top = wait_find(bar, "menu item", menu_title)
    item = None
    # Right after a modal dialog has closed Qt may still drop input to the
    # window; a user clicks again, and so does this, a bounded number of times.
    for attempt in range(1, 4):
        click(top)
        try:
            item = wait_find(top, "menu item", item_text, where=is_showing, deadline_s=5,
                             what="the shown menu item {!r}".format(item_text))
            break
        except AssertionError:
            print("the menu {!r} did not open on click {}".format(menu_title, attempt), flush=True)
    if item is None:
        raise AssertionError("the menu {!r} never opened".format(menu_title))
    enabled = is_enabled(item)
    if require_enabled and not enabled:
        key("Escape")
        raise AssertionError("the menu item {!r} is greyed".format(item_text))
    if enabled:
        click(item)
    else:
        key("Escape")
    return enabled
