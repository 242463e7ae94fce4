#!/usr/bin/env python3
# A screen reader's view of one program over AT-SPI: prints every object of
# its windows (depth, role, name, description, text), then every board
# description change and log insertion it hears, until its standard input
# closes. Usage: atspi_walk.py PID. The test that starts it judges the output.
import sys
import time

import pyatspi
from gi.repository import GLib


def say(*fields):
    def clean(field):
        return str(field).replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("|", "\\p")
    print("|".join(clean(f) for f in fields), flush=True)


def text_of(acc):
    try:
        text = acc.queryText()
    except NotImplementedError:
        return ""
    return text.getText(0, -1)


def walk(acc, depth):
    say("NODE", depth, acc.getRoleName(), acc.name or "", acc.description or "", text_of(acc))
    for child in acc:
        if child is not None:
            walk(child, depth + 1)


def find_app(pid):
    # The program joins the desktop shortly after its bridge is up.
    while True:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        time.sleep(0.05)


def heard(event):
    source = event.source
    # What a reader says on hearing it: the inserted text, or the object's
    # description read again (Qt sends a reference to the object, not the
    # words, with a description change).
    if event.type.startswith("object:text-changed"):
        detail = event.any_data
    else:
        detail = source.description or ""
    say("EVENT", event.type, source.getRoleName(), source.name or "", detail)


def main():
    app = find_app(int(sys.argv[1]))
    say("APP", app.name or "")
    for window in app:
        if window is not None:
            walk(window, 0)
    say("END-OF-TREE")
    pyatspi.Registry.registerEventListener(
        heard, "object:property-change:accessible-description", "object:text-changed:insert")
    say("LISTENING")

    def stop(*_):
        pyatspi.Registry.stop()
        return False

    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, stop)
    pyatspi.Registry.start()


main()
