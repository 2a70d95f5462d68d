#!/usr/bin/env python3
"""Runs the example installer with the freshly built qvonsplash.dll under Wine on a private Xvfb
display, drives it with xdotool, and checks the screen pixel by pixel and the choice it reports.

usage: installer_test.py --work DIR --plugin-dir DIR --skin-dir DIR --region-tool EXE
                         --examples DIR --wine WINE SCENARIO

SCENARIO "build" makes the Wine prefix, the region file and the installers (the fixture of the
others). Screenshots of every scenario are kept in DIR/<scenario>/ as BMP files.
"""
import argparse
import configparser
import os
import shutil
import signal
import struct
import subprocess
import sys
import time

SCREEN = (1000, 700)
BLACK = (0, 0, 0)
DIALOG_TIMEOUT = 60  # Wine's first start in a prefix is slow on a busy machine
EXIT_TIMEOUT = 30
POLL = 0.25

make_skin = None  # the skin script of the examples, imported in main()


class Failure(Exception):
    pass


def wait_until(what, probe, timeout):
    """Polls probe() until it returns something true, for at most timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {timeout} s")
        time.sleep(POLL)


class Screen:
    """One reading of the Xvfb frame buffer (an XWD file that Xvfb keeps up to date)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        fields = struct.unpack_from(">25I", data, 0)
        header_size, width, height = fields[0], fields[4], fields[5]
        byte_order, bits_per_pixel, self.stride = fields[7], fields[11], fields[12]
        masks = fields[14:17]
        colours = fields[19]
        if bits_per_pixel != 32 or byte_order != 0 or masks != (0xFF0000, 0xFF00, 0xFF):
            raise Failure(f"frame buffer: {bits_per_pixel} bits, byte order {byte_order}, masks "
                          f"{masks} (expected 32 bits, LSB first, 8-8-8 RGB)")
        self.width, self.height = width, height
        self.offset = header_size + colours * 12
        self.data = data

    def pixel(self, x, y):
        at = self.offset + y * self.stride + x * 4
        return (self.data[at + 2], self.data[at + 1], self.data[at])

    def image(self):
        image = make_skin.Image(self.width, self.height)
        image.pixels = [[self.pixel(x, y) for x in range(self.width)] for y in range(self.height)]
        return image


def mismatches(screen, expected, origin, ring=True):
    """Pixels where the screen differs from the expected window at origin; with ring, the pixels
    just outside the window must show the (black) root window, which proves the window's size."""
    ox, oy = origin
    found = []
    for y in range(expected.height):
        for x in range(expected.width):
            sx, sy = ox + x, oy + y
            if 0 <= sx < screen.width and 0 <= sy < screen.height:
                want = expected.pixels[y][x]
                got = screen.pixel(sx, sy)
                if got != want:
                    found.append((sx, sy, want, got))
    if ring:
        for x in range(ox - 1, ox + expected.width + 1):
            for y in (oy - 1, oy + expected.height):
                if 0 <= x < screen.width and 0 <= y < screen.height and screen.pixel(x, y) != BLACK:
                    found.append((x, y, BLACK, screen.pixel(x, y)))
        for y in range(oy, oy + expected.height):
            for x in (ox - 1, ox + expected.width):
                if 0 <= x < screen.width and 0 <= y < screen.height and screen.pixel(x, y) != BLACK:
                    found.append((x, y, BLACK, screen.pixel(x, y)))
    return found


def describe(found):
    x, y, want, got = found[0]
    return f"{len(found)} pixels differ; first at {x},{y}: {got} (expected {want})"


class Skin:
    def __init__(self, directory):
        self.dir = directory
        self.images = {}
        for name in ["qvonsplskn", "qvonsplash", "qvonsplok1", "qvonsplok2", "qvonsplvo1",
                     "qvonsplvo2", "qvonsplno1", "qvonsplno2"]:
            self.images[name] = make_skin.read_bmp(os.path.join(directory, name + ".bmp"))
        ini = configparser.ConfigParser()
        ini.read(os.path.join(directory, "qvonsplash.ini"))
        self.at = {s: (int(ini[s]["X"]), int(ini[s]["Y"])) for s in ["SP", "OK", "VO", "NO"]}
        self.size = (self.images["qvonsplskn"].width, self.images["qvonsplskn"].height)

    def centred(self):
        return ((SCREEN[0] - self.size[0]) // 2, (SCREEN[1] - self.size[1]) // 2)

    def button_centre(self, origin, section):
        image = self.images[f"qvonspl{section.lower() if section != 'NO' else 'no'}1"]
        x, y = self.at[section]
        return (origin[0] + x + image.width // 2, origin[1] + y + image.height // 2)

    def expected(self, region=True, pressed=None, picture=True):
        """The window as it should look: background, picture at "SP", each button's normal image
        (the pressed one for pressed), and the root window wherever the shape leaves out."""
        background = self.images["qvonsplskn"]
        out = make_skin.Image(background.width, background.height)
        out.pixels = [list(row) for row in background.pixels]
        layers = [("qvonsplash", "SP")] if picture else []
        for section, stem in [("OK", "qvonsplok"), ("VO", "qvonsplvo"), ("NO", "qvonsplno")]:
            layers.append((stem + ("2" if pressed == section else "1"), section))
        for name, section in layers:
            image = self.images[name]
            left, top = self.at[section]
            for y in range(image.height):
                out.pixels[top + y][left:left + image.width] = image.pixels[y]
        if region:
            for y in range(out.height):
                for x in range(out.width):
                    if background.pixels[y][x] == make_skin.KEY:
                        out.pixels[y][x] = BLACK
        return out


class Session:
    """One private Xvfb display and the Wine processes of one scenario; everything started here
    is stopped on leaving, whatever happened."""

    def __init__(self, args, name):
        self.args = args
        self.dir = os.path.join(args.work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.xvfb = None
        self.installer = None
        self.display = None
        self.shots = 0
        self.logs = []

    def log(self, name):
        self.logs.append(open(os.path.join(self.dir, name), "w"))
        return self.logs[-1]

    def __enter__(self):
        fbdir = self.fbdir = os.path.join(self.dir, "framebuffer")
        os.makedirs(fbdir)
        for number in range(64, 200):
            taken = (f"/tmp/.X{number}-lock", f"/tmp/.X11-unix/X{number}")
            if any(os.path.exists(f) for f in taken):
                continue
            log = self.log(f"xvfb-{number}.log")
            self.xvfb = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-fbdir",
                 fbdir, "-nolisten", "tcp", "-br", "-ac", "-nocursor"], stdout=log, stderr=log)
            self.fb = os.path.join(fbdir, "Xvfb_screen0")
            try:
                wait_until("Xvfb start", lambda: self.xvfb.poll() is not None or (
                    os.path.exists(f"/tmp/.X11-unix/X{number}") and os.path.exists(self.fb)), 15)
            except Failure:
                self.stop_xvfb()
                raise
            if self.xvfb.poll() is None:
                self.display = f":{number}"
                return self
            self.xvfb = None  # another display took the number meanwhile; try the next
        raise Failure("no free X display number between :64 and :199")

    def __exit__(self, *exc):
        if self.installer is not None and self.installer.poll() is None:
            self.installer.kill()
            self.installer.wait(10)
        # The prefix is this test's own, so stopping its wineserver touches nothing else.
        subprocess.run(["wineserver", "-k"], env=self.env(), timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stop_xvfb()
        shutil.rmtree(self.fbdir, ignore_errors=True)
        for log in self.logs:
            log.close()
        return False

    def stop_xvfb(self):
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait(10)

    def env(self):
        env = dict(os.environ)
        env.update(wine_env(self.args))
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def start(self, exe, *options, cwd=None):
        self.choice_file = os.path.join(self.dir, "choice.txt")
        command = [self.args.wine, exe, "/S", *options,
                   "/CHOICEFILE=" + windows_path(self.choice_file)]
        log = self.log("installer.log")
        self.installer = subprocess.Popen(command, env=self.env(), cwd=cwd or self.dir, stdout=log,
                                          stderr=log)

    def choice(self):
        try:
            self.installer.wait(EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure(f"the installer did not end within {EXIT_TIMEOUT} s")
        if not os.path.exists(self.choice_file):
            raise Failure(f"no choice written (installer exit code {self.installer.returncode})")
        with open(self.choice_file) as f:
            return f.read()

    def screen(self):
        return Screen(self.fb)

    def shot(self, label):
        self.shots += 1
        path = os.path.join(self.dir, f"{self.shots:02d}-{label}.bmp")
        make_skin.write_bmp(path, self.screen().image())
        print(f"screenshot {path}")

    def xdotool(self, *words):
        subprocess.run(["xdotool", *[str(w) for w in words]], env=self.env(), timeout=15,
                       check=True)

    def wait_for(self, what, expected, origin, ring=True, timeout=DIALOG_TIMEOUT):
        last = []

        def matches():
            last[:] = mismatches(self.screen(), expected, origin, ring)
            return not last

        try:
            wait_until(what, matches, timeout)
        except Failure as failure:
            self.shot("unexpected")
            raise Failure(f"{failure}: {describe(last)}")
        self.shot(what.replace(" ", "-"))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(args):
    return {"WINEPREFIX": os.path.join(args.work, "wineprefix"), "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=", "WINEARCH": "win32"}


def check_equal(what, got, expected):
    if got != expected:
        raise Failure(f"{what}: {got!r} (expected {expected!r})")
    print(f"{what}: {got!r}")


def example(args):
    return os.path.join(args.work, "qvonsplash-example.exe")


def bare(args):
    return os.path.join(args.work, "bare", "bare-splash.exe")


def build(args):
    env = dict(os.environ)
    env.update(wine_env(args))
    env.pop("DISPLAY", None)
    os.makedirs(args.work, exist_ok=True)
    if not os.path.isdir(env["WINEPREFIX"]):
        subprocess.run([args.wine, "wineboot", "--init"], env=env, timeout=300, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    skin = os.path.join(args.work, "skin")
    shutil.rmtree(skin, ignore_errors=True)
    shutil.copytree(args.skin_dir, skin)
    subprocess.run([args.wine, args.region_tool, windows_path(os.path.join(skin, "qvonsplskn.bmp")),
                    windows_path(os.path.join(skin, "qvonsplash.rgn"))], env=env, timeout=120,
                   check=True)
    subprocess.run(["wineserver", "-k"], env=env, timeout=30)
    subprocess.run(["makensis", "-V2", f"-DQV_PLUGIN_DIR={args.plugin_dir}",
                    f"-DQV_SKIN_DIR={skin}",
                    f"-DQV_OUTFILE={example(args)}",
                    os.path.join(args.examples, "qvonsplash-example.nsi")], timeout=120, check=True)
    bare_dir = os.path.dirname(bare(args))
    shutil.rmtree(bare_dir, ignore_errors=True)
    os.makedirs(bare_dir)
    subprocess.run(["makensis", "-V2", f"-DQV_PLUGIN_DIR={args.plugin_dir}",
                    f"-DQV_OUTFILE={bare(args)}",
                    os.path.join(os.path.dirname(os.path.abspath(__file__)), "bare-splash.nsi")],
                   timeout=120, check=True)
    # The bare installer's own directory holds the skin, for the empty image directory; the
    # shape file is left out, so there the window stays rectangular.
    for name in os.listdir(skin):
        if name != "qvonsplash.rgn":
            shutil.copy(os.path.join(skin, name), bare_dir)
    # A skin whose picture is not a bitmap at all and whose shape file claims more than 1000
    # bytes: the dialog shows without them, rectangular.
    damaged = damaged_dir(args)
    shutil.rmtree(damaged, ignore_errors=True)
    shutil.copytree(skin, damaged)
    with open(os.path.join(damaged, "qvonsplash.bmp"), "wb") as f:
        f.write(b"this is no bitmap\r\n" * 20)
    with open(os.path.join(damaged, "qvonsplash.rgn"), "r+b") as f:
        region = f.read()
        f.seek(0)
        f.write(struct.pack("<I", 1004) + region[4:] + b"\0" * 1004)
    print("built", example(args), "and", bare(args))


def damaged_dir(args):
    return os.path.join(args.work, "skin-damaged")


def shown_skin(session, skin, what="shown centred"):
    origin = skin.centred()
    session.wait_for(what, skin.expected(), origin)
    return origin


def escape(args, skin):
    with Session(args, "escape") as s:
        s.start(example(args))
        origin = shown_skin(s, skin)
        s.xdotool("mousemove", origin[0] + 200, origin[1] + 150)
        s.xdotool("key", "Escape")
        check_equal("choice after Escape", s.choice(), "3")


def enter(args, skin):
    with Session(args, "enter") as s:
        s.start(example(args))
        shown_skin(s, skin)
        s.xdotool("key", "Return")
        check_equal("choice after Enter on the first control", s.choice(), "1")


def click(section, result):
    def scenario(args, skin):
        with Session(args, "click-" + section) as s:
            s.start(example(args))
            origin = shown_skin(s, skin)
            x, y = skin.button_centre(origin, section)
            s.xdotool("mousemove", x, y)
            s.xdotool("mousedown", 1)
            s.wait_for(f"{section} pressed", skin.expected(pressed=section), origin)
            s.xdotool("mouseup", 1)
            check_equal(f"choice after a click on {section}", s.choice(), result)
    return scenario


def drag(args, skin):
    width, height = skin.size
    grab = (200, 150)  # on the background, clear of the picture and the buttons
    with Session(args, "drag") as s:
        s.start(example(args))
        x, y = shown_skin(s, skin)
        for edge in ["left", "top", "right", "bottom"]:
            target = {"left": (0, y + grab[1]), "top": (x + grab[0], 0),
                      "right": (SCREEN[0] - 1, y + grab[1]),
                      "bottom": (x + grab[0], SCREEN[1] - 1)}[edge]
            expected = {"left": (0, y), "top": (x, 0), "right": (SCREEN[0] - width, y),
                        "bottom": (x, SCREEN[1] - height)}[edge]
            s.xdotool("mousemove", x + grab[0], y + grab[1])
            s.xdotool("mousedown", 1)
            steps = 8
            for i in range(1, steps + 1):
                px = x + grab[0] + (target[0] - x - grab[0]) * i // steps
                py = y + grab[1] + (target[1] - y - grab[1]) * i // steps
                s.xdotool("mousemove", px, py)
                time.sleep(0.05)
            s.xdotool("mouseup", 1)
            s.wait_for(f"dragged past the {edge} edge", skin.expected(), expected)
            x, y = expected
        s.xdotool("mousemove", x + grab[0], y + grab[1])
        s.xdotool("key", "Escape")
        check_equal("choice after the drags and Escape", s.choice(), "3")


def program_directory(args, skin):
    with Session(args, "program-directory") as s:
        s.start(bare(args), "/IMAGEDIR=", cwd=s.dir)
        # No shape file in the current directory: the key-coloured corners show.
        origin = skin.centred()
        s.wait_for("skin from the installer's directory", skin.expected(region=False), origin)
        s.xdotool("mousemove", *skin.button_centre(origin, "VO"))
        s.xdotool("click", 1)
        check_equal("choice after a click on VO", s.choice(), "2")


def damaged_skin(args, skin):
    with Session(args, "damaged-skin") as s:
        directory = damaged_dir(args)
        s.start(bare(args), "/IMAGEDIR=" + windows_path(directory) + "\\", cwd=directory)
        origin = skin.centred()
        s.wait_for("shown without picture and shape", skin.expected(region=False, picture=False),
                   origin)
        s.xdotool("mousemove", *skin.button_centre(origin, "OK"))
        s.xdotool("click", 1)
        check_equal("choice after a click on OK", s.choice(), "1")


def plain_dialog(name, directory, button, result):
    """Without usable images the dialog keeps its template's size, centred, with three plain
    boxes one under another in its top-left corner; each still gives its result."""
    def scenario(args, skin):
        with Session(args, name) as s:
            s.start(bare(args), "/IMAGEDIR=" + directory)

            def window():
                screen = s.screen()
                middle = (screen.width // 2, screen.height // 2)
                cols = [x for x in range(0, screen.width, 2) if screen.pixel(x, middle[1]) != BLACK]
                rows = [y for y in range(0, screen.height, 2)
                        if screen.pixel(middle[0], y) != BLACK]
                if not cols or not rows:
                    return None
                left, right = cols[0], cols[-1]
                top, bottom = rows[0], rows[-1]
                while left > 0 and screen.pixel(left - 1, middle[1]) != BLACK:
                    left -= 1
                while top > 0 and screen.pixel(middle[0], top - 1) != BLACK:
                    top -= 1
                while right + 1 < screen.width and screen.pixel(right + 1, middle[1]) != BLACK:
                    right += 1
                while bottom + 1 < screen.height and screen.pixel(middle[0], bottom + 1) != BLACK:
                    bottom += 1
                # The three boxes are drawn once the run of their colour down the left side is
                # three equal heights that end above the window's bottom.
                box = screen.pixel(left + 2, top + 2)
                run = 0
                while top + run <= bottom and screen.pixel(left + 2, top + run) == box:
                    run += 1
                if run == 0 or run % 3 or top + run > bottom:
                    return None
                return screen, left, top, right + 1 - left, bottom + 1 - top, run

            screen, left, top, width, height, run = wait_until("the plain dialog", window,
                                                               DIALOG_TIMEOUT)
            s.shot("plain-dialog")
            print(f"plain dialog at {left},{top}, {width} x {height}; buttons {run // 3} high")
            if width < 300 or height < 100:
                raise Failure(f"plain dialog {width} x {height} (expected its template's size)")
            check_equal("plain dialog's top-left corner", (left, top),
                        ((SCREEN[0] - width) // 2, (SCREEN[1] - height) // 2))
            row = run // 3
            s.xdotool("mousemove", left + 20, top + button * row + row // 2)
            s.xdotool("click", 1)
            check_equal(f"choice after a click on plain button {button + 1}", s.choice(), result)
    return scenario


SCENARIOS = {
    "escape": escape,
    "enter": enter,
    "click-OK": click("OK", "1"),
    "click-VO": click("VO", "2"),
    "click-NO": click("NO", "3"),
    "drag": drag,
    "program-directory": program_directory,
    "damaged-skin": damaged_skin,
    "missing-images": plain_dialog("missing-images", "C:\\no\\such\\skin\\", 1, "2"),
    "too-long-directory": plain_dialog("too-long-directory", "C:\\" + "d" * 300 + "\\", 0, "1"),
}


def main():
    global make_skin
    parser = argparse.ArgumentParser()
    for option in ["--work", "--plugin-dir", "--skin-dir", "--region-tool", "--examples", "--wine"]:
        parser.add_argument(option, required=True)
    parser.add_argument("scenario", choices=["build", *SCENARIOS])
    args = parser.parse_args()
    for tool in ["Xvfb", "xdotool", "makensis", "wineserver"]:
        if shutil.which(tool) is None:
            sys.exit(f"{tool} not found (scripts/setup installs it)")
    # CTest ends a test that runs too long with SIGTERM; leaving through SystemExit still stops
    # Xvfb and the installer.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAILED: terminated"))
    sys.path.insert(0, args.examples)
    import make_skin as module
    make_skin = module
    try:
        if args.scenario == "build":
            build(args)
        else:
            SCENARIOS[args.scenario](args, Skin(os.path.join(args.work, "skin")))
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as failure:
        sys.exit(f"FAILED: {failure}")


if __name__ == "__main__":
    main()
