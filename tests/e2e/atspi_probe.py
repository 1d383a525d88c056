#!/usr/bin/python3
# What a screen reader hears of Tarn, through AT-SPI. Used by the end-to-end test.
#   atspi_probe.py focus <seconds>   prints "role|name|description" of each row that takes the focus
#   atspi_probe.py tree <app>        prints "role|name|description|selected[|text]" of the app's visible objects
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def line(node):
    selected = node.get_state_set().contains(Atspi.StateType.SELECTED)
    heard = f"{node.get_role_name()}|{node.get_name()}|{node.get_description()}|{'selected' if selected else ''}"
    if node.get_role() == Atspi.Role.TEXT:  # and what is written in a field
        heard += "|" + Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))
    return heard


def focus(seconds):
    listener = Atspi.EventListener.new(lambda event: print(line(event.source), flush=True))
    listener.register("focus:")
    GLib.timeout_add(int(seconds * 1000), Atspi.event_quit)
    print("listening", flush=True)
    Atspi.event_main()


def tree(app_name):
    def walk(node, depth):
        if node is None or depth > 12:
            return
        print(line(node), flush=True)
        for i in range(node.get_child_count()):
            walk(node.get_child_at_index(i), depth + 1)

    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == app_name:
            walk(app, 0)


if sys.argv[1] == "focus":
    focus(float(sys.argv[2]))
else:
    tree(sys.argv[2])
