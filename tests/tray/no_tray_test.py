"""zintra-tray started where no tray runs, on a desktop with a notification
server: it says so at once, in a notification and on standard error, and
keeps running; a StatusNotifierItem panel that comes later gets the icon
(the player starts again in its place to find it); SIGTERM, as at the end
of a session, saves the list and exits 0 within a second, though a file is
being read (a read that takes a minute, made so by slow_read.cpp).

    no_tray_test.py path/to/zintra-tray path/to/make_animation
"""
import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_session import Session, fail, run_inside, wait_for  # noqa: E402

run_inside(__file__, sys.argv, ["xvfb-run", "dbus-run-session"], ["dbus-run-session", "--"])

from status_notifier_host import StatusNotifierHost  # noqa: E402

desktop = StatusNotifierHost(watcher=False)
with Session(sys.argv[1], sys.argv[2]) as s:
    s.env.update(LD_PRELOAD=os.path.join(os.path.dirname(os.path.abspath(sys.argv[2])), "libslow_read.so"),
                 SLOW_READ_STARTED=s.path("slow-read-started"),
                 ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
    started = time.monotonic()
    player = s.start(s.make("a.zn", (6, 9), (6, 10)))
    said = "No system tray is running. zintra-tray shows its animation in a system tray"
    wait_for("the notification", lambda: any(said in m[1] for m in desktop.messages), 2, pid=player.pid)
    wait_for("the message on standard error", lambda: "zintra-tray: " + said in s.log(), 2, pid=player.pid)
    print("ok: told at once (%.2f s), in a notification and on standard error" % (time.monotonic() - started))
    time.sleep(2)
    if player.poll() is not None:
        fail("the player ended with no tray: exit %d" % player.returncode)

    panel = StatusNotifierHost(notifications=False)
    wait_for("the icon in the panel that came later", lambda: panel.items)
    animating = time.monotonic()
    wait_for("the frames to change", lambda: len(panel.new_icons_since(animating)) > 3)
    print("ok: the icon in the panel that came later, animating")

    if s.start(s.make("slow.zn", (6, 9))).wait(10) != 0:
        fail("the hand-over did not exit 0")
    wait_for("the read of slow.zn to begin", lambda: os.path.exists(s.path("slow-read-started")))
    settings = s.path("config", "zintra", "zintra-tray.conf")
    os.remove(settings)  # what is there after SIGTERM was saved then
    terminated = time.monotonic()
    player.send_signal(signal.SIGTERM)
    wait_for("the player to end within a second of SIGTERM, a read under way", lambda: player.poll() is not None, 1,
             0.01, player.pid)
    if player.returncode != 0:
        fail("SIGTERM: exit %d" % player.returncode)
    with open(settings) as f:
        if s.path("files", "slow.zn") not in f.read():
            fail("the list was not saved on SIGTERM")
    print("PASS: SIGTERM saved the list and exited 0 in %.2f s, a read under way" % (time.monotonic() - terminated))
