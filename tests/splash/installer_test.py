#!/usr/bin/env python3
"""Unpacks the kit, builds its example installer and a bare test installer for one flavour of
qvonsplash.dll, runs them under Wine on a private Xvfb display, drives them with xdotool, and
checks the screen pixel by pixel, the choice they report and the detection's exit code.

usage: installer_test.py --work DIR --flavour FLAVOUR --kit-zip ZIP --examples DIR --wine WINE
                         [--version VERSION] SCENARIO

FLAVOUR is x86-ansi (a "Unicode false" installer), x86-unicode ("Unicode true") or
amd64-unicode ("Target amd64-unicode", in a 64-bit Wine prefix). SCENARIO "build" unpacks the kit
and makes the Wine prefix and the installers (the fixture of the others); "contents" checks the
kit's files themselves. Screenshots of every scenario are kept in DIR/<scenario>/ as BMP files.
"""
import argparse
import configparser
import os
import shutil
import re
import signal
import socket
import struct
import subprocess
import sys
import time
import zipfile

SCREEN = (1000, 700)
BLACK = (0, 0, 0)
DIALOG_TIMEOUT = 60  # Wine's first start in a prefix is slow on a busy machine
EXIT_TIMEOUT = 30
POLL = 0.25
FLAVOURS = {  # the script command that makes makensis build for the flavour, and Wine's prefix
    "x86-ansi": ("Unicode false", "win32"),
    "x86-unicode": ("Unicode true", "win32"),
    "amd64-unicode": ("Target amd64-unicode", "win64"),
}
# Letters outside every ANSI code page's reach at once: Latin with diacritics and Greek.
NON_ANSI_DIRECTORY = "Zoë Ångström Ωμέγα"

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

    def expected(self, region=True, pressed=None, picture=True, focus="OK"):
        """The window as it should look: background, picture at "SP", each button's normal image
        (the pressed one for pressed), the inverted frame inside the focused button, and the root
        window wherever the shape leaves out."""
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
            if section == focus:
                invert_frame(out, left, top, image.width, image.height)
        if region:
            for y in range(out.height):
                for x in range(out.width):
                    if background.pixels[y][x] == make_skin.KEY:
                        out.pixels[y][x] = BLACK
        return out


FOCUS_INSET, FOCUS_THICKNESS = 3, 2  # as splash/SplashLayout.h draws the focus


def invert_frame(image, left, top, width, height):
    outer = (left + FOCUS_INSET, top + FOCUS_INSET, left + width - FOCUS_INSET,
             top + height - FOCUS_INSET)
    inner = tuple(v + d for v, d in zip(outer, (FOCUS_THICKNESS, FOCUS_THICKNESS,
                                                 -FOCUS_THICKNESS, -FOCUS_THICKNESS)))
    for y in range(outer[1], outer[3]):
        for x in range(outer[0], outer[2]):
            if not (inner[0] <= x < inner[2] and inner[1] <= y < inner[3]):
                image.pixels[y][x] = tuple(255 - c for c in image.pixels[y][x])


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
        self.listener = None

    def log(self, name):
        self.logs.append(open(os.path.join(self.dir, name), "w"))
        return self.logs[-1]

    def __enter__(self):
        fbdir = self.fbdir = os.path.join(self.dir, "framebuffer")
        os.makedirs(fbdir)
        # Xvfb picks a free display number itself and names it once it listens, so sessions of
        # other tests and other users never collide with this one.
        read_end, write_end = os.pipe()
        log = self.log("xvfb.log")
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{SCREEN[0]}x{SCREEN[1]}x24", "-fbdir", fbdir, "-nolisten", "tcp", "-br", "-ac",
                 "-nocursor"], stdout=log, stderr=log, pass_fds=(write_end,))
            os.close(write_end)
            with os.fdopen(read_end) as announced:
                number = announced.readline().strip()
        except BaseException:
            self.stop_xvfb()
            raise
        self.fb = os.path.join(fbdir, "Xvfb_screen0")
        if not number or self.xvfb.poll() is not None:
            raise Failure(f"Xvfb did not start (see {log.name})")
        self.display = f":{number}"
        return self

    def __exit__(self, *exc):
        if self.installer is not None and self.installer.poll() is None:
            self.installer.kill()
            self.installer.wait(10)
        # The prefix is this test's own, so stopping its wineserver touches nothing else.
        subprocess.run(["wineserver", "-k"], env=self.env(), timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stop_xvfb()
        if self.listener is not None:
            self.listener.close()
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

    def start(self, exe, *options, cwd=None, reachable=True):
        """Starts an installer; the example's detection gets a target on loopback that accepts
        connections, or with reachable=False one that refuses them."""
        self.choice_file = os.path.join(self.dir, "choice.txt")
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        if reachable:
            self.listener.listen(8)
        target = "/TARGET=127.0.0.1:%d" % self.listener.getsockname()[1]
        command = [self.args.wine, exe, "/S", *options, target,
                   "/CHOICEFILE=" + windows_path(self.choice_file)]
        log = self.log("installer.log")
        self.installer = subprocess.Popen(command, env=self.env(), cwd=cwd or self.dir, stdout=log,
                                          stderr=log)

    def answers(self):
        """What the installer wrote: {"choice": N} and, after the example's detection,
        "detect": its exit code."""
        try:
            self.installer.wait(EXIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure(f"the installer did not end within {EXIT_TIMEOUT} s")
        finally:
            self.listener.close()
        if not os.path.exists(self.choice_file):
            raise Failure(f"no choice written (installer exit code {self.installer.returncode})")
        with open(self.choice_file) as f:
            return dict(line.strip().split("=", 1) for line in f if "=" in line)

    def choice(self):
        return self.answers()["choice"]

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
    # A UTF-8 locale, so that Wine hands non-ASCII command lines and file names on unchanged.
    return {"WINEPREFIX": os.path.join(args.work, "wineprefix"), "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=", "WINEARCH": FLAVOURS[args.flavour][1],
            "LANG": "C.UTF-8"}


def check_equal(what, got, expected):
    if got != expected:
        raise Failure(f"{what}: {got!r} (expected {expected!r})")
    print(f"{what}: {got!r}")


def kit_dir(args):
    return os.path.join(args.work, "kit")


def skin_dir(args):
    return os.path.join(kit_dir(args), "NSIS", "Examples", "qvonsplash", "skin")


def example(args):
    return os.path.join(args.work, "qvonsplash-example.exe")


def bare(args):
    return os.path.join(args.work, "bare", "bare-splash.exe")


def damaged_dir(args):
    return os.path.join(args.work, "skin-damaged")


def non_ansi_dir(args):
    return os.path.join(args.work, NON_ANSI_DIRECTORY)


def unpack_kit(args):
    kit = kit_dir(args)
    shutil.rmtree(kit, ignore_errors=True)
    with zipfile.ZipFile(args.kit_zip) as archive:
        archive.extractall(kit)
    return kit


def makensis(args, script, outfile, *defines):
    subprocess.run(["makensis", "-V2", "-X" + FLAVOURS[args.flavour][0],
                    *[f"-D{d}" for d in defines], f"-DQV_OUTFILE={outfile}", script],
                   timeout=120, check=True)


def build(args):
    """Everything the scenarios use comes from the unpacked kit alone: the example is built where
    it lies, with the kit's macros and plug-ins."""
    env = dict(os.environ)
    env.update(wine_env(args))
    env.pop("DISPLAY", None)
    os.makedirs(args.work, exist_ok=True)
    if not os.path.isdir(env["WINEPREFIX"]):
        subprocess.run([args.wine, "wineboot", "--init"], env=env, timeout=300, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    kit = unpack_kit(args)
    skin = skin_dir(args)
    # The kit's shape file was made by the build machine's region tool; the shipped Windows tool
    # must make the same bytes.
    remade = os.path.join(args.work, "remade.rgn")
    subprocess.run([args.wine, os.path.join(kit, "Bin", "qvonsplrgn.exe"),
                    windows_path(os.path.join(skin, "qvonsplskn.bmp")), windows_path(remade)],
                   env=env, timeout=120, check=True)
    subprocess.run(["wineserver", "-k"], env=env, timeout=30)
    with open(remade, "rb") as a, open(os.path.join(skin, "qvonsplash.rgn"), "rb") as b:
        if a.read() != b.read():
            raise Failure("Bin/qvonsplrgn.exe made another shape file than the kit holds")
    makensis(args, os.path.join(kit, "NSIS", "Examples", "qvonsplash", "qvonsplash-example.nsi"),
             example(args))
    bare_dir = os.path.dirname(bare(args))
    shutil.rmtree(bare_dir, ignore_errors=True)
    os.makedirs(bare_dir)
    makensis(args, os.path.join(os.path.dirname(os.path.abspath(__file__)), "bare-splash.nsi"),
             bare(args), "QV_PLUGINS=" + os.path.join(kit, "NSIS", "Plugins"))
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
    shutil.rmtree(non_ansi_dir(args), ignore_errors=True)
    shutil.copytree(skin, os.path.join(non_ansi_dir(args), "skin"))
    print("built", example(args), "and", bare(args), "from", args.kit_zip)


KIT_FILES = ["Bin/qvproxydetect.exe", "Bin/qvonsplrgn.exe",
             *[f"NSIS/Plugins/{flavour}/qvonsplash.dll" for flavour in FLAVOURS],
             "NSIS/Include/qvonsplash.nsh", "NSIS/Include/qvproxydetect.nsh",
             "NSIS/Examples/qvonsplash/qvonsplash-example.nsi",
             "NSIS/Examples/qvonsplash/skin/qvonsplash.rgn", "Docs/InstallerGuide.md"]
SUPPORTED_OS = ["35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"]


def read_resources(path, triple):
    """The binary's resources as resource-script text, read back by windres."""
    return subprocess.run([f"{triple}-windres", "-i", path, "-J", "coff", "-O", "rc"],
                          capture_output=True, text=True, check=True, timeout=60).stdout


def contents(args):
    """The kit's layout, every binary's version resource, the program's manifest, and each
    plug-in flavour's size, imports and export."""
    names = zipfile.ZipFile(args.kit_zip).namelist()
    missing = [name for name in KIT_FILES if name not in names]
    if missing:
        raise Failure(f"the kit lacks {missing}")
    kit = unpack_kit(args)
    binaries = {name: "i686-w64-mingw32" for name in KIT_FILES if name.endswith((".exe", ".dll"))}
    binaries["NSIS/Plugins/amd64-unicode/qvonsplash.dll"] = "x86_64-w64-mingw32"
    for name, triple in binaries.items():
        path = os.path.join(kit, name)
        resources = read_resources(path, triple)
        for key, value in [("ProductName", "Quorvane connection tools"),
                           ("FileVersion", args.version), ("ProductVersion", args.version),
                           ("OriginalFilename", os.path.basename(name))]:
            check_equal(f"{name} {key}", f'VALUE "{key}", "{value}"' in resources, True)
        check_equal(f"{name} has a file description", '"FileDescription", "Quorvane' in resources,
                    True)
        print(f"{name}: {os.path.getsize(path)} bytes")
    manifest = read_resources(os.path.join(kit, "Bin/qvproxydetect.exe"), "i686-w64-mingw32")
    check_equal("manifest asks for asInvoker", 'level=""asInvoker""' in manifest, True)
    check_equal("manifest names Windows 7 to 11",
                [os.path.basename(i) for i in SUPPORTED_OS if i in manifest], SUPPORTED_OS)
    for flavour in FLAVOURS:
        path = os.path.join(kit, "NSIS", "Plugins", flavour, "qvonsplash.dll")
        triple = binaries[f"NSIS/Plugins/{flavour}/qvonsplash.dll"]
        dump = subprocess.run([f"{triple}-objdump", "-p", path], capture_output=True, text=True,
                              check=True).stdout
        check_equal(f"{flavour} imports", sorted(re.findall(r"DLL Name: (\S+)", dump)),
                    ["GDI32.dll", "KERNEL32.dll", "USER32.dll"])
        names = dump.split("[Ordinal/Name Pointer] Table", 1)[-1].split("\n\n", 1)[0]
        check_equal(f"{flavour} exports", re.findall(r"\[\s*\d+\] (\w+)", names), ["show"])
        ours = os.path.getsize(path)
        theirs = os.path.getsize(f"/usr/share/nsis/Plugins/{flavour}/AdvSplash.dll")
        print(f"{flavour}: {ours} bytes, NSIS's AdvSplash {theirs} bytes")
        if ours >= theirs:
            raise Failure(f"{flavour} is {ours} bytes (expected under AdvSplash's {theirs})")


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
        s.start(example(args), reachable=False)
        shown_skin(s, skin)
        s.xdotool("key", "Return")
        check_equal("after Enter with the focus never moved, and a target that refuses",
                    s.answers(), {"choice": "1", "detect": "-3"})


def click(section, result):
    def scenario(args, skin):
        with Session(args, "click-" + section) as s:
            s.start(example(args))
            origin = shown_skin(s, skin)
            x, y = skin.button_centre(origin, section)
            s.xdotool("mousemove", x, y)
            s.xdotool("mousedown", 1)
            s.wait_for(f"{section} pressed", skin.expected(pressed=section, focus=section),
                       origin)
            s.xdotool("mouseup", 1)
            expected = {"choice": result}
            if result != "3":  # the example goes on to check that its server can be reached
                expected["detect"] = "0"
            check_equal(f"after a click on {section}", s.answers(), expected)
    return scenario


def keys(names, focus, result):
    """All keys but the last move the focus, which must then be seen on the focus button; the
    last presses it."""
    def scenario(args, skin):
        with Session(args, "keys-" + "-".join(names)) as s:
            s.start(example(args))
            origin = shown_skin(s, skin)
            for name in names[:-1]:
                s.xdotool("key", name)
            s.wait_for(f"focus on {focus}", skin.expected(focus=focus), origin)
            s.xdotool("key", names[-1])
            check_equal(f"choice after {', '.join(names)}", s.choice(), result)
    return scenario


def non_ansi_directory(args, skin):
    """Unicode flavours read an image directory whose name no ANSI code page holds."""
    if "unicode" not in args.flavour:
        print(f"{args.flavour} installers pass ANSI strings; nothing to check")
        return
    with Session(args, "non-ansi-directory") as s:
        directory = os.path.join(non_ansi_dir(args), "skin")
        s.start(bare(args), "/IMAGEDIR=" + windows_path(directory) + "\\", cwd=directory)
        origin = shown_skin(s, skin, "skin from " + NON_ANSI_DIRECTORY)
        s.xdotool("mousemove", *skin.button_centre(origin, "OK"))
        s.xdotool("click", 1)
        check_equal("choice after a click on OK", s.choice(), "1")


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
    boxes one under another in its top-left corner; each still gives its result. The skin's
    shape file lies in the current directory, and the plain dialog must not take it."""
    def scenario(args, skin):
        with Session(args, name) as s:
            s.start(bare(args), "/IMAGEDIR=" + directory, cwd=skin_dir(args))

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
    "tab-tab-enter": keys(["Tab", "Tab", "Return"], "NO", "3"),
    "tab-space": keys(["Tab", "space"], "VO", "2"),
    "shift-tab-enter": keys(["shift+Tab", "Return"], "NO", "3"),
    "non-ansi-directory": non_ansi_directory,
    "drag": drag,
    "program-directory": program_directory,
    "damaged-skin": damaged_skin,
    "missing-images": plain_dialog("missing-images", "C:\\no\\such\\skin\\", 1, "2"),
    "too-long-directory": plain_dialog("too-long-directory", "C:\\" + "d" * 300 + "\\", 0, "1"),
}


def main():
    global make_skin
    parser = argparse.ArgumentParser()
    for option in ["--work", "--kit-zip", "--examples", "--wine"]:
        parser.add_argument(option, required=True)
    parser.add_argument("--flavour", choices=FLAVOURS, default="x86-ansi")
    parser.add_argument("--version", default="")
    parser.add_argument("scenario", choices=["build", "contents", *SCENARIOS])
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
        elif args.scenario == "contents":
            contents(args)
        else:
            SCENARIOS[args.scenario](args, Skin(skin_dir(args)))
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as failure:
        sys.exit(f"FAILED: {failure}")


if __name__ == "__main__":
    main()
