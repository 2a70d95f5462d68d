#!/usr/bin/env python3
"""Unpacks the kit, builds its example installer and a bare test installer for one flavour of
qvonsplash.dll, runs them under Wine on a private Xvfb display, drives them with xdotool, and
checks the screen pixel by pixel, the choice they report and the detection's exit code.

usage: installer_test.py --work DIR --flavour FLAVOUR --kit-zip ZIP --examples DIR --wine WINE
                         [--names EXE] [--version VERSION] [--no-32-bit] SCENARIO

FLAVOUR is x86-ansi (a "Unicode false" installer), x86-unicode ("Unicode true") or
amd64-unicode ("Target amd64-unicode", in a 64-bit Wine prefix). SCENARIO "build" unpacks the kit
and makes the Wine prefix and the installers (the fixture of the others); "contents" checks the
kit's files themselves. Screenshots of every scenario are kept in DIR/<scenario>/ as BMP files.
EXE prints the accessible names of the shown dialog and its buttons, as a screen reader reads them.
The example installer is the one script with switches (its skin at build time, its target and
answer file at run time) for the scenarios that build or run it.
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
SKIPPED = 77  # the exit code CTest counts as a skipped test
DIALOG_TIMEOUT = 60  # Wine's first start in a prefix is slow on a busy machine
EXIT_TIMEOUT = 30
POLL = 0.25
FLAVOURS = {  # the script command that makes makensis build for the flavour, and Wine's prefix
    "x86-ansi": ("Unicode false", "win32"),
    "x86-unicode": ("Unicode true", "win32"),
    "amd64-unicode": ("Target amd64-unicode", "win64"),
}
DPI_SCALE = 2  # the high-DPI prefix runs at 192 DPI
# Names of a test skin; "&" marks each button's access key, which a screen reader leaves out.
NAMED_SKIN = {"Dialog": "Quorvane test setup", "OK": "&Install everything", "VO": "&Viewer only",
              "NO": "&Not now"}
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
    """Pixels where the screen differs from the expected window at origin (by more than its
    tolerance; None is any colour); with ring, the pixels just outside the window must show the
    (black) root window, which proves the window's size."""
    ox, oy = origin
    found = []
    tolerance = getattr(expected, "tolerance", 0)
    for y in range(expected.height):
        for x in range(expected.width):
            sx, sy = ox + x, oy + y
            if 0 <= sx < screen.width and 0 <= sy < screen.height:
                want = expected.pixels[y][x]
                got = screen.pixel(sx, sy)
                if want is not None and max(abs(a - b) for a, b in zip(got, want)) > tolerance:
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

    def centred(self, scale=1):
        return ((SCREEN[0] - scale * self.size[0]) // 2, (SCREEN[1] - scale * self.size[1]) // 2)

    def button_centre(self, origin, section):
        image = self.images[f"qvonspl{section.lower() if section != 'NO' else 'no'}1"]
        x, y = self.at[section]
        return (origin[0] + x + image.width // 2, origin[1] + y + image.height // 2)

    def expected(self, region=True, pressed=None, picture=True, focus=None, scale=1):
        """The window as it should look: background, picture at "SP", each button's normal image
        (the pressed one for pressed), the inverted frame inside the focused button once the
        keyboard was used, and the root window wherever the shape leaves out; scale times as
        large, each pixel a square."""
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
        return out if scale == 1 else enlarged(out, scale)


SMOOTH = 8  # per colour channel, between neighbouring pixels of a flat area


def enlarged(image, scale):
    """image scale times as large, each pixel a square. HALFTONE blends neighbouring pixels as it
    stretches, so only flat areas keep their colour (within SMOOTH) and are compared, besides the
    root window outside the shape, which is exact; the other pixels may be any colour."""
    def flat(x, y):
        centre = image.pixels[y][x]
        return all(max(abs(a - b) for a, b in zip(centre, image.pixels[ny][nx])) <= SMOOTH
                   for ny in range(max(y - 1, 0), min(y + 2, image.height))
                   for nx in range(max(x - 1, 0), min(x + 2, image.width)))
    out = make_skin.Image(image.width * scale, image.height * scale)
    out.pixels = [[image.pixels[y][x] if image.pixels[y][x] == BLACK or flat(x, y) else None
                   for x in range(image.width) for _ in range(scale)]
                  for y in range(image.height) for _ in range(scale)]
    out.tolerance = 2 * SMOOTH
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

    def __init__(self, args, name, prefix="wineprefix"):
        self.args = args
        self.prefix = prefix
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
        env.update(wine_env(self.args, self.prefix))
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def start(self, exe, *options, cwd=None, reachable=True):
        """Starts an installer; the example's detection gets a target on loopback that accepts
        connections, or with reachable=False one that refuses them. The bare installer runs
        silently, which skips its wizard; the example runs as a user would start it, unless
        options hold "/S"."""
        self.choice_file = os.path.join(self.dir, "choice.txt")
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        if reachable:
            self.listener.listen(8)
        self.target = "127.0.0.1:%d" % self.listener.getsockname()[1]
        silent = ["/S"] if exe == bare(self.args) else []
        command = [self.args.wine, exe, *silent, *options, "/TARGET=" + self.target,
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

    def check_names(self, expected):
        """The accessible names of the dialog and its buttons, as a screen reader reads them.
        The reader is a 32-bit program: where the machine runs no 32-bit code it is not asked,
        and the scenario says so."""
        if self.args.no_32_bit:
            print("names not read: accessible_names.exe is a 32-bit program, and this machine "
                  "runs no 32-bit x86 code")
            return
        check_equal("names read by a screen reader", self.names(), expected)

    def names(self):
        """The accessible names of the dialog and its buttons."""
        result = subprocess.run([self.args.wine, self.args.names], env=self.env(), timeout=60,
                                capture_output=True)
        if result.returncode != 0:
            raise Failure(f"{self.args.names} ended with {result.returncode}: "
                          f"{result.stderr.decode(errors='replace')}")
        return result.stdout.decode(errors="replace").replace("\r", "").splitlines()

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


def wine_env(args, prefix="wineprefix"):
    # A UTF-8 locale, so that Wine hands non-ASCII command lines and file names on unchanged.
    return {"WINEPREFIX": os.path.join(args.work, prefix), "WINEDEBUG": "-all",
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


def bare_dpi_aware(args):
    return os.path.join(args.work, "bare-dpi-aware.exe")


HIGH_DPI_PREFIX = "wineprefix-192dpi"


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


def makensis(args, script, outfile, *defines, check=True, env=None):
    return subprocess.run(["makensis", "-V2", "-X" + FLAVOURS[args.flavour][0],
                           *[f"-D{d}" for d in defines], f"-DQV_OUTFILE={outfile}", script],
                          timeout=120, check=check, env=env, capture_output=not check, text=True)


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
    # The high-DPI prefix is a copy of the plain one with its display at 192 DPI; Wine must not
    # scale drawing itself (no DpiScalingVer), and the copy saves a second first start.
    high = os.path.join(args.work, HIGH_DPI_PREFIX)
    if not os.path.isdir(high):
        subprocess.run(["wineserver", "-w"], env=env, timeout=120, check=True)
        # Linked, not copied, but for the registry and settings files, which Wine rewrites.
        shutil.copytree(env["WINEPREFIX"], high, symlinks=True, copy_function=lambda a, b: (
            shutil.copy2 if a.endswith((".reg", ".ini")) else os.link)(a, b))
        env["WINEPREFIX"] = high
        subprocess.run([args.wine, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                        "/t", "REG_DWORD", "/d", str(96 * DPI_SCALE), "/f"], env=env, timeout=120,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120, check=True)
    kit = unpack_kit(args)
    skin = skin_dir(args)
    # The kit's shape file was made by the build machine's region tool; the shipped Windows tool
    # must make the same bytes. That tool is a 32-bit program, checked in the x86 flavours' 32-bit
    # prefixes only, so the amd64 flavour needs no 32-bit code on the machine.
    if FLAVOURS[args.flavour][1] == "win32":
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
    bare_script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bare-splash.nsi")
    plugins = "QV_PLUGINS=" + os.path.join(kit, "NSIS", "Plugins")
    makensis(args, bare_script, bare(args), plugins)
    makensis(args, bare_script, bare_dpi_aware(args), plugins, "QV_DPI_AWARE")
    # The bare installer's own directory holds the skin, for the empty image directory, with
    # names in its settings file; the shape file is left out, so there the window stays
    # rectangular.
    for name in os.listdir(skin):
        if name not in ("qvonsplash.rgn", "qvonsplash.ini"):
            shutil.copy(os.path.join(skin, name), bare_dir)
    at = Skin(skin).at
    with open(os.path.join(bare_dir, "qvonsplash.ini"), "w", newline="\r\n") as f:
        f.write(f"[Dialog]\nText={NAMED_SKIN['Dialog']}\n[SP]\nX={at['SP'][0]}\nY={at['SP'][1]}\n")
        for section in ["OK", "VO", "NO"]:
            f.write(f"[{section}]\nX={at[section][0]}\nY={at[section][1]}\n"
                    f"Text={NAMED_SKIN[section]}\n")
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
             "NSIS/Examples/qvonsplash/skin/qvonsplash.rgn", "Docs/InstallerGuide.md",
             "Docs/qvonsplash/Readme.txt", "Docs/License.txt"]
PLUGIN_SIZE_LIMIT = 12288  # 24 blocks of 512 bytes
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
        if ours >= PLUGIN_SIZE_LIMIT:
            raise Failure(f"{flavour} is {ours} bytes (expected under {PLUGIN_SIZE_LIMIT})")


def shown_skin(session, skin, what="shown centred"):
    origin = skin.centred()
    session.wait_for(what, skin.expected(), origin)
    return origin


def escape(args, skin):
    with Session(args, "escape") as s:
        s.start(example(args))
        origin = shown_skin(s, skin)
        # Called in .onInit, before the installer has a window whose caption could name it.
        s.check_names(["Setup", "OK", "View only", "Cancel"])
        s.xdotool("mousemove", origin[0] + 200, origin[1] + 150)
        s.xdotool("key", "Escape")
        check_equal("choice after Escape", s.choice(), "3")


def needs_detection(args):
    """The example's detection runs the kit's qvproxydetect.exe, a 32-bit program: a scenario
    that checks its result is skipped on a machine that runs no 32-bit code."""
    if args.no_32_bit:
        print("skipped: the example's detection runs the kit's 32-bit qvproxydetect.exe, and this "
              "machine runs no 32-bit x86 code")
        sys.exit(SKIPPED)


def enter(args, skin):
    needs_detection(args)
    with Session(args, "enter") as s:
        s.start(example(args), reachable=False)
        shown_skin(s, skin)
        s.xdotool("key", "Return")
        check_equal("after Enter with the focus never moved, and a target that refuses",
                    s.answers(), {"choice": "1", "detect": "-3"})


def click(section, result):
    def scenario(args, skin):
        if result != "3":
            needs_detection(args)
        with Session(args, "click-" + section) as s:
            s.start(example(args))
            origin = shown_skin(s, skin)
            x, y = skin.button_centre(origin, section)
            s.xdotool("mousemove", x, y)
            s.xdotool("mousedown", 1)
            s.wait_for(f"{section} pressed", skin.expected(pressed=section), origin)
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
    """The skin of the installer's own directory, with names in its settings file; a button's
    access key presses it."""
    with Session(args, "program-directory") as s:
        s.start(bare(args), "/IMAGEDIR=", cwd=s.dir)
        # No shape file in the current directory: the key-coloured corners show.
        origin = skin.centred()
        s.wait_for("skin from the installer's directory", skin.expected(region=False), origin)
        s.check_names([NAMED_SKIN[section].replace("&", "") for section in NAMED_SKIN])
        s.xdotool("mousemove", origin[0] + 200, origin[1] + 150)
        s.xdotool("key", "v")
        check_equal("choice after the access key of VO", s.choice(), "2")


def high_dpi(args, skin):
    """A DPI-aware installer on a 192-DPI display: the skin, its shape and its buttons twice as
    large, and a click where only the scaled VIEWONLY lies."""
    with Session(args, "high-dpi", prefix=HIGH_DPI_PREFIX) as s:
        directory = skin_dir(args)
        s.start(bare_dpi_aware(args), "/IMAGEDIR=" + windows_path(directory) + "\\",
                cwd=directory)
        origin = skin.centred(DPI_SCALE)
        s.wait_for("shown at 192 DPI", skin.expected(scale=DPI_SCALE), origin)
        x, y = skin.at["VO"]
        button = skin.images["qvonsplvo1"]
        far_corner = (x + button.width, y + button.height)
        s.xdotool("mousemove", *[o + DPI_SCALE * v - 4 for o, v in zip(origin, far_corner)])
        s.xdotool("click", 1)
        check_equal("choice after a click near the scaled VIEWONLY's far corner", s.choice(), "2")


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


def example_script(args):
    return os.path.join(kit_dir(args), "NSIS", "Examples", "qvonsplash", "qvonsplash-example.nsi")


def build_fails(args, what, script, needle, *defines, env=None):
    built = makensis(args, script, os.path.join(args.work, "never.exe"), *defines, check=False,
                     env=env)
    output = built.stdout + built.stderr
    check_equal(f"{what}: the build fails", built.returncode != 0, True)
    check_equal(f"{what}: the message names {needle!r}", needle in output, True)


def missing_bitmap(args, skin):
    """The build stops, naming the file, for a skin without a button image or an empty folder."""
    for missing in ["qvonsplno2.bmp", "all"]:
        broken = os.path.join(args.work, "skin-without-" + missing)
        shutil.rmtree(broken, ignore_errors=True)
        shutil.copytree(skin_dir(args), broken)
        for name in os.listdir(broken):
            if missing in (name, "all"):
                os.remove(os.path.join(broken, name))
        needle = "has no " + ("qvonsplskn.bmp" if missing == "all" else missing)
        build_fails(args, f"a skin without {missing}", example_script(args), needle,
                    "QV_SKIN=" + broken)


def nsis_folder(args, skin):
    """The kit copied into an NSIS installation, as the guide describes: without the program
    beside the flavour's plug-in the build stops with the hint; with it, the installer built
    there packs it and the detection reaches its target."""
    nsis = os.path.join(args.work, "nsis")
    shutil.rmtree(nsis, ignore_errors=True)
    shutil.copytree("/usr/share/nsis", nsis)
    for folder in ["Plugins", "Include"]:
        shutil.copytree(os.path.join(kit_dir(args), "NSIS", folder), os.path.join(nsis, folder),
                        dirs_exist_ok=True)
    project = os.path.join(args.work, "nsis-project")
    shutil.rmtree(project, ignore_errors=True)
    shutil.copytree(os.path.dirname(example_script(args)), project)
    script = os.path.join(project, "qvonsplash-example.nsi")
    env = dict(os.environ, NSISDIR=nsis)
    build_fails(args, "the program not beside the plug-ins", script,
                f"copy the kit's Bin\\qvproxydetect.exe into {nsis}\\Plugins\\{args.flavour}\\",
                env=env)
    shutil.copy(os.path.join(kit_dir(args), "Bin", "qvproxydetect.exe"),
                os.path.join(nsis, "Plugins", args.flavour))
    installer = os.path.join(project, "from-nsis.exe")
    makensis(args, script, installer, env=env)
    needs_detection(args)
    with Session(args, "nsis-folder") as s:
        s.start(installer, "/S")
        check_equal("answers of the installer built in the NSIS folder", s.answers(),
                    {"choice": "1", "detect": "0"})


def silent(args, skin):
    """/S shows nothing and answers the author's choice: 1 by default, else the one defined."""
    variant = os.path.join(args.work, "silent-cancel.exe")
    makensis(args, example_script(args), variant, "QV_SPLASH_SILENT_CHOICE=3")
    runs = [(variant, {"choice": "3"})]
    if not args.no_32_bit:
        runs.insert(0, (example(args), {"choice": "1", "detect": "0"}))
    for exe, expected in runs:
        with Session(args, "silent-" + expected["choice"]) as s:
            s.start(exe, "/S")
            started = time.monotonic()

            def dark():
                screen = s.screen()
                lit = [(x, y) for y in range(0, screen.height, 20)
                       for x in range(0, screen.width, 20) if screen.pixel(x, y) != BLACK]
                if lit:
                    s.shot("shown")
                    raise Failure(f"a silent install showed something at {lit[0]}")
                return s.installer.poll() is not None

            wait_until("the silent installer's end", dark, EXIT_TIMEOUT)
            check_equal(f"answers of a silent install ({os.path.basename(exe)})", s.answers(),
                        expected)
            print(f"ended after {time.monotonic() - started:.1f} s without a window")
    needs_detection(args)


class HangingProxy:
    """A proxy that takes connections and never answers; while it lives, stored records (and,
    with system=True, the user's Internet settings) name it."""

    def __init__(self, session, records, system=False):
        self.session = session
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.records = records
        self.system = system
        self.at = "127.0.0.1:%d" % self.socket.getsockname()[1]

    def registry(self, lines):
        path = os.path.join(self.session.dir, "settings.reg")
        with open(path, "w") as f:
            f.write("REGEDIT4\r\n\r\n" + "\r\n".join(lines) + "\r\n")
        subprocess.run([self.session.args.wine, "reg", "import", windows_path(path)],
                       env=self.session.env(), timeout=60, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def __enter__(self):
        host, port = self.at.split(":")
        target_host, target_port = self.session.target.split(":")
        lines = []
        for record in self.records:
            lines += [f"[{CONNECTION_KEY}\\{record}]", '"ProxyMethod"="100"',
                      f'"ProxyHost"="{host}"', f'"ProxyPort"="{port}"',
                      f'"Address"="{target_host}"', f'"Port"="{target_port}"', ""]
        if self.system:
            lines += [f"[{INTERNET_SETTINGS_KEY}]", '"ProxyEnable"=dword:00000001',
                      f'"ProxyServer"="{self.at}"', ""]
        self.registry(lines)
        return self

    def __exit__(self, *exc):
        lines = [f"[-{CONNECTION_KEY}\\{record}]" for record in self.records]
        if self.system:
            lines += [f"[{INTERNET_SETTINGS_KEY}]", '"ProxyEnable"=dword:00000000',
                      '"ProxyServer"=-']
        self.registry(lines)
        self.socket.close()
        return False


CONNECTION_KEY = "HKEY_CURRENT_USER\\Software\\Quorvane\\Connection"
INTERNET_SETTINGS_KEY = ("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                         "Internet Settings")


def detecting(name, records, system, reachable, expected, at_least):
    """The instfiles page while the detection waits on proxies that never answer: every few
    seconds the screen changes within a second (the bar moves), and the run's length is printed.
    The screenshots kept show the details line."""
    def scenario(args, skin):
        needs_detection(args)
        with Session(args, name) as s:
            s.start(example(args), reachable=reachable)
            with HangingProxy(s, records, system):
                shown_skin(s, skin)
                s.xdotool("key", "Return")
                started = time.monotonic()
                shots = 0
                # Looks only within the time the detection surely takes: once it has ended, the
                # finished page stands still until the installer closes.
                while time.monotonic() - started + SHOT_INTERVAL + 1 < at_least:
                    time.sleep(SHOT_INTERVAL)
                    # A second apart: the bar's sweep takes five, so it never looks the same.
                    before = s.screen().data
                    time.sleep(1)
                    after = s.screen().data
                    s.shot(f"detecting-{time.monotonic() - started:.0f}s")
                    if before == after:
                        raise Failure("the installer's window stood still for a second while "
                                      "detecting")
                    shots += 1
                    if shots == 1:
                        check_details_line(s)
                s.installer.wait(at_least * 2)
                ended = time.monotonic() - started
                print(f"installer ended {ended:.1f} s after OK; the window moved at all {shots} "
                      "looks")
                check_equal("answers after the detection", s.answers(), expected)
                if ended < at_least or shots < 2:
                    raise Failure(f"{ended:.1f} s, {shots} screenshots (expected at least "
                                  f"{at_least} s and 2)")
    return scenario


SHOT_INTERVAL = 3
DETAILS_LINE = "Checking how this computer reaches "


def check_details_line(session):
    """The instfiles page's status line, read as a screen reader reads it, says what is going on:
    a splash shown earlier must not have left the installer's details silent."""
    if session.args.no_32_bit:
        print("details line not read: accessible_names.exe is a 32-bit program")
        return
    names = session.names()
    if not any(name.startswith(DETAILS_LINE) for name in names):
        raise Failure(f"no line starting {DETAILS_LINE!r} on the page (read: {names})")


SCENARIOS = {
    "escape": escape,
    "enter": enter,
    "click-OK": click("OK", "1"),
    "click-VO": click("VO", "2"),
    "click-NO": click("NO", "3"),
    "tab-tab-enter": keys(["Tab", "Tab", "Return"], "NO", "3"),
    "tab-space": keys(["Tab", "space"], "VO", "2"),
    "shift-tab-enter": keys(["shift+Tab", "Return"], "NO", "3"),
    "down-enter": keys(["Down", "Return"], "VO", "2"),
    "non-ansi-directory": non_ansi_directory,
    "drag": drag,
    "program-directory": program_directory,
    "damaged-skin": damaged_skin,
    "missing-images": plain_dialog("missing-images", "C:\\no\\such\\skin\\", 1, "2"),
    "too-long-directory": plain_dialog("too-long-directory", "C:\\" + "d" * 300 + "\\", 0, "1"),
    "high-dpi": high_dpi,
    "missing-bitmap": missing_bitmap,
    "nsis-folder": nsis_folder,
    "silent": silent,
    # The user's settings name a proxy that never answers and the target refuses: the probe's
    # whole 20 s wait.
    "detect-20s": detecting("detect-20s", [], True, False,
                            {"choice": "1", "detect": "-3"}, 19),
    # Manual and LastGood name that proxy too: their 5 s tries before the probe, the run's whole
    # bound.
    "detect-30s": detecting("detect-30s", ["Manual", "LastGood"], True, False,
                            {"choice": "1", "detect": "-3"}, 29),
}


def main():
    global make_skin
    parser = argparse.ArgumentParser()
    for option in ["--work", "--kit-zip", "--examples", "--wine"]:
        parser.add_argument(option, required=True)
    parser.add_argument("--flavour", choices=FLAVOURS, default="x86-ansi")
    parser.add_argument("--version", default="")
    parser.add_argument("--names")
    parser.add_argument("--no-32-bit", action="store_true",
                        help="the machine runs no 32-bit x86 code: skip what needs it")
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
