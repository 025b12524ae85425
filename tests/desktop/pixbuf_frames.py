"""Reads an image through gdk-pixbuf as a GTK viewer does and prints what it
got: the still image, then each frame of the animation with its delay, one
more than there are frames (an endless loop starts over), or the error.
With "info", what a file chooser asks: the format and size. With "prepared",
the signals of a loader fed the file by content in pieces, whose handler
clears the pixbuf it is handed in area-prepared as geeqie does, then the
still image. With "overflow", whether the animation a loader announced is
still after a write longer than any ZN file failed: it shows the frames
announced before the failure and no more.
Usage: pixbuf_frames.py [info|prepared|overflow] FILE"""
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


def prepared(path):
    loader = GdkPixbuf.PixbufLoader()

    def clear(loader):
        print("prepared")
        loader.get_pixbuf().fill(0)

    loader.connect("area-prepared", clear)
    loader.connect("area-updated", lambda _, *area: print("updated", *area))
    data = open(path, "rb").read()
    for at in range(0, len(data), 4096):
        loader.write(data[at:at + 4096])
    loader.close()
    print("still", pixels(loader.get_pixbuf()))


def overflow(path):
    # The first piece holds the first frame, the second ends the file, and
    # the third is longer than any ZN file.
    loader = GdkPixbuf.PixbufLoader.new_with_type("zn")
    data = open(path, "rb").read()
    loader.write(data[:-4])
    loader.write(data[-4:])
    try:
        loader.write(bytes(65 << 20))
    except GLib.Error:
        print("still" if loader.get_animation().is_static_image() else "animated")


modes = {"info": info, "prepared": prepared, "overflow": overflow}
modes.get(sys.argv[1], main)(sys.argv[-1])
