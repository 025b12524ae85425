"""zintra-tray as a StatusNotifierItem, the D-Bus tray of KDE Plasma and
most current panels, on a private session bus with a stand-in panel: frames
read back from IconPixmap, NewIcon signals against the rates, the menu
driven through dbusmenu, hand-over to a running player, a bad file, a file
rewritten on disk, and a restart that plays what was played last.

    dbus_test.py path/to/zintra-tray path/to/make_animation
"""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_session import Session, check_schedule, cpu_wait, fail, frame, run_inside, wait_for  # noqa: E402

run_inside(__file__, sys.argv, ["xvfb-run", "dbus-run-session"], ["dbus-run-session", "--"])

from gi.repository import Gio, GLib  # noqa: E402
from status_notifier_host import StatusNotifierHost  # noqa: E402

SNI = "org.kde.StatusNotifierItem"
host = StatusNotifierHost()  # on the bus before the player: Qt looks only once
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


class Item:
    """The n-th item registered with the stand-in panel."""

    def __init__(self, n):
        wait_for("item %d to register" % n, lambda: len(host.items) > n)
        self.name, self.path = host.items[n]

    def call(self, path, interface, method, signature, args):
        return bus.call_sync(self.name, path, interface, method, GLib.Variant(signature, args),
                             None, Gio.DBusCallFlags.NONE, 5000, None).unpack()

    def prop(self, name):
        return self.call(self.path, "org.freedesktop.DBus.Properties", "Get", "(ss)", (SNI, name))[0]

    def pictures(self):
        """IconPixmap by size: ARGB32 bytes in network byte order. Read
        through GLib, as unpacking all of it in Python takes ~60 ms."""
        reply = bus.call_sync(self.name, self.path, "org.freedesktop.DBus.Properties", "Get",
                              GLib.Variant("(ss)", (SNI, "IconPixmap")), None, Gio.DBusCallFlags.NONE, 5000, None)
        images = reply.get_child_value(0).get_variant()
        return {(image.get_child_value(0).get_int32(), image.get_child_value(1).get_int32()):
                image.get_child_value(2).get_data_as_bytes().get_data()
                for image in (images.get_child_value(i) for i in range(images.n_children()))}

    def pixels(self):
        """The 16×16 picture's pixels: None where clear."""
        data = self.pictures()[(16, 16)]
        return [None if data[i] == 0 else tuple(data[i + 1:i + 4]) for i in range(0, len(data), 4)]

    def menu(self):
        """Every entry by label: (id, properties). Ids are not in menu order."""
        entries = {}

        def walk(node):
            entries[node[1].get("label", "").replace("_", "")] = node[:2]
            for child in node[2]:
                walk(child)
        walk(self.call(self.prop("Menu"), "com.canonical.dbusmenu", "GetLayout", "(iias)", (0, -1, []))[1])
        return entries

    def click(self, label):
        entry = wait_for("menu entry " + label, lambda: self.menu().get(label))
        self.call(self.prop("Menu"), "com.canonical.dbusmenu", "Event", "(isvu)",
                  (entry[0], "clicked", GLib.Variant("i", 0), 0))


def shows(item, frames):
    """Which of the frames the item shows (None for none of them)."""
    got = item.pixels()
    return next((i for i, f in enumerate(frames) if f == got), None)


def check_sizes(item):
    """A picture for each size a panel may pick, none needing smoothing: the
    16×16 frame enlarged by whole pixels, centred on transparency."""
    pictures = item.pictures()
    if sorted(pictures) != [(s, s) for s in (16, 22, 24, 32, 48, 64)]:
        fail("IconPixmap holds %s" % sorted(pictures))
    frame = pictures[(16, 16)]  # all of one reply: the same frame
    for side in (22, 24, 32, 48, 64):
        factor, margin = side // 16, side % 16 // 2
        source = [(v - margin) // factor if 0 <= v - margin < 16 * factor else None for v in range(side)]
        expected = b"".join(bytes(4) if x is None or y is None else frame[4 * (16 * y + x):4 * (16 * y + x + 1)]
                            for y in source for x in source)
        if pictures[(side, side)] != expected:
            fail("the %d×%d picture is not the frame enlarged by whole pixels" % (side, side))
    print("ok: IconPixmap at 16, 22, 24, 32, 48 and 64 pixels, whole-pixel enlargements")


def check_rates(item, pid, frames, rate, seconds, meanwhile=lambda: None):
    """Every sample one of the frames and each change on the schedule
    (check_schedule: late only as long as the player waited for a CPU),
    with what is to happen meanwhile."""
    meanwhile()
    period, waited = rate / 60, cpu_wait(pid)
    start = before = time.monotonic()
    seen, changes = [shows(item, frames)], []
    while before - start < seconds:
        began = time.monotonic()
        index = shows(item, frames)
        if index is None:
            fail("the icon is none of the frames")
        if index != seen[-1]:
            changes.append((before, time.monotonic(), index))
            seen.append(index)
        before = began
        time.sleep(0.005)
    problem = check_schedule(changes, [period] * len(frames), cpu_wait(pid) - waited)
    if problem:
        fail("%s at %d/60 s; frames seen %s" % (problem, rate, seen))
    print("ok: %d frames in order on one schedule at %d/60 s" % (len(seen), rate))


with Session(sys.argv[1], sys.argv[2]) as s:
    loop = [frame(c) for c in (9, 10, 12)]
    fast = [frame(c) for c in (13, 14, 11, 3)]
    rewritten = [frame(c) for c in (5, 6)]
    cursor = [frame(c) for c in (2, 7)]
    s.make("a.zn", (6, 9), (6, 10), (6, 12))
    s.make("fast.zn", (1, 13), (1, 14), (1, 11), (1, 3))
    c = s.make("cursor.ani", (12, 2), (12, 7))
    with open(s.path("files", "bad.zn"), "wb") as f:
        f.write(b"not an animation")
    with open(s.path("bin", "zintra-editor"), "w") as f:
        f.write('#!/bin/sh\nprintf %s "$*" > "$(dirname "$0")/edited"\n')
    os.chmod(s.path("bin", "zintra-editor"), 0o755)

    # A first start with nothing to play: the application icon, and Open…
    player = s.start()
    item = Item(0)
    menu = item.menu()
    if not menu["Open…"][1].get("enabled", True) or menu["Pause"][1].get("enabled", True) or \
            any(shows(item, f) is not None for f in (loop, fast, cursor)):
        fail("a first start shows %s" % menu)
    item.click("Quit")
    if player.wait(10) != 0:
        fail("Quit did not exit 0")
    print("ok: a first start offers Open…")

    # A folder with a bad file among good ones: the bad one reported and
    # shown disabled, the first good one by name playing.
    player = s.start(s.path("files"))
    item = Item(1)
    wait_for("a message about bad.zn", lambda: any("bad.zn: " in m[1] for m in host.messages))
    if "bad.zn: " not in s.log(1):
        fail("bad.zn is not reported on standard error")
    menu = item.menu()
    if menu["bad.zn"][1].get("enabled", True) or menu["a.zn"][1].get("toggle-state") != 1 or \
            "fast.zn" not in menu or "cursor.ani" not in menu:
        fail("the animations menu is wrong: %s" % menu)
    check_rates(item, player.pid, loop, 6, 1.5)
    check_sizes(item)

    # Next and Previous step over the file that failed.
    item.click("Next animation")
    wait_for("the next animation", lambda: shows(item, cursor) is not None)
    item.click("Previous animation")
    wait_for("the previous animation", lambda: shows(item, loop) is not None)
    print("ok: Next and Previous")

    # A second start hands its file over and exits.
    if s.start(s.path("files", "fast.zn")).wait(10) != 0:
        fail("the second start did not exit 0")
    wait_for("the handed-over file to play", lambda: shows(item, fast) is not None)
    check_rates(item, player.pid, fast, 1, 1.0)

    # Pause from the menu, then a left click resumes.
    item.click("Pause")
    wait_for("Resume in the menu", lambda: "Resume" in item.menu())
    still = item.pixels()  # asked of the player itself: a late signal cannot mislead
    for _ in range(10):
        time.sleep(0.05)
        if item.pixels() != still:
            fail("the icon changed while paused")
    item.call(item.path, SNI, "Activate", "(ii)", (0, 0))
    wait_for("playing after a left click", lambda: item.pixels() != still)
    print("ok: paused from the menu, resumed by a click")

    # A file of 32767 frames read meanwhile (a.zn rewritten, not the one
    # playing) holds up no frame.
    check_rates(item, player.pid, fast, 1, 1.5, meanwhile=lambda: s.make("a.zn", (6, 9), (6, 10), (6, 12), count=32767))
    print("ok: a file of 32767 frames read while playing")

    # The file rewritten by renaming over it: unreadable, then good again.
    with open(s.path("files", "new"), "wb") as f:
        f.write(b"ZNFIL")
    os.replace(s.path("files", "new"), s.path("files", "fast.zn"))
    message = wait_for("a message about fast.zn", lambda: [m[1] for m in host.messages if "fast.zn: " in m[1]], 2,
                       pid=player.pid)
    wait_for("the reason in the tooltip", lambda: message[0].split("\n")[0] in "\n".join(item.prop("ToolTip")[2:]), 2,
             pid=player.pid)
    check_rates(item, player.pid, fast, 1, 0.5)
    changed = time.monotonic()
    s.make("fast.zn", (6, 5), (6, 6))
    wait_for("the rewritten file", lambda: shows(item, rewritten) is not None, 1.5, pid=player.pid)
    print("ok: rewritten file playing after %.2f s" % (time.monotonic() - changed))

    item.click("Edit in Zintra Editor")
    wait_for("the editor", lambda: os.path.exists(s.path("bin", "edited")))
    with open(s.path("bin", "edited")) as f:
        if f.read() != s.path("files", "fast.zn"):
            fail("the editor was not given the current file")

    autostart = s.path("config", "autostart", "zintra-tray.desktop")
    item.click("Start at login")
    wait_for("the autostart entry", lambda: os.path.exists(autostart))
    subprocess.run(["desktop-file-validate", autostart], check=True)
    item.click("Start at login")
    wait_for("the autostart entry to go", lambda: not os.path.exists(autostart))
    print("ok: editor started with the file; autostart entry written, valid and removed")

    # Open… adds a file through the file dialog and plays it.
    opened = [frame(c) for c in (1, 4)]
    s.make("opened.zn", (6, 1), (6, 4))
    item.click("Open…")
    dialog = wait_for("the file dialog", lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", "^Open$"], capture_output=True, text=True).stdout.split())
    subprocess.run(["xdotool", "windowfocus", "--sync", dialog[0]])
    subprocess.run(["xdotool", "type", "--delay", "20", s.path("files", "opened.zn")], check=True)
    for _ in range(2):  # the first may only take the completion offered
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "Return"], check=True)
    wait_for("the opened file to play", lambda: shows(item, opened) is not None)
    print("ok: Open… added a file and plays it")

    item.click("Quit")
    if player.wait(10) != 0:
        fail("Quit did not exit 0")

    # Started alone, it plays what it played last; killed, it leaves a
    # stale socket that the next start must not obey.
    player = s.start()
    item = Item(2)
    wait_for("the last file again", lambda: shows(item, opened) is not None)
    player.kill()
    player.wait()
    player = s.start(c)
    item = Item(3)
    wait_for("the cursor", lambda: shows(item, cursor) is not None)
    tip = item.prop("ToolTip")
    if "Test Cursor" not in str(tip) or "0.40 s" not in str(tip):
        fail("tooltip is %s" % (tip,))
    print("ok: restored the last file; a stale socket was replaced; tooltip %s" % (tip,))

    # Its folder deleted and made again: each new version of the file plays.
    folder = s.path("again")
    os.mkdir(folder)
    played = os.path.join(folder, "a.zn")
    subprocess.run([s.make_animation, played, "6:5", "6:6"], check=True)
    if s.start(played).wait(10) != 0:
        fail("the hand-over did not exit 0")
    wait_for("the file in the folder", lambda: shows(item, rewritten) is not None)
    shutil.rmtree(folder)
    time.sleep(0.5)
    os.mkdir(folder)
    for colours in ((1, 4), (9, 10), (13, 14)):
        subprocess.run([s.make_animation, played] + ["6:%d" % c for c in colours], check=True)
        wait_for("version %s" % (colours,), lambda: shows(item, [frame(c) for c in colours]) is not None, 3,
                 pid=player.pid)
    print("ok: the folder made again is watched; three versions played")
    print("PASS")
