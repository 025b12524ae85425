"""zintra-tray in real panels at 16, 22, 24, 32 and 48 pixels, checked on
screen captures of the panel: the icon must be the frame enlarged by whole
pixels (by 1 up to 31 pixels, 2 up to 47, 3 from 48), centred in the panel,
each pixel the frame's colour or, where the frame is transparent, the
panel's own. A panel that scales a picture blends colours and fails.

    panels_test.py HOST path/to/zintra-tray path/to/make_animation [--report]

HOST: xfce-sni (xfce4-panel, the StatusNotifierItem a Qt program uses in an
Xfce session), xfce-xembed (the same panel, the player with no session
bus), tint2 (XEmbed) or waybar (under headless sway). Skipped (77) with a
message where the panel is not installed, outside CI. --report prints each
size's result without failing, for comparing builds; with
ZINTRA_TRAY_CAPTURES=FOLDER set, the last capture of each size is kept
there (HOST-SIZE.ppm).
"""
import os
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, "..", "wayland")]
from tray_session import Session, fail, frame, run_inside  # noqa: E402

SIZES = (16, 22, 24, 32, 48)
BACKGROUND = (64, 77, 89)  # the panel's colour, none of the palette's
FRAMES = [frame(9, True), frame(4, True)]
host_name = sys.argv[1]
TOOLS = {"xfce-sni": ["xfce4-panel", "xfconf-query", "import"], "xfce-xembed": ["xfce4-panel", "xfconf-query", "import"],
         "tint2": ["tint2", "openbox", "import"], "waybar": ["waybar", "sway", "grim"]}[host_name]
run_inside(__file__, sys.argv, ["xvfb-run", "dbus-run-session"] + TOOLS, ["dbus-run-session", "--"])
report = "--report" in sys.argv


def x_capture(width, height):
    shot = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+0+0" % (width, height), "-depth", "8", "rgb:-"],
                          capture_output=True, check=True).stdout
    return width, height, shot


class Xfce:
    """xfce4-panel with its notification area alone, sized through xfconf."""

    def __init__(self, s, sni):
        self.s, self.height = s, 0
        folder = s.path("config", "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(folder)
        rgba = "".join('<value type="double" value="%g"/>' % (c / 255) for c in BACKGROUND + (255,))
        with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<channel name="xfce4-panel" version="1.0">'
                    '<property name="configver" type="int" value="2"/><property name="panels" type="array">'
                    '<value type="int" value="1"/><property name="panel-1" type="empty">'
                    '<property name="position" type="string" value="p=6;x=0;y=0"/>'
                    '<property name="length" type="uint" value="100"/>'
                    '<property name="position-locked" type="bool" value="true"/>'
                    '<property name="size" type="uint" value="30"/>'
                    '<property name="background-style" type="uint" value="1"/>'
                    '<property name="background-rgba" type="array">%s</property>'
                    '<property name="plugin-ids" type="array"><value type="int" value="1"/></property>'
                    '</property></property><property name="plugins" type="empty">'
                    '<property name="plugin-1" type="string" value="systray">'
                    '<property name="icon-size" type="int" value="22"/>'
                    '<property name="single-row" type="bool" value="true"/>'
                    '</property></property></channel>\n' % rgba)
        # xfconfd is started by the bus, and reads the configuration from there.
        subprocess.run(["dbus-update-activation-environment", "XDG_CONFIG_HOME=" + s.path("config")], check=True)
        s.processes.append(subprocess.Popen(["xfce4-panel", "--disable-wm-check"], env=s.env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if not sni:
            s.env.pop("DBUS_SESSION_BUS_ADDRESS")  # so Qt takes the XEmbed tray
        time.sleep(2)

    def resize(self, size):
        self.height = size + 8
        for key, value in (("/plugins/plugin-1/icon-size", size), ("/panels/panel-1/size", self.height)):
            subprocess.run(["xfconf-query", "-c", "xfce4-panel", "-p", key, "-s", str(value)], check=True)

    def capture(self):
        return x_capture(640, self.height)


class Tint2:
    """tint2 with its system tray alone, started again for each size, under
    a window manager, without which it shows no panel."""

    def __init__(self, s):
        self.s, self.process, self.height = s, None, 0
        s.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        s.processes.append(subprocess.Popen(["openbox"], env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def resize(self, size):
        self.height = size + 8
        config = self.s.path("tint2rc")
        with open(config, "w") as f:
            f.write("rounded = 0\nborder_width = 0\nbackground_color = #%02x%02x%02x 100\nborder_color = #000000 0\n"
                    "panel_items = S\npanel_size = 100%% %d\npanel_position = top left horizontal\n"
                    "panel_background_id = 1\npanel_padding = 0 0 0\nsystray_padding = 0 0 0\n"
                    "systray_icon_size = %d\nsystray_icon_asb = 100 0 0\n" % (BACKGROUND + (self.height, size)))
        if self.process:
            self.process.terminate()
            self.process.wait()
        self.process = subprocess.Popen(["tint2", "-c", config], env=self.s.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.s.processes.append(self.process)

    def capture(self):
        return x_capture(640, self.height)


class Waybar:
    """waybar with its tray alone on a headless sway, started again for each size."""

    def __init__(self, s):
        from headless_sway import HeadlessSway
        os.makedirs(s.path("sway"))
        self.sway = HeadlessSway(s.path("sway"))
        self.s, self.process, self.height = s, None, 0
        s.env.update(WAYLAND_DISPLAY=self.sway.env["WAYLAND_DISPLAY"], QT_QPA_PLATFORM="wayland")
        s.env.pop("DISPLAY", None)

    def resize(self, size):
        self.height = size + 8
        with open(self.s.path("waybar.json"), "w") as f:
            f.write('{"layer": "top", "position": "top", "height": %d, "modules-right": ["tray"], '
                    '"tray": {"icon-size": %d}}' % (self.height, size))
        with open(self.s.path("waybar.css"), "w") as f:
            f.write("* { border: none; margin: 0; padding: 0; }\nwindow#waybar { background: rgb(%d, %d, %d); }\n"
                    % BACKGROUND)
        if self.process:
            self.process.terminate()
            self.process.wait()
        self.process = subprocess.Popen(["waybar", "-c", self.s.path("waybar.json"), "-s", self.s.path("waybar.css")],
                                        env=self.s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.s.processes.append(self.process)

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
    side_x, side_y = max(x for x, _ in drawn) - left + 1, max(y for _, y in drawn) - top + 1
    palette = set(FRAMES[0]) | set(FRAMES[1]) | {BACKGROUND}
    blended = sum(pixel(x, y) not in palette for x, y in drawn)
    factor = size // 16
    if blended or (side_x, side_y) != (16 * factor, 16 * factor):
        return "%d×%d pixels drawn, %d of them blended" % (side_x, side_y, blended)
    for f in FRAMES:
        if all(pixel(left + x, top + y) == (f[16 * (y // factor) + x // factor] or BACKGROUND)
               for y in range(16 * factor) for x in range(16 * factor)):
            margin = height - 16 * factor
            if top not in (margin // 2, (margin + 1) // 2):
                return "the frame %d pixels from the top of a %d pixel panel: not centred" % (top, height)
            return None
    return "%d×%d palette pixels that are not the frame enlarged %d×" % (side_x, side_y, factor)


with Session(sys.argv[2], sys.argv[3]) as s:
    host = {"xfce-sni": lambda: Xfce(s, True), "xfce-xembed": lambda: Xfce(s, False), "tint2": lambda: Tint2(s),
            "waybar": lambda: Waybar(s)}[host_name]()
    animation = s.make("a.zn", (30, "9p"), (30, "4p"))
    failures = []
    for n, size in enumerate(SIZES):
        host.resize(size)
        if n == 0:
            s.start(animation)
        deadline, problem = time.monotonic() + 10, "no capture"
        while time.monotonic() < deadline:
            time.sleep(0.3)
            capture = host.capture()
            problem = judge(capture, size)
            if problem is None:
                break
        if os.environ.get("ZINTRA_TRAY_CAPTURES"):
            with open(os.path.join(os.environ["ZINTRA_TRAY_CAPTURES"], "%s-%d.ppm" % (host_name, size)), "wb") as f:
                f.write(b"P6 %d %d 255\n" % capture[:2] + capture[2])
        print("%s %s at %d px: %s" % ("ok:" if problem is None else "FAIL:", host_name, size, problem or "exact"),
              flush=True)
        if problem:
            failures.append(size)
    if failures and not report:
        fail("%s: the icon is not exact at %s px" % (host_name, ", ".join(map(str, failures))))
    print("PASS")
