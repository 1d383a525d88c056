#!/usr/bin/python3
# Moves and clicks the pointer of a wlroots compositor that has no pointer of its own (headless
# sway), through its virtual-pointer protocol, spoken over the Wayland socket directly.
#   wl_pointer.py <x> <y> <button> <width> <height>
# button: 1 left, 2 middle, 3 right, 0 none (a move only); width and height: the output's.
# WL_POINTER_GLIDE=1 comes from 40 px to the left in steps, as a hand does (menus open their
# submenus only for a pointer that moves); WL_POINTER_HOLD=<s> keeps the pointer that long.
#   wl_pointer.py keyboard
# adds a virtual keyboard to the seat and takes it away half a second later, as plugging a
# keyboard in and out does.
import ctypes
import os
import socket
import struct
import sys
import time

BUTTONS = {1: 0x110, 2: 0x112, 3: 0x111}  # BTN_LEFT, BTN_MIDDLE, BTN_RIGHT


class Connection:
    def __init__(self):
        path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(path)
        self.next_id = 2  # 1 is the display
        self.buffer = b""

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def send(self, target, opcode, payload=b""):
        self.socket.sendall(struct.pack("<II", target, (8 + len(payload)) << 16 | opcode) + payload)

    def events(self):
        while True:
            while len(self.buffer) >= 8:
                target, word = struct.unpack_from("<II", self.buffer)
                size = word >> 16
                if len(self.buffer) < size:
                    break
                body, self.buffer = self.buffer[8:size], self.buffer[size:]
                yield target, word & 0xFFFF, body
            chunk = self.socket.recv(65536)
            if not chunk:
                raise SystemExit("the compositor closed the connection")
            self.buffer += chunk

    def roundtrip(self, on_event=lambda target, opcode, body: None):
        callback = self.new_id()
        self.send(1, 0, struct.pack("<I", callback))  # wl_display.sync
        for target, opcode, body in self.events():
            if target == callback:
                return
            if target == 1 and opcode == 0:  # wl_display.error
                raise SystemExit("protocol error: %r" % body)
            on_event(target, opcode, body)


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def main():
    keyboard = sys.argv[1] == "keyboard"
    if not keyboard:
        x, y, button, width, height = (int(argument) for argument in sys.argv[1:6])
    wayland = Connection()
    registry = wayland.new_id()
    wayland.send(1, 1, struct.pack("<I", registry))  # wl_display.get_registry
    found = {}

    def global_(target, opcode, body):
        if target == registry and opcode == 0:
            name, length = struct.unpack_from("<II", body)
            interface = body[8:8 + length - 1].decode()
            found[interface] = name

    wayland.roundtrip(global_)
    if keyboard:
        plug_keyboard(wayland, registry, found)
        return
    if "zwlr_virtual_pointer_manager_v1" not in found:
        raise SystemExit("the compositor has no virtual pointers")
    manager = wayland.new_id()
    wayland.send(registry, 0, struct.pack("<I", found["zwlr_virtual_pointer_manager_v1"]) +
                 string("zwlr_virtual_pointer_manager_v1") + struct.pack("<II", 1, manager))
    pointer = wayland.new_id()
    wayland.send(manager, 0, struct.pack("<II", 0, pointer))  # create_virtual_pointer, the default seat
    wayland.roundtrip()
    time.sleep(0.3)  # the seat gains a pointer: let clients take it before it moves

    def now():
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    for dx in (-40, -30, -20, -10, 0) if os.environ.get("WL_POINTER_GLIDE") else (0,):
        wayland.send(pointer, 1, struct.pack("<IIIII", now(), x + dx, y, width, height))  # motion_absolute
        wayland.send(pointer, 4)  # frame
        wayland.roundtrip()
        time.sleep(0.05)
    if button:
        time.sleep(0.2)
        for state in (1, 0):
            wayland.send(pointer, 2, struct.pack("<III", now(), BUTTONS[button], state))
            wayland.send(pointer, 4)
            wayland.roundtrip()
            time.sleep(0.05)
    time.sleep(float(os.environ.get("WL_POINTER_HOLD", "0")))



def plug_keyboard(wayland, registry, found):
    if "zwp_virtual_keyboard_manager_v1" not in found or "wl_seat" not in found:
        raise SystemExit("the compositor has no virtual keyboards")
    seat = wayland.new_id()
    wayland.send(registry, 0, struct.pack("<I", found["wl_seat"]) + string("wl_seat") + struct.pack("<II", 1, seat))
    manager = wayland.new_id()
    wayland.send(registry, 0, struct.pack("<I", found["zwp_virtual_keyboard_manager_v1"]) +
                 string("zwp_virtual_keyboard_manager_v1") + struct.pack("<II", 1, manager))
    keyboard = wayland.new_id()
    wayland.send(manager, 0, struct.pack("<II", seat, keyboard))  # create_virtual_keyboard
    # Its keymap, the default one as libxkbcommon compiles it, in a file passed along.
    xkb = ctypes.CDLL("libxkbcommon.so.0")
    xkb.xkb_context_new.restype = ctypes.c_void_p
    xkb.xkb_keymap_new_from_names.restype = ctypes.c_void_p
    xkb.xkb_keymap_new_from_names.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]
    xkb.xkb_keymap_get_as_string.restype = ctypes.c_char_p
    xkb.xkb_keymap_get_as_string.argtypes = [ctypes.c_void_p, ctypes.c_int]
    keymap = xkb.xkb_keymap_get_as_string(xkb.xkb_keymap_new_from_names(xkb.xkb_context_new(0), None, 0), 1) + b"\0"
    fd = os.memfd_create("keymap")
    os.write(fd, keymap)
    message = struct.pack("<II", keyboard, (8 + 8) << 16 | 0) + struct.pack("<II", 1, len(keymap))  # keymap(xkb_v1, fd, size)
    wayland.socket.sendmsg([message], [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack("i", fd))])
    os.close(fd)
    wayland.roundtrip()
    time.sleep(float(os.environ.get("WL_KEYBOARD_HOLD", "0.5")))
    wayland.send(keyboard, 3)  # destroy
    wayland.roundtrip()


main()
