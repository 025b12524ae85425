"""Reads an image through gdk-pixbuf as a GTK viewer does and prints what it
got: the still image, then each frame of the animation with its delay, one
more than there are frames (an endless loop starts over), or the error.
"info": the format and size a file chooser gets. "overflow": whether an
animation is still after its first frame, the rest of the file and a write
longer than any ZN file. Usage: pixbuf_frames.py [info|overflow] FILE"""
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, GLib  # noqa: E402


def pixels(pixbuf):
    assert pixbuf.get_has_alpha() and pixbuf.get_n_channels() == 4
    data, stride = pixbuf.read_pixel_bytes().get_data(), pixbuf.get_rowstride()
    width = pixbuf.get_width() * 4
    return b"".join(data[y * stride:y * stride + width] for y in range(pixbuf.get_height())).hex()


def main(path):
    try:
        print("still", pixels(GdkPixbuf.Pixbuf.new_from_file(path)))
        animation = GdkPixbuf.PixbufAnimation.new_from_file(path)
    except GLib.Error as error:
        corrupt = error.matches(GdkPixbuf.pixbuf_error_quark(), GdkPixbuf.PixbufError.CORRUPT_IMAGE)
        print("corrupt" if corrupt else "error", error.message)
        return
    # A clock of our own: each step lands where the frame shown gives way,
    # until the first frame is back.
    now = GLib.TimeVal()
    now.tv_sec = 1000
    frames = animation.get_iter(now)
    first, ms = frames.get_pixbuf(), 0
    for _ in range(1000):
        delay = frames.get_delay_time()
        print("frame", delay, pixels(frames.get_pixbuf()))
        if ms > 0 and frames.get_pixbuf() is first:
            break
        ms += delay
        now.tv_sec, now.tv_usec = 1000 + ms // 1000, ms % 1000 * 1000
        frames.advance(now)


def info(path):
    format_, width, height = GdkPixbuf.Pixbuf.get_file_info(path)
    print(format_.get_name() if format_ else "none", width, height)


def overflow(path):
    loader = GdkPixbuf.PixbufLoader.new_with_type("zn")
    data = open(path, "rb").read()
    loader.write(data[:-4])
    loader.write(data[-4:])
    try:
        loader.write(bytes(65 << 20))
    except GLib.Error:
        print("still" if loader.get_animation().is_static_image() else "animated")


modes = {"info": info, "overflow": overflow}
modes.get(sys.argv[1], main)(sys.argv[-1])
