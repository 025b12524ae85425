"""A headless sway for tests (needs sway and grim), its output captured
with grim. sway refuses to run as root, so as root it runs in a user
namespace as another user; root's programs connect to it as usual.

    with HeadlessSway(folder, ["output HEADLESS-1 scale 1.5"]) as sway:
        subprocess.Popen(program, env=sway.env)     # WAYLAND_DISPLAY, SWAYSOCK set
        width, height, rgb = sway.capture(0, 0, 640, 30)

For shell tests, `python3 headless_sway.py FOLDER WIDTHxHEIGHT [CONFIG...]`
starts it, prints its environment as one `export` line and keeps it until
sent SIGTERM.
"""
import glob
import os
import subprocess
import time


class HeadlessSway:
    def __init__(self, folder, config=(), width=640, height=480, background="#808080"):
        """folder: the caller's, for sway's runtime folder, configuration
        and log; config: more lines of sway's configuration."""
        self.folder = folder
        runtime = os.path.join(folder, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        with open(os.path.join(folder, "sway.config"), "w") as f:
            f.write("output HEADLESS-1 resolution %dx%d bg %s solid_color\ndefault_border none\n"
                    % (width, height, background))
            f.write("".join(line + "\n" for line in config))
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman")
        for key in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"):
            self.env.pop(key, None)
        namespace = ["unshare", "--user", "--map-user=1000", "--map-group=1000", "--"] if os.getuid() == 0 else []
        self.log = open(os.path.join(folder, "sway.log"), "w")
        self.process = subprocess.Popen(namespace + ["sway", "-c", os.path.join(folder, "sway.config")], env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        sockets = (os.path.join(runtime, "wayland-*[0-9]"), os.path.join(runtime, "sway-ipc.*"))
        while not all(map(glob.glob, sockets)):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                with open(os.path.join(folder, "sway.log")) as f:
                    raise RuntimeError("sway did not start:\n" + f.read())
            time.sleep(0.05)
        # A whole path: programs with a runtime folder of their own find it too.
        self.env["WAYLAND_DISPLAY"], self.env["SWAYSOCK"] = (glob.glob(p)[0] for p in sockets)

    def capture(self, x, y, width, height):
        """(width, height, bytes of RGB) of that part of the output."""
        ppm = subprocess.run(["grim", "-t", "ppm", "-g", "%d,%d %dx%d" % (x, y, width, height), "-"],
                             env=self.env, capture_output=True, check=True).stdout
        fields = ppm.split(maxsplit=4)  # P6, width, height, 255, pixels
        return int(fields[1]), int(fields[2]), fields[4]

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()



if __name__ == "__main__":
    import shlex
    import signal
    import sys

    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM})
    width, height = map(int, sys.argv[2].split("x"))
    with HeadlessSway(sys.argv[1], sys.argv[3:], width, height) as sway:
        print("export " + " ".join("%s=%s" % (key, shlex.quote(sway.env[key]))
                                   for key in ("XDG_RUNTIME_DIR", "WAYLAND_DISPLAY", "SWAYSOCK")), flush=True)
        signal.sigwait({signal.SIGTERM})
