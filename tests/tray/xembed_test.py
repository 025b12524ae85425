"""zintra-tray in a real XEmbed tray (trayer) under a virtual X server, with
no session bus so Qt takes the XEmbed path: the tray appears after the
player; the embedded icon's pixels are the current frame's, transparent
where the frame is, and frames change in order at their rates; the menu
pauses and quits; with no tray at first, the player says so on standard
error.

    xembed_test.py path/to/zintra-tray path/to/make_animation
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_session import Session, check_schedule, cpu_wait, fail, frame, run_inside, wait_for  # noqa: E402

run_inside(__file__, sys.argv, ["xvfb-run", "trayer", "xdotool", "import"], [])
RATES, COLOURS = (15, 30, 45), (9, 10, 12)
FRAMES = [frame(c) for c in COLOURS]


def icon_window():
    found = subprocess.run(["xdotool", "search", "--classname", "zintra-tray"], capture_output=True, text=True)
    return found.stdout.split()[0] if found.stdout.split() else None


def geometry_of(window):
    size = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True, text=True)
    geometry = dict(line.split("=") for line in size.stdout.split())
    return int(geometry["WIDTH"]), int(geometry["HEIGHT"])


def capture(window, width, height, strict=True):
    """The frame on show (an index into FRAMES), bracketed by when the
    capture began and ended. Qt centres the 16×16 pixmap, 1:1. Not strict,
    None when no frame shows yet."""
    began = time.monotonic()
    shot = subprocess.run(["import", "-window", window, "-depth", "8", "rgb:-"], capture_output=True).stdout
    ended = time.monotonic()
    pixel = lambda x, y: tuple(shot[3 * (y * width + x):3 * (y * width + x) + 3])  # noqa: E731
    left, top = (width - 16) // 2, (height - 16) // 2
    background = pixel(0, 0)  # outside the pixmap: what the tray shows
    got = [pixel(left + i % 16, top + i // 16) for i in range(256)]
    for index, f in enumerate(FRAMES):
        if got == [background if p is None else p for p in f]:
            return index, began, ended
    if strict:
        fail("the icon shows none of the frames")
    return None


def sample(window, seconds):
    width, height = geometry_of(window)
    shots = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        shots.append(capture(window, width, height))
    return shots


def check_rates(window, player):
    """Every capture one of the frames, each change on the schedule
    (check_schedule: late only as long as the player and the X server,
    which draw it, waited for a CPU). A change lies between the last
    capture of the old frame and the first of the new one."""
    # The X server that xvfb-run started beside this script.
    pids = (player.pid, int(subprocess.run(["pgrep", "-P", str(os.getppid()), "Xvfb"], capture_output=True).stdout))
    waited = cpu_wait(*pids)
    shots = sample(window, 3.3)
    changes = [(a[1], b[2], b[0]) for a, b in zip(shots, shots[1:]) if a[0] != b[0]]
    # The X server draws a change a moment after the player makes it.
    problem = check_schedule(changes, [r / 60 for r in RATES], cpu_wait(*pids) - waited, slack=0.020)
    if problem or len(changes) < 3:
        fail("%s; frames seen %s" % (problem or "%d changes in 3.3 s" % len(changes), [shots[0][0]] + [c[2] for c in changes]))
    print("ok: %d captures, every one a frame; %d changes in order on one schedule" % (len(shots), len(changes)))


with Session(sys.argv[1], sys.argv[2]) as s:
    player = s.start(s.make("a.zn", *zip(RATES, COLOURS)))
    time.sleep(1)  # the tray comes later, as at login
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "left", "--widthtype", "request",
                             "--height", "18", "--SetDockType", "false"], env=s.env)
    s.processes.append(tray)
    window = wait_for("the icon in the tray", icon_window)
    # Embedded before it is first painted: from the first frame on, every
    # capture must show one.
    wait_for("a frame in the icon", lambda: capture(window, *geometry_of(window), strict=False))
    if "zintra-tray: No system tray is running." not in s.log():
        fail("no word of the missing tray on standard error")

    check_rates(window, player)

    def menu(*keys):
        subprocess.run(["xdotool", "mousemove", "--window", window, "11", "8", "click", "3"], check=True)
        wait_for("the menu", lambda: len(subprocess.run(["xdotool", "search", "--onlyvisible", "--classname",
                                                         "zintra-tray"], capture_output=True).stdout.split()) > 1)
        subprocess.run(["xdotool", "key"] + list(keys), check=True)

    menu("Down", "Return")  # the first entry that can be chosen: Pause
    time.sleep(0.2)
    if len({shot[0] for shot in sample(window, 1.0)}) != 1:
        fail("the icon changed while paused")
    subprocess.run(["xdotool", "mousemove", "--window", window, "11", "8", "click", "1"], check=True)
    if len({shot[0] for shot in sample(window, 1.0)}) == 1:
        fail("a left click did not resume")
    print("ok: paused from the menu, resumed by a left click")

    menu("Up", "Return")  # the last entry: Quit
    if player.wait(10) != 0:
        fail("Quit did not exit 0")
    print("PASS")
