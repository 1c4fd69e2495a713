#!/usr/bin/env python3
"""Drives the texelary program on a real X server with a window manager, with real input events
(xdotool), and checks what the offscreen tests cannot see: which window is on top, which one has
the keyboard focus, who owns each box, what the windows ask of their frames and where they open.
A screenshot of every step is written to the screenshot directory.

Usage: real_windows.py PROGRAM SCREENSHOT_DIR [SCENARIO...], inside an X session without a window
manager (run-real-windows starts one with xvfb-run); this starts openbox. With TEXELARY_LAUNCHER
set (wine64, for the Windows build) the program is started through it."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

TIMEOUT = 10.0
STATUS_LINE = 20  # the main window's status line, below its central area
QUIET = 0.8  # how long nothing may happen before "nothing came back" is believed


class Failure(Exception):
    pass


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=True).stdout


def wait_for(what, probe, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(0.05)


# ---- what the X server and the window manager say

def root_windows(prop):
    out = run("xprop", "-root", "-notype", prop)
    if "#" not in out:
        return []
    return [int(w, 16) for w in out.split("#", 1)[1].replace(",", " ").split()]


def stacking():
    """The managed windows, bottom to top."""
    return root_windows("_NET_CLIENT_LIST_STACKING")


def prop(window, name):
    try:
        out = run("xprop", "-id", str(window), "-notype", name)
    except subprocess.CalledProcessError:
        return ""
    # "NAME = value", or "NAME: window id # 0x..." for window-valued properties
    _, separator, value = out.partition(" = ") if " = " in out else out.partition(": ")
    return value.strip() if separator else ""


def title(window):
    return prop(window, "_NET_WM_NAME").strip('"')


def transient_for(window):
    value = prop(window, "WM_TRANSIENT_FOR")
    return int(value.split("#", 1)[1].strip(), 16) if "#" in value else 0


# What a window asks of its frame (_MOTIF_WM_HINTS): which functions the window manager may
# offer. Openbox keeps its close and minimise buttons whatever a window asks, by its own policy;
# KWin, Mutter and Xfwm leave out what is not asked for.
MOTIF_FUNCTIONS_GIVEN = 1
MOTIF_FUNCTIONS = {"all": 1, "resize": 2, "move": 4, "minimise": 8, "maximise": 16, "close": 32}


def frame_functions(window):
    """The frame functions the window asks for, or None when it leaves them to the manager."""
    fields = [int(v, 0) for v in prop(window, "_MOTIF_WM_HINTS").split(",") if v.strip()]
    if len(fields) < 2 or not fields[0] & MOTIF_FUNCTIONS_GIVEN or fields[1] & MOTIF_FUNCTIONS["all"]:
        return None
    return {name for name, bit in MOTIF_FUNCTIONS.items() if fields[1] & bit}


def focused():
    return int(run("xdotool", "getwindowfocus", "-f").strip())


def active():
    windows = root_windows("_NET_ACTIVE_WINDOW")
    return windows[0] if windows else 0


def client_geometry(window):
    """Left, top, width, height of the window's client area on the screen."""
    info = {}
    for line in run("xwininfo", "-id", str(window)).splitlines():
        key, _, value = line.strip().partition(":")
        info[key] = value.strip()
    return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
            int(info["Width"]), int(info["Height"]))


def frame_geometry(window):
    left, top, width, height = client_geometry(window)
    extents = prop(window, "_NET_FRAME_EXTENTS")
    l, r, t, b = (int(v) for v in extents.split(",")) if extents else (0, 0, 0, 0)
    return left - l, top - t, width + l + r, height + t + b


def screen_size():
    out = run("xdpyinfo") if shutil.which("xdpyinfo") else ""
    for line in out.splitlines():
        if "dimensions:" in line:
            w, h = line.split()[1].split("x")
            return int(w), int(h)
    return 1024, 768


def windows_titled(text):
    return [w for w in stacking() if title(w) == text]


# ---- input

def key(*keys):
    run("xdotool", "key", "--clearmodifiers", "--delay", "60", *keys)


def type_text(text):
    run("xdotool", "type", "--clearmodifiers", "--delay", "60", text)


def click(x, y):
    run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")


# ---- the program under test

def forget_windows_settings():
    """A Windows build under wine keeps its settings in the registry of the wine prefix, which
    every scenario shares: they go before a scenario starts, as a folder of its own does it here."""
    launcher = os.environ.get("TEXELARY_LAUNCHER", "").split()
    if launcher:
        subprocess.run([*launcher, "reg", "delete", r"HKCU\Software\Texelary", "/f"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


class Program:
    def __init__(self, executable, directory, shots, name, arguments=()):
        self.shots = shots
        self.name = name
        self.step = 0
        # The program's settings go to a folder of this run's own, never the user's, and stay
        # there from one start of the program to the next.
        self.settings = tempfile.TemporaryDirectory()
        self.command = (executable, directory, arguments)
        forget_windows_settings()
        self.start()

    def start(self):
        """Starts the program (again, once it has ended) and waits for its main window."""
        executable, directory, arguments = self.command
        environment = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=self.settings.name)
        launcher = os.environ.get("TEXELARY_LAUNCHER", "").split()
        self.process = subprocess.Popen([*launcher, executable, *arguments], cwd=directory,
                                        env=environment)
        try:
            self.main = wait_for("the main window", self.find_main)
            wait_for("the main window to have the focus", lambda: focused() == self.main)
        except Failure:
            self.quit()
            raise

    def find_main(self):
        for w in stacking():
            if title(w).endswith("Texelary") and not transient_for(w) and self.pid_of(w):
                return w
        return 0

    def pid_of(self, window):
        value = prop(window, "_NET_WM_PID")
        return value.isdigit() and int(value) == self.process.pid

    def screenshot(self, what):
        self.step += 1
        path = self.shots / f"{self.name}-{self.step:02d}-{what}.png"
        run("import", "-window", "root", str(path))
        return path

    def click_in_main(self, x, y):
        """Clicks at x, y of the main window's central area (below the menu bar, above the status
        line) at its first size; after a resize, what stands at its bottom left."""
        left, top, width, height = client_geometry(self.main)
        click(left + x, top + height - STATUS_LINE - 220 + y)

    def button(self, name):
        x, y = {"Add": (8, 186), "Delete": (90, 186), "Create": (172, 186), "Quit": (326, 188)}[name]
        self.click_in_main(x + 37, y + 12)

    def list_line(self, row, modifier=None):
        """Clicks the image list's line `row`, with `modifier` ("shift", "ctrl") held down."""
        if modifier:
            run("xdotool", "keydown", modifier)
        try:
            self.click_in_main(8 + 8 + 40, 13 + 20 + 2 + 13 * row + 6)
        finally:
            if modifier:
                run("xdotool", "keyup", modifier)

    def list_point(self, row):
        """Where the image list's line `row` is on the screen, at the window's first size."""
        left, top, _, height = client_geometry(self.main)
        return left + 8 + 8 + 40, top + height - STATUS_LINE - 220 + 13 + 20 + 2 + 13 * row + 6

    def top(self):
        windows = stacking()
        return windows[-1] if windows else 0

    def boxes(self):
        """The message boxes on screen: the program's other windows captioned Texelary."""
        return [w for w in stacking() if title(w) == "Texelary" and w != self.main]

    def wait_box(self, before=()):
        return wait_for("a message box", lambda: next((b for b in self.boxes() if b not in before), 0))

    def quit(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.settings.cleanup()


# ---- checks

def check(condition, message):
    if not condition:
        raise Failure(message)


def check_on_top_and_focused(program, window, what):
    wait_for(f"{what} to be on top", lambda: program.top() == window, 5)
    wait_for(f"{what} to have the keyboard focus", lambda: focused() == window, 5)
    wait_for(f"{what} to be the active window", lambda: active() == window, 5)


def check_box_of(program, box, owner, what):
    check(transient_for(box) == owner, f"{what} is not owned by the window it belongs to")
    check_on_top_and_focused(program, box, what)


def box_icon(box, shots, name):
    """Which icon a message box shows, told by the colours of its top left corner, where the icon
    stands (the OK button has blue in it too): the warning's yellow triangle, the information's
    blue disc, else None. The box's picture is kept as `name` in the screenshots."""
    path = shots / f"{name}.png"
    run("import", "-window", str(box), "-crop", "64x64+0+0", str(path))
    yellow = blue = 0
    for line in run("convert", str(path), "-depth", "8", "txt:-").splitlines()[1:]:
        r, g, b = (int(v) for v in line.split("(", 1)[1].split(")", 1)[0].split(",")[:3])
        yellow += r > 180 and g > 140 and b < 90
        blue += b > 150 and r < 90 and b - g > 40
    return "warning" if yellow > 20 else "information" if blue > 20 else None


def check_nothing_comes_back(program, what):
    time.sleep(QUIET)
    check(not program.boxes(), f"{what} came back after it was dismissed")


# ---- test data

def write_bitmap(path, width=16, height=16):
    stride = (width + 3) // 4 * 4
    offset = 14 + 40 + 1024
    pixels = bytes((x * 7 + y * 3) & 0xFF for y in range(height) for x in range(stride))
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    palette = b"".join(bytes((i, i, 255 - i, 0)) for i in range(256))
    path.write_bytes(header + info + palette + pixels)


def write_wal(path, name, next_frame="", side=64, shift=0):
    """A .wal texture of side x side: bands of the palette's colours (moved along by `shift`),
    its four levels sampled from the full-size one, the header's names and flags 8."""
    def text(value):
        return value.encode().ljust(32, b"\0")

    sides = [side >> level for level in range(4)]
    offsets, levels, at = [], [], 100
    for level, size in enumerate(sides):
        step = 1 << level
        levels.append(bytes((((x * step + y * step) // 4 + shift) * 5 % 224)
                            for y in range(size) for x in range(size)))
        offsets.append(at)
        at += size * size
    header = (text(name) + struct.pack("<II", side, side) + struct.pack("<4I", *offsets) +
              text(next_frame) + struct.pack("<iii", 8, 32, 0))
    path.write_bytes(header + b"".join(levels))


def write_project(path, directory, names, source=0):
    """A project file: signature, version, count, both directories, convert-to, convert-from
    (`source`, the format's index), names."""
    def field(text):
        return text.encode().ljust(128, b"\0")

    header = b"Texelary".ljust(32, b"\0") + b"1.00".ljust(8, b"\0") + struct.pack("<i", len(names))
    body = field(str(directory)) * 2 + struct.pack("<ii", 0, source)
    path.write_bytes(header + body + b"".join(field(name) for name in names))


# ---- scenarios: each starts the program in a directory of its own

def add_all(program):
    """Add..., select every file in the chooser, Ok."""
    program.button("Add")
    chooser = wait_for("the file chooser", lambda: next(iter(windows_titled("Choose your file")), 0))
    check_on_top_and_focused(program, chooser, "the file chooser")
    program.screenshot("file-chooser")
    key("ctrl+a", "Return")
    wait_for("the file chooser to close", lambda: not windows_titled("Choose your file"))


def start_run(program):
    program.button("Create")
    return wait_for("the progress window",
                    lambda: next(iter(windows_titled("Processing, Please Wait...")), 0))


def scenario_all_done(program, directory):
    write_bitmap(directory / "wall.bmp")
    program.screenshot("started")
    add_all(program)
    program.screenshot("added")
    progress = start_run(program)
    functions = frame_functions(progress)
    check(functions is not None and not functions & {"close", "minimise", "maximise"},
          f"the progress window asks for frame functions {functions}")
    box = program.wait_box()
    check_box_of(program, box, progress, 'the "All done" box')
    program.screenshot("all-done")
    icon = box_icon(box, program.shots, f"{program.name}-outcome-box")
    check(icon == "information", f'the "All done" box of a run without failures shows the {icon} icon')
    key("Return")
    wait_for("the progress window to close", lambda: not windows_titled("Processing, Please Wait..."))
    check((directory / "wall.m8").exists(), "wall.m8 was not written")
    if os.environ.get("TEXELARY_LAUNCHER"):
        # Wine gives the X focus back to no window when a program's modal window closes (the
        # program's own idea of the active window is right; a click or a key press restores
        # it): only the stacking is checked there.
        wait_for("the main window after the run to be on top", lambda: program.top() == program.main, 5)
    else:
        check_on_top_and_focused(program, program.main, "the main window after the run")
    program.screenshot("after-run")


def scenario_not_found(program, directory, answer):
    for name in ("a.bmp", "b.bmp"):
        write_bitmap(directory / name)
    add_all(program)
    (directory / "a.bmp").unlink()
    progress = start_run(program)
    box = program.wait_box()
    check_box_of(program, box, progress, 'the "Could\'nt find file" box')
    program.screenshot("not-found")
    key(answer)
    outcome = program.wait_box([box])
    check_box_of(program, outcome, progress, "the box that ends the run")
    program.screenshot("aborted" if answer == "Escape" else "all-done")
    # "All done" after a failure warns, as "Process has been aborted" does.
    icon = box_icon(outcome, program.shots, f"{program.name}-outcome-box")
    check(icon == "warning", f"the box that ends the run shows the {icon} icon, not the warning")
    key("Return")
    wait_for("the progress window to close", lambda: not windows_titled("Processing, Please Wait..."))
    converted = (directory / "b.m8").exists()
    check(converted == (answer != "Escape"),
          "b.bmp was converted after Cancel" if converted else "b.bmp was not converted")


def scenario_preview_box(program, directory):
    write_bitmap(directory / "good.bmp")
    (directory / "bad.bmp").write_bytes(b"BM this is no bitmap at all")
    add_all(program)  # adds bad.bmp, good.bmp; good.bmp is shown
    check(not program.boxes(), "a box appeared while adding a good bitmap")
    for dismiss in ("Escape", "Return"):
        program.list_line(0)  # bad.bmp: the mouse release previews it
        box = program.wait_box()
        check_box_of(program, box, program.main, "the preview's error box")
        program.screenshot(f"preview-error-{dismiss.lower()}")
        key(dismiss)
        check_nothing_comes_back(program, f"the preview's error box (dismissed with {dismiss})")
    # With the keyboard: Down shows good.bmp, Up shows bad.bmp again.
    key("Down")
    key("Up")
    box = program.wait_box()
    key("Return")
    check_nothing_comes_back(program, "the preview's error box (reached with the keyboard)")
    program.screenshot("preview-dismissed")


def scenario_dialogs(program, directory):
    positions = []
    for _ in range(2):
        key("alt+h")
        key("a")
        about = wait_for("the about box", lambda: next(iter(windows_titled("About")), 0))
        check_on_top_and_focused(program, about, "the about box")
        functions = frame_functions(about)
        check(functions is not None and not functions & {"minimise", "maximise"},
              f"the about box asks for frame functions {functions}")
        positions.append(frame_geometry(about))
        program.screenshot("about")
        key("Return")
        wait_for("the about box to close", lambda: not windows_titled("About"))
    check(positions[0] == positions[1], f"the about box moved between showings: {positions}")
    left, top, width, height = positions[0]
    screen_width, screen_height = screen_size()
    # A Windows program under wine centres the frame Windows would draw; openbox draws its own,
    # a few pixels taller or shorter.
    slack = 8 if os.environ.get("TEXELARY_LAUNCHER") else 2
    check(abs(2 * left + width - screen_width) <= slack
          and abs(2 * top + height - screen_height) <= slack,
          f"the about box's frame {positions[0]} is not centred on the screen")


def project_on_command_line(directory):
    write_bitmap(directory / "wall.bmp")
    write_project(directory / "stones.mm", directory, ["wall.bmp"])
    return ["stones.mm"]


def scenario_command_line(program, directory):
    """A project named on the command line (as a file manager passes it) is loaded at start."""
    wait_for('the title "stones.mm - Texelary"',
             lambda: title(program.main) == "stones.mm - Texelary", 5)
    program.screenshot("loaded")
    progress = start_run(program)
    box = program.wait_box()
    check_box_of(program, box, progress, 'the "All done" box')
    key("Return")
    wait_for("the progress window to close", lambda: not windows_titled("Processing, Please Wait..."))
    check((directory / "wall.m8").exists(), "the loaded project's file was not converted")


def scenario_save_new(program, directory):
    """Ctrl+S on a project that has no file yet asks for its name, as Save As... does."""
    write_bitmap(directory / "wall.bmp")
    add_all(program)
    wait_for('the title "Texelary*"', lambda: title(program.main) == "Texelary*", 5)
    key("ctrl+s")
    dialog = wait_for("the save dialog", lambda: next(iter(windows_titled("Save As")), 0))
    check_on_top_and_focused(program, dialog, "the save dialog")
    program.screenshot("save-dialog")
    type_text("first")
    key("Return")
    wait_for("the save dialog to close", lambda: not windows_titled("Save As"))
    wait_for('the title "first.mm - Texelary"',
             lambda: title(program.main) == "first.mm - Texelary", 5)
    check((directory / "first.mm").exists(), "first.mm was not written")
    program.screenshot("saved")


def saved_names(path):
    """How many names the project file at `path` holds (its count, after signature and version)."""
    return struct.unpack_from("<i", path.read_bytes(), 40)[0]


def scenario_delete_many(program, directory):
    """Shift with a click, and Ctrl+A, select many entries of the image list; Delete removes them.
    The list's length is read back from the project file Ctrl+S writes."""
    for name in ("a.bmp", "b.bmp", "c.bmp", "d.bmp"):
        write_bitmap(directory / name)
    add_all(program)
    program.list_line(0)
    program.list_line(2, "shift")
    program.screenshot("three-selected")
    key("Delete")
    program.screenshot("three-deleted")
    key("ctrl+s")
    dialog = wait_for("the save dialog", lambda: next(iter(windows_titled("Save As")), 0))
    type_text("list")
    key("Return")
    wait_for("the save dialog to close", lambda: not windows_titled("Save As"))
    project = directory / "list.mm"
    wait_for("list.mm", project.exists, 5)
    check(saved_names(project) == 1, f"{saved_names(project)} entries left of 4 after Delete of 3")
    add_all(program)
    program.list_line(0)
    key("ctrl+a", "Delete")
    program.screenshot("all-deleted")
    key("ctrl+s")
    wait_for("the emptied list to be saved", lambda: saved_names(project) == 0, 5)


def click_in(window, x, y):
    left, top, _, _ = client_geometry(window)
    click(left + x, top + y)


def save_new(directory, name):
    """Ctrl+S on a project that has no file yet: the save dialog takes `name`; waits for the
    project file and returns its path."""
    key("ctrl+s")
    wait_for("the save dialog", lambda: next(iter(windows_titled("Save As")), 0))
    type_text(name)
    key("Return")
    project = directory / f"{name}.mm"
    wait_for(f"{name}.mm", project.exists, 5)
    return project


def as_the_program_writes(path):
    """`path` as a user of the program types it: under wine, on the drive wine maps the root to,
    Z:, with backslashes."""
    if os.environ.get("TEXELARY_LAUNCHER"):
        return "Z:" + str(path).replace("/", "\\")
    return str(path)


def saved_input_folder(path):
    """The input folder of the project file at `path` (after signature, version and count), as
    this machine names it: a Windows program under wine writes the drive wine maps the root to,
    Z:, and backslashes."""
    folder = path.read_bytes()[44:44 + 128].split(b"\0", 1)[0].decode()
    if os.environ.get("TEXELARY_LAUNCHER") and folder[:2].upper() == "Z:":
        folder = folder[2:].replace("\\", "/")
    return folder


def scenario_choose_folder(program, directory):
    """Browse... opens the folder chooser at the input folder; a click on a subfolder and OK put
    that folder, not the one shown above it, into the field (read back from the saved project)."""
    for name in ("alpha", "beta"):
        (directory / name).mkdir()
    key("alt+v")
    key("p")
    setup = wait_for("the setup dialog", lambda: next(iter(windows_titled("Project Setup")), 0))
    click_in(setup, 7 + 402 + 37, 6 + 40 + 10)  # Browse... beside the input folder
    chooser = wait_for("the folder chooser", lambda: next(iter(windows_titled("Choose your path")), 0))
    check_on_top_and_focused(program, chooser, "the folder chooser")
    # The lines from the root down to the input folder, then its subfolders: beta is the second.
    row = len(directory.resolve().parts) + 1
    click_in(chooser, 9 + 8 + 100, 10 + 19 + 2 + 16 * row + 8)
    program.screenshot("beta-highlighted")
    click_in(chooser, 222 + 37, 217 + 12)  # Ok
    wait_for("the folder chooser to close", lambda: not windows_titled("Choose your path"))
    program.screenshot("setup-after-chooser")
    click_in(setup, 418 + 37, 176 + 12)  # Ok
    wait_for("the setup dialog to close", lambda: not windows_titled("Project Setup"))
    project = save_new(directory, "paths")
    chosen = saved_input_folder(project)
    check(chosen == str(directory.resolve() / "beta"), f"the input folder is {chosen}, not beta")


def scenario_texture_browser(program, directory):
    """Ctrl+B opens the texture browser of the project's .wal textures on top, with the focus; a
    click on a thumbnail shows that texture large, Alt+A adds it to the image list (read back
    from the project file Ctrl+S writes once Escape has closed the browser). The browser's own
    picture is kept as texture-browser.png."""
    key("ctrl+b")
    browser = wait_for("the texture browser",
                       lambda: next(iter(windows_titled("Textures - Texelary")), 0))
    check_on_top_and_focused(program, browser, "the texture browser")
    # The first thumbnail: the grid's first cell, below the filter's row and the folder's row.
    click_in(browser, 11 + 52, 11 + 26 + 6 + 26 + 6 + 36)
    time.sleep(QUIET)  # the thumbnails are made in the background
    program.screenshot("texture-selected")
    run("import", "-window", str(browser), str(program.shots / "texture-browser.png"))
    key("alt+a")
    wait_for('the title "textures.mm* - Texelary"',
             lambda: title(program.main) == "textures.mm* - Texelary", 5)
    check(not program.boxes(), "adding the texture showed a box")
    key("Escape")
    wait_for("the texture browser to close", lambda: not windows_titled("Textures - Texelary"))
    wait_for("the main window to have the focus again", lambda: focused() == program.main, 5)
    key("ctrl+s")
    project = directory / "textures.mm"
    wait_for("the added texture to be saved", lambda: saved_names(project) == 1, 5)


def scenario_texture_edit(program, directory):
    """The browser's fields edit three .wal at once: Ctrl+A selects them, the flags they share
    show checked and SURF_LIGHT, which one of them has, partially checked (kept as
    texture-edit.png); Tab reaches SURF_LIGHT's box, Space sets it on all three, and Ctrl+S
    writes the three files: the flags word changed, every other byte as it was."""
    before = {name: (directory / name).read_bytes() for name in EDITED_WALS}
    key("ctrl+b")
    browser = wait_for("the texture browser",
                       lambda: next(iter(windows_titled("Textures - Texelary")), 0))
    check_on_top_and_focused(program, browser, "the texture browser")
    click_in(browser, 11 + 52, 11 + 26 + 6 + 26 + 6 + 36)
    key("ctrl+a")
    time.sleep(QUIET)
    program.screenshot("fields-mixed")
    run("import", "-window", str(browser), str(program.shots / "texture-edit.png"))
    # From the grid: the zoom, the name, the animation, the raw flags, then SURF_LIGHT's box.
    key("Tab", "Tab", "Tab", "Tab", "Tab", "space")
    wait_for('the title "Textures* - Texelary"', lambda: title(browser) == "Textures* - Texelary", 5)
    check(all((directory / name).read_bytes() == bytes_ for name, bytes_ in before.items()),
          "a file changed before Ctrl+S")
    key("ctrl+s")
    wait_for('the title "Textures - Texelary"', lambda: title(browser) == "Textures - Texelary", 5)
    program.screenshot("fields-saved")
    check(not program.boxes(), "saving showed a box")
    for name, old in before.items():
        expected = old[:88] + struct.pack("<I", struct.unpack_from("<I", old, 88)[0] | 1) + old[92:]
        check((directory / name).read_bytes() == expected, f"{name} is not its old bytes with SURF_LIGHT")


def write_wad2(path, names, side=16):
    """A WAD2 of mip textures `names`, each side x side with its four levels, bands of colours."""
    lumps = []
    for number, name in enumerate(names):
        sides = [side >> level for level in range(4)]
        offsets, at = [], 40
        for size in sides:
            offsets.append(at)
            at += size * size
        pixels = b"".join(bytes((x + y + 40 * number) % 224 for y in range(size) for x in range(size))
                          for size in sides)
        lumps.append(name.encode().ljust(16, b"\0") + struct.pack("<II4I", side, side, *offsets) +
                     pixels)
    at, directory, body = 12, b"", b""
    for name, lump in zip(names, lumps):
        directory += struct.pack("<iiibbh", at, len(lump), len(lump), 0x44, 0, 0)
        directory += name.encode().ljust(16, b"\0")
        body += lump
        at += len(lump)
    path.write_bytes(b"WAD2" + struct.pack("<ii", len(names), at) + body + directory)


def wad2_names(path):
    """The lump names of the wad at `path`, in its directory's order."""
    data = path.read_bytes()
    count, at = struct.unpack_from("<ii", data, 4)
    return [data[at + 32 * i + 16:at + 32 * i + 32].split(b"\0", 1)[0].decode()
            for i in range(count)]


def write_png(path, side=16):
    """A side x side RGB PNG of two colours in stripes."""
    rows = b"".join(b"\0" + b"".join(bytes((200, 40, 40) if x % 4 < 2 else (40, 40, 200))
                                      for x in range(side)) for _ in range(side))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
                     chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


BROWSER = "Textures - Texelary"
FIRST_CELL = (11 + 52, 11 + 26 + 6 + 26 + 6 + 36)  # in the browser, below the filter and folder rows


def open_browser(program):
    """Ctrl+B in the program's main window: its texture browser, once it is on screen."""
    key("ctrl+b")
    return wait_for("the texture browser",
                    lambda: next((w for w in windows_titled(BROWSER) if program.pid_of(w)), 0))


def screen_pixels(left, top, width, height):
    """The RGB bytes of that part of the screen."""
    return subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                           "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout


def drag(start, end, steps=12):
    """Drags with the left button from `start` to `end` on the screen, in small steps with pauses
    between them: Qt starts a drag only once the pointer has gone some pixels with the button
    down, and the XDND messages between the two programs need time to go back and forth."""
    (x0, y0), (x1, y1) = start, end
    run("xdotool", "mousemove", "--sync", str(x0), str(y0), "mousedown", "1")
    try:
        for step in range(1, 6):
            run("xdotool", "mousemove", str(x0 + 3 * step), str(y0 + 2 * step))
            time.sleep(0.1)
        x0, y0 = x0 + 15, y0 + 10
        for step in range(1, steps + 1):
            run("xdotool", "mousemove", str(x0 + (x1 - x0) * step // steps),
                str(y0 + (y1 - y0) * step // steps))
            time.sleep(0.08)
        for wiggle in (1, -1, 1, 0):
            run("xdotool", "mousemove", str(x1 + 2 * wiggle), str(y1 + wiggle))
            time.sleep(0.15)
    finally:
        run("xdotool", "mouseup", "1")


def open_picture_source(program, directory):
    """A second instance of the program, with settings of its own, whose project's PNG textures
    are those in `directory`/pictures, its texture browser open beside `program`'s, on top."""
    write_project(directory / "pictures.mm", directory / "pictures", [], source=3)
    source = Program(program.command[0], directory, program.shots, f"{program.name}-source",
                     ["pictures.mm"])
    try:
        browser = open_browser(source)
        check_on_top_and_focused(source, browser, "the second program's texture browser")
        time.sleep(QUIET)  # the thumbnails are made in the background
    except Failure:
        source.quit()
        raise
    return source, browser


def add_by_drag(program, browser, directory):
    """new.png dragged from a second instance's texture browser onto the browser's grid, below its
    textures: its cell there is dragged across to an empty place of this grid. Returns the second
    instance, which gives the dragged data and so stays until the end."""
    source, source_browser = open_picture_source(program, directory)
    try:
        # This browser at the left, the other one over its right half, both above the second
        # program's main window: the drop lands on whichever window is on top under the pointer.
        run("xdotool", "windowmove", "--sync", str(browser), "0", "0")
        run("xdotool", "windowmove", "--sync", str(source_browser), "480", "100")
        run("xdotool", "windowactivate", "--sync", str(browser))
        run("xdotool", "windowactivate", "--sync", str(source_browser))
        check_on_top_and_focused(source, source_browser, "the second program's texture browser")
        program.screenshot("beside")
        left, top, _, _ = client_geometry(source_browser)
        target_left, target_top, _, _ = client_geometry(browser)
        # The grid's third cell, empty before the drop: stone and lava are the first two.
        third = (target_left + FIRST_CELL[0] + 2 * 104 - 40, target_top + FIRST_CELL[1] - 40, 80, 80)
        empty = screen_pixels(*third)
        drag((left + FIRST_CELL[0], top + FIRST_CELL[1]), (target_left + 330, target_top + 330))
        wait_for("the dropped picture in the grid's third cell", lambda: screen_pixels(*third) != empty, 5)
        time.sleep(QUIET)
        program.screenshot("dropped")
        check(not program.boxes(), "the drop showed a box")
        run("xdotool", "windowactivate", "--sync", str(browser))
        check_on_top_and_focused(program, browser, "the texture browser after the drop")
    except (Failure, subprocess.CalledProcessError):
        source.quit()
        raise
    return source


def add_by_chooser(program, directory):
    """Insert, then new.png's path typed into the picture chooser and Return."""
    key("Insert")
    chooser = wait_for("the picture chooser", lambda: next(iter(windows_titled("Add pictures")), 0))
    check_on_top_and_focused(program, chooser, "the picture chooser")
    type_text(as_the_program_writes(directory / "pictures" / "new.png"))
    key("Return")
    wait_for("the picture chooser to close", lambda: not windows_titled("Add pictures"))
    time.sleep(QUIET)


def undo_redo_save(program, browser, wad):
    """Ctrl+Z, Ctrl+Shift+Z, then Ctrl+S, which writes the wad."""
    program.screenshot("added")
    key("ctrl+z")
    time.sleep(QUIET)
    program.screenshot("undone")
    key("ctrl+shift+z")
    time.sleep(QUIET)
    program.screenshot("redone")
    check(not program.boxes(), "the edits showed a box")
    before = wad.stat().st_mtime_ns
    key("ctrl+s")
    wait_for("the wad to be saved", lambda: wad.stat().st_mtime_ns != before, 5)
    time.sleep(QUIET)
    run("import", "-window", str(browser), str(program.shots / "texture-browser-wad.png"))


def scenario_wad_edit(program, directory):
    """The texture browser on a WAD2: F2 renames the selected texture, Delete deletes the next one,
    a PNG dragged from a second instance's browser onto the grid is added after the others,
    Ctrl+Z takes the addition back and Ctrl+Shift+Z makes it again; Ctrl+S writes the wad, read
    back here. The browser's picture after the edits is kept as texture-browser-wad.png."""
    wad = directory / "gfx.wad"
    browser = open_browser(program)
    click_in(browser, *FIRST_CELL)  # the first texture: brick
    time.sleep(QUIET)
    program.screenshot("wad-opened")
    key("F2")
    rename = wait_for("the rename dialog", lambda: next(iter(windows_titled("Rename")), 0))
    check_on_top_and_focused(program, rename, "the rename dialog")
    key("ctrl+a")
    type_text("stone")
    program.screenshot("renaming")
    key("Return")
    wait_for("the rename dialog to close", lambda: not windows_titled("Rename"))
    key("Right", "Delete")  # floor, beside it
    time.sleep(QUIET)
    program.screenshot("deleted")
    source = None
    if os.environ.get("TEXELARY_LAUNCHER"):
        # A second Windows program would share the wine prefix's registry, so not settings of its
        # own, and a drag between two Windows programs is wine's OLE drag and drop, not XDND.
        print(f"     {program.name}: new.png added through Add..., not dragged: under wine a second "
              "instance shares the first one's settings and drags do not go through XDND")
        add_by_chooser(program, directory)
    else:
        source = add_by_drag(program, browser, directory)
    try:
        undo_redo_save(program, browser, wad)
    finally:
        if source:
            source.quit()
    names = wad2_names(wad)
    check(names == ["stone", "lava", "new"], f"the saved wad holds {names}")


def scenario_list_drag(program, directory):
    """new.png, listed in a second instance's image list, selected there and dragged by a real X11
    drag onto the texture browser's grid, is added to the wad; Ctrl+S writes the wad, read back
    here."""
    if os.environ.get("TEXELARY_LAUNCHER"):
        print(f"     {program.name}: not run under wine: a drag between two Windows programs is "
              "wine's OLE drag and drop, not XDND, and a second instance shares the first's settings")
        return
    wad = directory / "gfx.wad"
    browser = open_browser(program)
    write_project(directory / "pictures.mm", directory / "pictures", ["new.png"], source=3)
    source = Program(program.command[0], directory, program.shots, f"{program.name}-source",
                     ["pictures.mm"])
    try:
        run("xdotool", "windowmove", "--sync", str(browser), "0", "0")
        run("xdotool", "windowmove", "--sync", str(source.main), "560", "80")
        run("xdotool", "windowactivate", "--sync", str(source.main))
        source.list_line(0)
        time.sleep(QUIET)
        program.screenshot("listed")
        target_left, target_top, _, _ = client_geometry(browser)
        drag(source.list_point(0), (target_left + 330, target_top + 330))
        time.sleep(QUIET)
        program.screenshot("dropped")
        check(not program.boxes(), "the drop showed a box")
        run("xdotool", "windowactivate", "--sync", str(browser))
        before = wad.stat().st_mtime_ns
        key("ctrl+s")
        wait_for("the wad to be saved", lambda: wad.stat().st_mtime_ns != before, 5)
    finally:
        source.quit()
    names = wad2_names(wad)
    check(names == ["brick", "floor", "lava", "new"], f"the saved wad holds {names}")


def open_setup(program):
    key("alt+v")
    key("p")
    setup = wait_for("the setup dialog", lambda: next(iter(windows_titled("Project Setup")), 0))
    check_on_top_and_focused(program, setup, "the setup dialog")
    return setup


def type_into(window, x, y, text):
    """Replaces the text of the field at x, y of `window` by typing."""
    click_in(window, x, y)
    key("ctrl+a")
    type_text(text)


def scenario_type_path(program, directory):
    """A path typed into the setup dialog's input field is taken by Ok; one that is no folder gets
    a box over the dialog, which stays open. In the folder chooser's field a typed folder and
    Return do the same as highlighting it and Ok."""
    for name in ("typed", "picked"):
        (directory / name).mkdir()
    setup = open_setup(program)
    field = (7 + 9 + 100, 6 + 39 + 10)
    type_into(setup, *field, str(directory / "missing"))
    click_in(setup, 418 + 37, 176 + 12)  # Ok
    box = program.wait_box()
    check_box_of(program, box, setup, 'the "is not a folder" box')
    program.screenshot("not-a-folder")
    key("Return")
    wait_for("the box to close", lambda: not program.boxes())
    check(windows_titled("Project Setup"), "the setup dialog closed on a path that is no folder")
    type_into(setup, *field, str(directory / "typed"))
    click_in(setup, 418 + 37, 176 + 12)
    wait_for("the setup dialog to close", lambda: not windows_titled("Project Setup"))
    project = save_new(directory, "paths")
    chosen = saved_input_folder(project)
    check(chosen == str(directory.resolve() / "typed"), f"the input folder is {chosen}, not typed")

    setup = open_setup(program)
    click_in(setup, 7 + 402 + 37, 6 + 40 + 10)  # Browse... beside the input folder
    chooser = wait_for("the folder chooser", lambda: next(iter(windows_titled("Choose your path")), 0))
    check_on_top_and_focused(program, chooser, "the folder chooser")
    type_into(chooser, 9 + 100, 217 + 12, as_the_program_writes(directory / "picked"))
    program.screenshot("typed-in-chooser")
    key("Return")
    wait_for("the folder chooser to close", lambda: not windows_titled("Choose your path"))
    click_in(setup, 418 + 37, 176 + 12)
    wait_for("the setup dialog to close", lambda: not windows_titled("Project Setup"))
    if os.environ.get("TEXELARY_LAUNCHER"):
        # Wine gives the X focus to no window when a modal one closes: a click between the
        # main window's two frames gives it back.
        click_in(program.main, 239, 100)
    key("ctrl+s")
    wait_for("the project saved with the picked folder",
             lambda: saved_input_folder(project) == str(directory.resolve() / "picked"), 5)


def scenario_resize(program, directory):
    """The main window opens at its first size, grows when its frame is dragged bigger and when it
    is maximised (a double-click on its title bar), and its buttons go on working there."""
    write_bitmap(directory / "wall.bmp")
    _, _, width, height = client_geometry(program.main)
    run("xdotool", "windowsize", str(program.main), str(width + 300), str(height + 200))
    wait_for("the main window to grow",
             lambda: client_geometry(program.main)[2:] == (width + 300, height + 200), 5)
    program.screenshot("resized")
    left, top, frame_width, _ = frame_geometry(program.main)
    client_top = client_geometry(program.main)[1]
    run("xdotool", "mousemove", "--sync", str(left + frame_width // 2), str((top + client_top) // 2),
        "click", "--repeat", "2", "--delay", "80", "1")
    screen_width, _ = screen_size()
    wait_for("the main window to be maximised",
             lambda: client_geometry(program.main)[2] >= screen_width - 10, 5)
    program.screenshot("maximised")
    add_all(program)  # "Add..." at the bottom left of the maximised window
    program.screenshot("added-maximised")


def scenario_undo_delete(program, directory):
    """Add... opens the file chooser with the focus in its list, so Ctrl+A then Return take every
    file; Ctrl+A then Delete empty the image list, Ctrl+Z brings every entry back (the title loses
    its star: the list is the saved one again), Ctrl+Y empties it again and a second Ctrl+Z undoes
    that. The list's length is read back from the project file Ctrl+S writes."""
    names = [f"{letter}.bmp" for letter in "abcdefg"]
    for name in names:
        write_bitmap(directory / name)
    add_all(program)
    project = save_new(directory, "undo")
    check(saved_names(project) == len(names),
          f"Ctrl+A in the file chooser added {saved_names(project)} of {len(names)} files")
    changed, saved = "undo.mm* - Texelary", "undo.mm - Texelary"
    program.list_line(0)
    key("ctrl+a", "Delete")
    wait_for("the emptied list to mark the project changed", lambda: title(program.main) == changed, 5)
    program.screenshot("all-deleted")
    key("ctrl+z")
    wait_for("Ctrl+Z to bring back the saved list", lambda: title(program.main) == saved, 5)
    program.screenshot("delete-undone")
    key("ctrl+y")
    wait_for("Ctrl+Y to empty the list again", lambda: title(program.main) == changed, 5)
    key("ctrl+s")
    wait_for("the redone Delete to be saved", lambda: saved_names(project) == 0, 5)
    key("ctrl+z")
    wait_for("a second Ctrl+Z to change the list", lambda: title(program.main) == changed, 5)
    key("ctrl+s")
    wait_for("the restored list to be saved", lambda: saved_names(project) == len(names), 5)
    program.screenshot("delete-undone-saved")


def scenario_recent_project(program, directory):
    """A project saved, the main window moved and resized, the program quit and started again: the
    window is back at that place and size, and the File menu's first recent project opens it."""
    write_bitmap(directory / "wall.bmp")
    add_all(program)
    save_new(directory, "kept")
    _, _, width, height = client_geometry(program.main)
    run("xdotool", "windowsize", str(program.main), str(width + 200), str(height + 100))
    wait_for("the main window to grow",
             lambda: client_geometry(program.main)[2:] == (width + 200, height + 100), 5)
    run("xdotool", "windowmove", str(program.main), "300", "200")
    wait_for("the main window to move", lambda: abs(frame_geometry(program.main)[0] - 300) <= 10, 5)
    left_at = client_geometry(program.main)
    program.screenshot("moved")
    key("ctrl+q")
    program.process.wait(10)
    program.start()
    wait_for(f"the main window back at {left_at}",
             lambda: all(abs(a - b) <= 2 for a, b in zip(client_geometry(program.main), left_at)), 5)
    check(title(program.main) == "Texelary", f"started with {title(program.main)!r}")
    program.screenshot("back")
    # A menu is a window that the window manager does not stack: it is found by the program's id.
    def shown():
        return run("xdotool", "search", "--onlyvisible", "--pid", str(program.process.pid)).split()
    before = shown()
    key("alt+f")
    wait_for("the File menu", lambda: len(shown()) > len(before), 5)
    program.screenshot("file-menu")
    key("1")
    wait_for('the title "kept.mm - Texelary"',
             lambda: title(program.main) == "kept.mm - Texelary", 5)
    program.screenshot("reopened")


def marks_in_list(program, name):
    """How many of the image list's lines bear a warning mark: the lines whose left end, where a
    mark's icon stands, shows the warning's yellow. The list's picture is kept as `name`."""
    left, top, _, height = client_geometry(program.main)
    list_top = top + height - STATUS_LINE - 220 + 13 + 20 + 2
    path = program.shots / f"{name}.png"
    run("import", "-window", "root", "-crop", f"14x130+{left + 16}+{list_top}", str(path))
    yellow_lines = set()
    for line in run("convert", str(path), "-depth", "8", "txt:-").splitlines()[1:]:
        y = int(line.split(",", 2)[1].split(":", 1)[0])
        r, g, b = (int(v) for v in line.split("(", 1)[1].split(")", 1)[0].split(",")[:3])
        if r > 180 and g > 140 and b < 90:
            yellow_lines.add(y // 13)
    return len(yellow_lines)


def scenario_failed_rows(program, directory):
    """A run with two failures of three: each has its box, the last box lists them in its details
    (Alt+D) and saves the list beside the output (Alt+S), and the failed lines are marked."""
    for name in ("a.bmp", "b.bmp", "c.bmp"):
        write_bitmap(directory / name)
    add_all(program)
    (directory / "b.bmp").unlink()
    (directory / "c.bmp").write_bytes(b"")
    progress = start_run(program)
    seen = []
    for _ in range(2):
        seen.append(program.wait_box(seen))
        key("Return")
    outcome = program.wait_box(seen)
    check_box_of(program, outcome, progress, 'the "All done" box')
    program.screenshot("all-done")
    height = client_geometry(outcome)[3]
    key("alt+d")
    wait_for("the box's details to show", lambda: client_geometry(outcome)[3] > height + 40, 5)
    program.screenshot("details")
    key("alt+s")
    said = program.wait_box(seen + [outcome])
    program.screenshot("list-saved")
    key("Return")
    wait_for("the progress window to close", lambda: not windows_titled("Processing, Please Wait..."))
    saved = (directory / "failed.txt").read_text() if (directory / "failed.txt").exists() else ""
    check(saved.startswith("b.bmp: ") and "\nc.bmp: " in saved, f"the saved list is {saved!r}")
    program.screenshot("marked-rows")
    marked = marks_in_list(program, f"{program.name}-list")
    check(marked == 2, f"{marked} lines of the list are marked, not the two that failed")
    check(said not in program.boxes(), "the box that says where the list went is still open")


# Each scenario: its name, what it puts into its directory first (returning the program's
# arguments), and what it does with the running program.
def nothing(_directory):
    return []


def wal_textures(directory):
    """A project of .wal textures, none listed yet: an animation of three frames and two others."""
    write_wal(directory / "+0lava.wal", "e1u1/+0lava", "e1u1/+1lava", 64, 0)
    write_wal(directory / "+1lava.wal", "e1u1/+1lava", "e1u1/+2lava", 64, 8)
    write_wal(directory / "+2lava.wal", "e1u1/+2lava", "e1u1/+0lava", 64, 16)
    write_wal(directory / "floor1_3.wal", "e1u1/floor1_3", "", 128, 40)
    write_wal(directory / "wall5_2.wal", "e1u1/wall5_2", "", 32, 90)
    write_project(directory / "textures.mm", directory, [], source=2)
    return ["textures.mm"]


EDITED_WALS = ("a.wal", "b.wal", "c.wal")


def three_wal_textures(directory):
    """Three .wal of a project, with flags SURF_WARP; b.wal's SURF_LIGHT too."""
    for name in EDITED_WALS:
        write_wal(directory / name, "e1u1/" + name[0], "", 32, ord(name[0]))
    b = bytearray((directory / "b.wal").read_bytes())
    struct.pack_into("<I", b, 88, 8 | 1)
    (directory / "b.wal").write_bytes(bytes(b))
    write_project(directory / "edit.mm", directory, [], source=2)
    return ["edit.mm"]


def wad_textures(directory):
    """A project of WAD2 textures whose input is a wad of three, and a PNG in a folder beside."""
    write_wad2(directory / "gfx.wad", ["brick", "floor", "lava"])
    (directory / "pictures").mkdir()
    write_png(directory / "pictures" / "new.png")
    write_project(directory / "wad.mm", directory / "gfx.wad", [], source=6)
    return ["wad.mm"]


SCENARIOS = [
    ("all-done", nothing, scenario_all_done),
    ("not-found", nothing, lambda p, d: scenario_not_found(p, d, "Return")),
    ("cancel", nothing, lambda p, d: scenario_not_found(p, d, "Escape")),
    ("preview", nothing, scenario_preview_box),
    ("dialogs", nothing, scenario_dialogs),
    ("command-line", project_on_command_line, scenario_command_line),
    ("save-new", nothing, scenario_save_new),
    ("delete-many", nothing, scenario_delete_many),
    ("choose-folder", nothing, scenario_choose_folder),
    ("texture-browser", wal_textures, scenario_texture_browser),
    ("texture-edit", three_wal_textures, scenario_texture_edit),
    ("type-path", nothing, scenario_type_path),
    ("resize", nothing, scenario_resize),
    ("undo-delete", nothing, scenario_undo_delete),
    ("recent-project", nothing, scenario_recent_project),
    ("failed-rows", nothing, scenario_failed_rows),
    ("wad-edit", wad_textures, scenario_wad_edit),
    ("list-drag", wad_textures, scenario_list_drag),
]


def start_window_manager():
    manager = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)

    def managing():
        if manager.poll() is not None:
            raise Failure(f"openbox ended at start ({manager.returncode}): {manager.stdout.read()}")
        return "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")

    wait_for("the window manager", managing)
    return manager


def main():
    executable, shots = os.path.abspath(sys.argv[1]), Path(sys.argv[2]).absolute()
    only = sys.argv[3:]
    shots.mkdir(parents=True, exist_ok=True)
    for old in shots.glob("*.png"):
        old.unlink()
    run("xdpyinfo")  # the X server answers
    reached = os.environ.get("TEXELARY_X_REACHED")
    if reached:
        Path(reached).touch()
    manager = start_window_manager()
    failures = 0
    try:
        for name, prepare, scenario in SCENARIOS:
            if only and name not in only:
                continue
            with tempfile.TemporaryDirectory() as scratch:
                directory = Path(scratch)
                program = None
                try:
                    program = Program(executable, directory, shots, name, prepare(directory))
                    scenario(program, directory)
                    check(program.process.poll() is None, "the program ended by itself")
                    print(f"PASS {name}")
                except (Failure, subprocess.CalledProcessError) as error:
                    failures += 1
                    print(f"FAIL {name}: {error}")
                    if program:
                        print(f"     screenshot: {program.screenshot('failure')}")
                finally:
                    if program:
                        program.quit()
    finally:
        manager.terminate()
        manager.wait()
    print(f"screenshots in {shots}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
