#!/usr/bin/env python3
"""Renders kestrel.svg to the PNG icons kept beside it (kestrel-48.png, kestrel-256.png) through librsvg and cairo,
which Debian's desktop already has; no Python packages are needed. Run it after changing the SVG.
Usage: packaging/icons/render_png.py"""
import ctypes
import pathlib

FOLDER = pathlib.Path(__file__).resolve().parent
SIZES = (48, 256)
CAIRO_FORMAT_ARGB32 = 0


class Rectangle(ctypes.Structure):
    _fields_ = [(name, ctypes.c_double) for name in ("x", "y", "width", "height")]


rsvg = ctypes.CDLL("librsvg-2.so.2")
cairo = ctypes.CDLL("libcairo.so.2")
rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
rsvg.rsvg_handle_new_from_file.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
rsvg.rsvg_handle_render_document.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.POINTER(Rectangle),
                                             ctypes.c_void_p]
cairo.cairo_image_surface_create.restype = ctypes.c_void_p
cairo.cairo_create.restype = ctypes.c_void_p
cairo.cairo_create.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_write_to_png.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
cairo.cairo_destroy.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_destroy.argtypes = [ctypes.c_void_p]

handle = rsvg.rsvg_handle_new_from_file(str(FOLDER / "kestrel.svg").encode(), None)
if not handle:
    raise SystemExit("cannot read kestrel.svg")
for size in SIZES:
    surface = cairo.cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)
    context = cairo.cairo_create(surface)
    if not rsvg.rsvg_handle_render_document(handle, context, ctypes.byref(Rectangle(0, 0, size, size)), None):
        raise SystemExit(f"cannot render kestrel.svg at {size} pixels")
    if cairo.cairo_surface_write_to_png(surface, str(FOLDER / f"kestrel-{size}.png").encode()) != 0:
        raise SystemExit(f"cannot write kestrel-{size}.png")
    cairo.cairo_destroy(context)
    cairo.cairo_surface_destroy(surface)
