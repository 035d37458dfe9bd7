"""Closes an X window as a window manager's close box does: by sending the
program that owns it WM_DELETE_WINDOW. The tests run without a window
manager, and xdotool can only destroy a window, which no program expects.
Usage: close_window.py WINDOW_ID"""

import ctypes
import sys

CLIENT_MESSAGE = 33


class ClientMessageEvent(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong),
                ('message_type', ctypes.c_ulong), ('format', ctypes.c_int),
                ('data', ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [('client', ClientMessageEvent), ('pad', ctypes.c_long * 24)]


def main():
    window = int(sys.argv[1], 0)
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(XEvent)]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit('cannot open the X display')
    event = XEvent()
    event.client.type = CLIENT_MESSAGE
    event.client.window = window
    event.client.message_type = x11.XInternAtom(display, b'WM_PROTOCOLS', 0)
    event.client.format = 32
    event.client.data[0] = x11.XInternAtom(display, b'WM_DELETE_WINDOW', 0)
    if not x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
        sys.exit('the message could not be sent')
    x11.XCloseDisplay(display)  # sends it


if __name__ == '__main__':
    main()
