"""zintra-tray in real panels at 16, 22, 24, 32 and 48 pixels, checked on
screen captures: the icon must be the frame enlarged by whole pixels (1×
up to 31 pixels, 2× up to 47, 3× from 48), centred in the panel, every
pixel the frame's colour or, where it is transparent, the panel's own. A
panel that scales a picture blends colours and fails.

    panels_test.py HOST path/to/zintra-tray path/to/make_animation

HOST: xfce-sni (xfce4-panel with the StatusNotifierItem a Qt program uses in
an Xfce session), xfce-xembed (the player with no session bus), tint2
(XEmbed) or waybar (on headless sway). Every size is tried before failing;
ZINTRA_TRAY_CAPTURES=FOLDER keeps each size's last capture there;
ZINTRA_TRAY_MEASURE=SECONDS then has the player's CPU time measured at 10
frames a second in the panel (tools/measure-tray).
"""
import os
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, "..", "wayland")]
from tray_session import Session, fail, frame, run_inside, schedstat  # noqa: E402

SIZES = (16, 22, 24, 32, 48)
BACKGROUND = (64, 77, 89)  # the panel's colour, none of the palette's
FRAMES = [frame(9, True), frame(4, True)]
host_name = sys.argv[1]
TOOLS = {"xfce-sni": ["xfce4-panel", "import"], "xfce-xembed": ["xfce4-panel", "import"],
         "tint2": ["tint2", "openbox", "import"], "waybar": ["waybar", "sway", "grim"]}[host_name]
run_inside(__file__, sys.argv, ["xvfb-run", "dbus-run-session"] + TOOLS, ["dbus-run-session", "--"], seconds=280)


def x_capture(height):
    shot = subprocess.run(["import", "-window", "root", "-crop", "640x%d+0+0" % height, "-depth", "8", "rgb:-"],
                          capture_output=True, check=True).stdout
    return 640, height, shot


class Xfce:
    """xfce4-panel with its notification area alone, resized through xfconf."""

    def __init__(self, s, sni):
        folder = s.path("config", "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(folder)
        values = lambda kind, *vs: "".join('<value type="%s" value="%s"/>' % (kind, v) for v in vs)  # noqa: E731
        prop = lambda name, kind, value, inner="": '<property name="%s" type="%s" value="%s">%s</property>' % (  # noqa
            name, kind, value, inner)
        panel = prop("position", "string", "p=6;x=0;y=0") + prop("length", "uint", 100) + \
            prop("position-locked", "bool", "true") + prop("background-style", "uint", 1) + \
            prop("background-rgba", "array", "", values("double", *(c / 255 for c in BACKGROUND + (255,)))) + \
            prop("plugin-ids", "array", "", values("int", 1))
        with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
            f.write('<channel name="xfce4-panel" version="1.0">%s</channel>' % (
                prop("configver", "int", 2) + prop("panels", "array", "", values("int", 1) +
                                                   prop("panel-1", "empty", "", panel)) +
                prop("plugins", "empty", "", prop("plugin-1", "string", "systray", prop("single-row", "bool", "true")))))
        # xfconfd is started by the bus, and reads the configuration from there.
        subprocess.run(["dbus-update-activation-environment", "XDG_CONFIG_HOME=" + s.path("config")], check=True)
        s.processes.append(subprocess.Popen(["xfce4-panel", "--disable-wm-check"], env=s.env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if not sni:
            s.env.pop("DBUS_SESSION_BUS_ADDRESS")  # so Qt takes the XEmbed tray
        time.sleep(2)

    def resize(self, size):
        self.height = size + 8
        for key, kind, value in (("/plugins/plugin-1/icon-size", "int", size), ("/panels/panel-1/size", "uint",
                                                                               self.height)):
            subprocess.run(["xfconf-query", "-c", "xfce4-panel", "-p", key, "-n", "-t", kind, "-s", str(value)],
                           check=True)

    def capture(self):
        return x_capture(self.height)


class Restarted:
    """A panel with its tray alone, started again with each size's settings."""
    process = None

    def resize(self, size):
        self.height = size + 8
        if self.process:
            self.process.terminate()
            self.process.wait()
        self.process = subprocess.Popen(self.start(size), env=s.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        s.processes.append(self.process)


class Tint2(Restarted):
    """tint2, under a window manager, without which it shows no panel."""

    def __init__(self):
        s.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        s.processes.append(subprocess.Popen(["openbox"], env=s.env, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL))

    def start(self, size):
        with open(s.path("tint2rc"), "w") as f:
            f.write("rounded = 0\nborder_width = 0\nbackground_color = #%02x%02x%02x 100\npanel_items = S\n"
                    "panel_size = 100%% %d\npanel_position = top left horizontal\npanel_background_id = 1\n"
                    "panel_padding = 0 0 0\nsystray_padding = 0 0 0\nsystray_icon_size = %d\n"
                    % (BACKGROUND + (self.height, size)))
        return ["tint2", "-c", s.path("tint2rc")]

    def capture(self):
        return x_capture(self.height)


class Waybar(Restarted):
    def __init__(self):
        from headless_sway import HeadlessSway
        os.makedirs(s.path("sway"))
        self.sway = HeadlessSway(s.path("sway"))
        s.processes.append(self.sway.process)  # ended with the rest
        s.env.update(WAYLAND_DISPLAY=self.sway.env["WAYLAND_DISPLAY"], QT_QPA_PLATFORM="wayland")
        with open(s.path("waybar.css"), "w") as f:
            f.write("* { border: none; margin: 0; padding: 0; }\nwindow#waybar { background: rgb(%d, %d, %d); }\n"
                    % BACKGROUND)

    def start(self, size):
        with open(s.path("waybar.json"), "w") as f:
            f.write('{"position": "top", "height": %d, "modules-right": ["tray"], "tray": {"icon-size": %d}}'
                    % (self.height, size))
        return ["waybar", "-c", s.path("waybar.json"), "-s", s.path("waybar.css")]

    def capture(self):
        return self.sway.capture(0, 0, 640, self.height)


def judge(capture, size):
    """None when the capture shows a frame exact, else what is wrong."""
    width, height, rgb = capture
    pixel = lambda x, y: tuple(rgb[3 * (y * width + x):3 * (y * width + x) + 3])  # noqa: E731
    drawn = [(x, y) for y in range(height) for x in range(width) if pixel(x, y) != BACKGROUND]
    if not drawn:
        return "no icon"
    left, top = min(x for x, _ in drawn), min(y for _, y in drawn)
    sides = (max(x for x, _ in drawn) - left + 1, max(y for _, y in drawn) - top + 1)
    blended = sum(pixel(x, y) not in set(FRAMES[0]) | set(FRAMES[1]) for x, y in drawn)
    factor = size // 16
    if blended or sides != (16 * factor, 16 * factor):
        return "%d×%d pixels drawn, %d of them blended" % (sides + (blended,))
    if not any(all(pixel(left + x, top + y) == (f[16 * (y // factor) + x // factor] or BACKGROUND)
                   for y in range(16 * factor) for x in range(16 * factor)) for f in FRAMES):
        return "the palette's colours, but not a frame enlarged %d×" % factor
    if top not in ((height - 16 * factor) // 2, (height - 16 * factor + 1) // 2):
        return "the frame %d pixels from the top of a %d pixel panel: not centred" % (top, height)
    return None


with Session(sys.argv[2], sys.argv[3]) as s:
    host = {"xfce-sni": lambda: Xfce(s, True), "xfce-xembed": lambda: Xfce(s, False), "tint2": Tint2,
            "waybar": Waybar}[host_name]()
    animation = s.make("a.zn", (30, "9p"), (30, "4p"))
    failures = []
    for n, size in enumerate(SIZES):
        host.resize(size)
        if n == 0:
            player = s.start(animation)
        deadline = time.monotonic() + 30  # a panel starts slowly on a busy machine
        while time.monotonic() < deadline:
            time.sleep(0.3)
            capture = host.capture()
            problem = judge(capture, size)
            if problem is None:
                break
        if os.environ.get("ZINTRA_TRAY_CAPTURES"):
            with open(os.path.join(os.environ["ZINTRA_TRAY_CAPTURES"], "%s-%d.ppm" % (host_name, size)), "wb") as f:
                f.write(b"P6 %d %d 255\n" % capture[:2] + capture[2])
        print("%s %s at %d px: %s" % ("FAIL:" if problem else "ok:", host_name, size, problem or "exact"), flush=True)
        failures += [str(size)] * bool(problem)
    seconds = float(os.environ.get("ZINTRA_TRAY_MEASURE", 0))
    if seconds:
        subprocess.run([s.player, s.make("ten.zn", (6, "9p"), (6, "4p"), (6, "12p"))], env=s.env, check=True)
        time.sleep(2)
        used = schedstat(0, player.pid)
        time.sleep(seconds)
        print("the player's CPU at 10 frames a second: %.2f %%" % (100 * (schedstat(0, player.pid) - used) / seconds))
    if failures:
        fail("%s: the icon is not exact at %s px" % (host_name, ", ".join(failures)))
    print("PASS")
