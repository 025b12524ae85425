"""What the tray tests share: a private X display with a tray, the player
started and stopped, test animations, and captures of frames."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

COLOURS = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def fail(message):
    print("FAIL:", message, flush=True)
    sys.exit(1)


def frame(colour, pattern=False):
    """A test frame as make_animation draws it ("COLOUR" or "COLOURp"):
    None where transparent."""
    return [None if x < 4 and y < 4 else COLOURS[(colour + (x ^ y if pattern else 0)) % 16]
            for y in range(16) for x in range(16)]


def wait_for(what, predicate, seconds=10.0, every=0.05, pid=None):
    """The predicate's first true result within the seconds, which a
    process pid has longer by as long as it waits for a CPU meanwhile."""
    start, waited = time.monotonic(), cpu_wait(pid) if pid else 0
    while time.monotonic() - start < seconds + (cpu_wait(pid) - waited if pid else 0):
        result = predicate()
        if result:
            return result
        time.sleep(every)
    fail("timed out waiting for " + what)


def schedstat(field, *pids):
    """Seconds the processes' threads have so far run (field 0) or waited
    for a CPU while ready to run (field 1: what a busy machine makes a
    process late by)."""
    total = 0
    for pid in pids:
        for task in os.listdir("/proc/%d/task" % pid) if os.path.exists("/proc/%d" % pid) else []:
            try:
                with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                    total += int(f.read().split()[field])
            except OSError:  # a thread that ended meanwhile
                pass
    return total / 1e9


def cpu_wait(*pids):
    return schedstat(1, *pids)


def check_schedule(changes, durations, waited, slack=0.002):
    """What is wrong with the frame changes seen, or None. changes: each as
    (low, high, frame): the old frame still showed at low, the new one by
    high. A right player shows the frame due from a loop start no one sees:
    every change fits one loop start, never early and late by no more than
    the player waited for a CPU (waited); frames are skipped only when the
    time between the changes says they were over."""
    loop, begins = sum(durations), [sum(durations[:f]) for f in range(len(durations))]
    position, previous_low, previous = 0.0, None, None  # the frame's start from the loop start
    earliest, latest = [], []  # bounds on the loop start each change sets
    for low, high, f in changes:
        if previous is not None:
            step = (begins[f] - begins[previous]) % loop or loop
            skipped = step - durations[previous]
            if skipped > slack and previous_low is not None and high - previous_low <= skipped - slack:
                return "frame %d came after frame %d %.0f ms later, skipping %.0f ms of frames not yet due" % (
                    f, previous, 1000 * (high - previous_low), 1000 * skipped)
            position += step
        else:
            position = begins[f]
        latest.append(high - position)  # not before its time
        earliest.append(low - position)  # and no later than the player was kept waiting
        previous_low, previous = low, f
    late = max(earliest) - min(latest)
    if late > waited + slack:
        return "a frame came %.0f ms late for any loop start, and the player waited %.0f ms for a CPU" % (
            1000 * late, 1000 * waited)
    return None


class Session:
    """A work folder, the environment the player runs in, and its processes."""

    def __init__(self, player, make_animation):
        self.make_animation = make_animation
        self.work = tempfile.mkdtemp(prefix="zintra-tray-test-")
        self.env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ENABLE_HIGHDPI_SCALING="0",
                        XDG_RUNTIME_DIR=self.path("runtime"), XDG_CONFIG_HOME=self.path("config"))
        for key in ("XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORMTHEME", "QT_SCALE_FACTOR"):
            self.env.pop(key, None)
        for folder in ("runtime", "config", "bin", "files"):
            os.makedirs(self.path(folder), mode=0o700)
        # Run from bin/, as installed: an editor put beside it is the one it starts.
        self.player = shutil.copy(player, self.path("bin"))
        self.processes, self.logs = [], []

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def make(self, name, *frames, count=0):
        """Writes files/NAME from frames given as (rate, colour), repeated
        up to count frames, saved the way the editor saves: a new file
        renamed over the old."""
        new, target = self.path("new-" + name), self.path("files", name)
        subprocess.run([self.make_animation, new, "--frames", str(count)] + ["%s:%s" % f for f in frames], check=True)
        os.replace(new, target)
        return target

    def start(self, *args):
        self.logs.append(self.path("player-%d.log" % len(self.logs)))
        with open(self.logs[-1], "w") as log:
            p = subprocess.Popen([self.player] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                                 stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(p)
        return p

    def log(self, n=-1):
        with open(self.logs[n]) as f:
            return f.read()

    def __enter__(self):
        return self

    def __exit__(self, kind, value, _):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
                p.wait()
        if kind and not (kind is SystemExit and value.code in (0, None)):  # say why
            for n, path in enumerate(self.logs):
                print("--- %s\n%s" % (path, self.log(n)))
        shutil.rmtree(self.work, ignore_errors=True)


def run_inside(script, argv, tools, wrappers, seconds=100):
    """Re-runs the script under a virtual X server (and the wrappers), or
    skips (77) when a tool is missing outside CI."""
    if os.environ.get("ZINTRA_TRAY_INSIDE"):
        return
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        print("missing " + " ".join(missing) + " (bash tools/setup installs them)")
        sys.exit(1 if os.environ.get("CI") else 77)
    env = dict(os.environ, ZINTRA_TRAY_INSIDE="1")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    command = ["timeout", str(seconds), "xvfb-run", "-a", "-s", "-screen 0 640x480x24"] + wrappers + \
              ["/usr/bin/python3", script] + argv[1:]
    sys.exit(subprocess.run(command, env=env, stdin=subprocess.DEVNULL).returncode)
