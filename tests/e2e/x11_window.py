"""The window manager's part, which Xvfb has none of: the close box of a
top-level window sends it WM_DELETE_WINDOW, exactly as here."""

import os

from Xlib import X, Xatom, display, protocol


def _title(d, window):
    net_name = window.get_full_property(d.intern_atom("_NET_WM_NAME"), d.intern_atom("UTF8_STRING"))
    if net_name is not None:
        return net_name.value.decode("utf-8", "replace")
    name = window.get_full_property(Xatom.WM_NAME, X.AnyPropertyType)
    return name.value.decode("latin-1") if name is not None else None


def press_close_box(title):
    """Sends WM_DELETE_WINDOW to the mapped top-level window with this
    title; False when there is none."""
    d = display.Display(os.environ["DISPLAY"])
    try:
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        for window in d.screen().root.query_tree().children:
            if window.get_attributes().map_state != X.IsViewable or _title(d, window) != title:
                continue
            event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                                 data=(32, [delete, X.CurrentTime, 0, 0, 0]))
            window.send_event(event, event_mask=X.NoEventMask)
            d.flush()
            return True
        return False
    finally:
        d.close()
