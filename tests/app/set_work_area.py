#!/usr/bin/env python3
"""Sets the X display's work area (the root window's _NET_WORKAREA, as a
window manager announces the space its panels leave free):
    set_work_area.py LEFT TOP WIDTH HEIGHT
Wine takes the work area of its monitors from it. Only libX11 is needed."""

import ctypes
import sys

XA_CARDINAL = 6
PROP_MODE_REPLACE = 0


def main():
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                  ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    if not display:
        sys.exit("set_work_area: cannot open the display")
    # Format 32 property data is handed to Xlib as C longs.
    values = (ctypes.c_long * 4)(*(int(v) for v in sys.argv[1:5]))
    root = x.XDefaultRootWindow(display)
    x.XChangeProperty(display, root, x.XInternAtom(display, b"_NET_WORKAREA", 0), XA_CARDINAL, 32,
                      PROP_MODE_REPLACE, values, 4)
    x.XCloseDisplay(display)


if __name__ == "__main__":
    main()
