#!/usr/bin/env python3
# Runs the built program end to end on a private X server: writes a setup and images, presses keys, checks the outcome.
"""End-to-end checks of rtpresenter (native or under Wine).

Each case gets a scratch working directory with a generated setup.txt and solid-colour BMP
images, a private Xvfb whose screen is memory-mapped through -fbdir (so the driver can see
which screen is on), and the program started in that directory. Keys go in through XTEST
(xdotool key) after the program's window has the input focus.

Usage: e2e_driver.py --program PATH --runner native|wine [--wine-run PATH] CASE
       e2e_driver.py --program PATH --runner native --shots DIR --sample DIR shots
"""

import argparse
import ctypes
import hashlib
import mmap
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

# Replaced by the size of the session's display when there is one (see screen_size).
SCREEN_W, SCREEN_H = 800, 600
IMAGE_W, IMAGE_H = 200, 150
# Generous: the machine may be busy, and Wine's first window takes a while.
START_TIMEOUT = 90.0
STEP_TIMEOUT = 30.0

BACKGROUND = (40, 40, 40)
TITLE = (220, 30, 30)
BLANK = (250, 250, 250)
FIXATION = (30, 30, 220)

LEFT_KEYS = ("d", "f")
RIGHT_KEYS = ("j", "k")


SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these tests


class Failure(Exception):
    pass


def log(message):
    print(f"[{time.monotonic():10.3f}] {message}", flush=True)


# ---------------------------------------------------------------- images and setup

def write_bmp(path, width, height, rgb):
    """A 24-bit bottom-up BMP of one solid colour."""
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def write_setup(workdir, lines):
    with open(os.path.join(workdir, "setup.txt"), "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))


def write_screen_images(workdir):
    write_bmp(os.path.join(workdir, "title.bmp"), IMAGE_W, IMAGE_H, TITLE)
    write_bmp(os.path.join(workdir, "blank.bmp"), IMAGE_W, IMAGE_H, BLANK)
    write_bmp(os.path.join(workdir, "fix.bmp"), IMAGE_W, IMAGE_H, FIXATION)


def screen_setup_lines():
    return [
        "topImage title.bmp",
        "blankImage blank.bmp",
        "fixImage fix.bmp",
        "bgColor %d %d %d" % BACKGROUND,
        "imageSize %d %d" % (IMAGE_W, IMAGE_H),
    ]


# ---------------------------------------------------------------- processes

def _die_with_parent():
    # A driver killed by ctest's timeout must not leave its X server or program behind.
    try:
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


class Processes:
    """Everything the driver starts, ended in reverse order on every exit path."""

    def __init__(self):
        self.items = []  # (name, Popen, group, seconds to wait for a natural end)

    def start(self, name, argv, group=False, linger=0.0, die_with_driver=True, **kwargs):
        proc = subprocess.Popen(argv, preexec_fn=_die_with_parent if die_with_driver else None,
                                start_new_session=group, **kwargs)
        self.items.append((name, proc, group, linger))
        return proc

    def stop_all(self):
        for name, proc, group, linger in reversed(self.items):
            _terminate(name, proc, group, linger, 3.0)


def _terminate(name, proc, group, linger, grace):
    if linger > 0:
        try:
            proc.wait(linger)
        except subprocess.TimeoutExpired:
            log(f"{name} still running after {linger} s")
    if proc.poll() is None:
        _signal(proc, group, signal.SIGTERM)
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            log(f"{name} did not end on SIGTERM; killing it")
            _signal(proc, group, signal.SIGKILL)
            proc.wait(10)
    elif group:
        # The leader is gone; children it left in its group still get the signal.
        _signal(proc, group, signal.SIGKILL)


def _signal(proc, group, sig):
    try:
        if group:
            os.killpg(proc.pid, sig)
        else:
            proc.send_signal(sig)
    except (ProcessLookupError, PermissionError):
        pass


class Screen:
    """A private Xvfb and a view of its framebuffer."""

    def __init__(self, procs, scratch):
        self.fbdir = os.path.join(scratch, "fb")
        os.mkdir(self.fbdir)
        read_end, write_end = os.pipe()
        self.log_path = os.path.join(scratch, "xvfb.log")
        with open(self.log_path, "wb") as xlog:
            self.proc = procs.start(
                "Xvfb",
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                 "-fbdir", self.fbdir, "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=xlog, stderr=xlog)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                raise Failure("Xvfb did not start:\n" + open(self.log_path, errors="replace").read())
            chunk = os.read(read_end, 64)
            if not chunk:
                raise Failure("Xvfb ended:\n" + open(self.log_path, errors="replace").read())
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        self._map()

    def _map(self):
        path = os.path.join(self.fbdir, "Xvfb_screen0")
        with open(path, "rb") as f:
            self.mm = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
        header_size = struct.unpack(">I", self.mm[:4])[0]
        endian = ">" if header_size < 4096 else "<"
        fields = struct.unpack(endian + "25I", self.mm[:100])
        header_size, bpp, self.stride, ncolors = fields[0], fields[11], fields[12], fields[19]
        self.pixel_byte_order = fields[7]  # 0: LSBFirst
        if bpp != 32:
            raise Failure(f"unexpected framebuffer depth {bpp}")
        self.offset = header_size + ncolors * 12

    def pixel(self, x, y):
        at = self.offset + y * self.stride + x * 4
        b0, b1, b2, b3 = self.mm[at:at + 4]
        if self.pixel_byte_order == 0:
            return (b2, b1, b0)
        return (b1, b2, b3)

    def digest(self):
        return hashlib.md5(self.mm[self.offset:]).digest()

    def uniform(self):
        first = self.pixel(0, 0)
        return all(self.pixel(x, y) == first for y in range(0, SCREEN_H, 16) for x in range(0, SCREEN_W, 16))

    def centre(self):
        return self.pixel(SCREEN_W // 2, SCREEN_H // 2)

    def save_png(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def x(self, *argv, check=True, timeout=30):
        return subprocess.run(list(argv), env=self.env, check=check, capture_output=True, timeout=timeout)


def screen_size():
    """The size of the display the session runs on, if any.

    A persistent Wine server (as test-all starts one) has its desktop process on that display, and
    Wine sizes its screen by it; the private display must agree so that the program's fullscreen
    window fits it.
    """
    display = os.environ.get("DISPLAY")
    if not display:
        return None
    try:
        info = subprocess.run(["xwininfo", "-root"], capture_output=True, timeout=20, check=True).stdout.decode()
    except (subprocess.SubprocessError, OSError):
        return None
    width = re.search(r"Width: (\d+)", info)
    height = re.search(r"Height: (\d+)", info)
    return (int(width.group(1)), int(height.group(1))) if width and height else None


def near(a, b, tolerance=12):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def colour_name(rgb, palette):
    for name, value in palette.items():
        if near(rgb, value):
            return name
    return str(rgb)


def start_wine_server(procs, screen, args, scratch):
    """A Wine server that ends with the program, unless one already serves the prefix.

    Started without a linger time it takes Wine's service and desktop processes down as soon as
    the program has ended. When a server already runs (a persistent one that test-all started),
    this one exits at once and that server's helper processes stay its business.
    """
    env = dict(screen.env, WINEPREFIX=args.wine_prefix, WINEARCH="win64", WINEDEBUG="-all")
    with open(os.path.join(scratch, "wineserver.log"), "wb") as out:
        proc = procs.start("wineserver", ["wineserver", "-f", "-p0"], linger=20.0, die_with_driver=False,
                           env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
    try:
        proc.wait(0.5)
        log("using the Wine server that already runs on the prefix")
    except subprocess.TimeoutExpired:
        log(f"started a Wine server for this case (pid {proc.pid})")


class Program:
    def __init__(self, procs, screen, args, workdir):
        self.procs, self.screen = procs, screen
        self.out_path = os.path.join(workdir, "..", "program.log")
        env = dict(screen.env)
        if args.runner == "wine":
            start_wine_server(procs, screen, args, os.path.dirname(workdir))
            argv = [args.wine_run, args.program]
        else:
            argv = [args.program]
            env.pop("SDL_VIDEODRIVER", None)
        with open(self.out_path, "wb") as out:
            # Output to a file, not a pipe: Wine helpers that outlive the program would hold a pipe open.
            self.proc = procs.start("program", argv, group=True, cwd=workdir, env=env,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        self.window = None
        log(f"started {' '.join(argv)} (pid {self.proc.pid}) on {screen.display}")

    def output(self):
        try:
            return open(self.out_path, errors="replace").read()
        except OSError:
            return ""

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"program still running after {timeout} s") from None


# ---------------------------------------------------------------- windows and keys

def top_windows(screen):
    """(id, name) of the mapped children of the root window, topmost last."""
    text = screen.x("xwininfo", "-root", "-children").stdout.decode("utf-8", "replace")
    windows = []
    for line in text.splitlines():
        m = re.match(r'\s+(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):', line)
        if m:
            windows.append((m.group(1), m.group(2) or ""))
    mapped = []
    for wid, name in windows:
        info = screen.x("xwininfo", "-id", wid, check=False).stdout.decode("utf-8", "replace")
        if "IsViewable" in info:
            mapped.append((wid, name))
    return mapped


def wait_for(what, condition, timeout, program=None, interval=0.005):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if program is not None and not program.alive():
            raise Failure(f"program ended (exit code {program.proc.returncode}) while waiting for {what}\n"
                          + program.output())
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def wait_for_colour(screen, program, name, rgb, timeout=STEP_TIMEOUT):
    return wait_for(f"the {name} screen (centre {rgb})", lambda: near(screen.centre(), rgb), timeout, program)


def focus(screen, wid):
    screen.x("xdotool", "windowfocus", "--sync", wid, check=False, timeout=10)


def press(screen, key):
    screen.x("xdotool", "key", "--clearmodifiers", key)


def answer(screen, program, key, stimulus):
    """Presses a key until the stimulus goes: the program takes responses only once it has armed
    the key slot, a moment after the stimulus is on the screen."""
    for _ in range(5):
        time.sleep(0.2)
        press(screen, key)
        try:
            wait_for("the end of the stimulus", lambda: not near(screen.centre(), stimulus), 3.0, program)
            return
        except Failure:
            log(f"stimulus still on after key {key}; pressing it again")
    raise Failure(f"the stimulus stayed on through five presses of {key}")


def find_main_window(screen, program):
    def lookup():
        for wid, name in top_windows(screen):
            if name == "Sample Program":
                return wid
        return None
    program.window = wait_for("the program's window", lookup, START_TIMEOUT, program, interval=0.2)
    return program.window


def start_run(screen, program, probe=None):
    """Waits for the title, gives the window the keyboard and presses a start key."""
    x, y = probe or (SCREEN_W // 2, SCREEN_H // 2)
    wait_for(f"the title screen ({TITLE} at {x},{y})", lambda: near(screen.pixel(x, y), TITLE), START_TIMEOUT,
             program)
    focus(screen, find_main_window(screen, program))
    log("title is on; pressing the start key")
    press(screen, "f")


# ---------------------------------------------------------------- results

RESULT_NAME = re.compile(r"^result\d{8}_\d{4}_\d{2}\.csv$")


def result_files(workdir):
    return sorted(n for n in os.listdir(workdir) if n.startswith("result"))


def read_result(workdir):
    names = result_files(workdir)
    if len(names) != 1 or not RESULT_NAME.match(names[0]):
        raise Failure(f"expected one result file named result<date>_<hhmm>_<ss>.csv, found {names}")
    data = open(os.path.join(workdir, names[0]), "rb").read()
    if not data.endswith(b"\r\n"):
        raise Failure(f"result file does not end with CR LF: {data!r}")
    lines = data[:-2].split(b"\r\n")
    if any(b"\n" in line or b"\r" in line for line in lines):
        raise Failure(f"result file has a line end other than CR LF: {data!r}")
    return [line.decode("ascii") for line in lines]


def expect(condition, message):
    if not condition:
        raise Failure(message)


# ---------------------------------------------------------------- cases

GROUP_A = [(0, 200, 0), (0, 140, 0)]          # images a1, a2: "left" group, top line
GROUP_B = [(230, 200, 0), (160, 130, 0), (200, 100, 0)]  # images b1..b3: bottom line


def write_two_groups(workdir):
    for n, rgb in enumerate(GROUP_A, 1):
        write_bmp(os.path.join(workdir, f"a{n}.bmp"), IMAGE_W, IMAGE_H, rgb)
    for n, rgb in enumerate(GROUP_B, 1):
        write_bmp(os.path.join(workdir, f"b{n:02d}.bmp"), IMAGE_W, IMAGE_H, rgb)
    # The bottom-most group line fills the trial table first.
    return ["imageGroup A a%d.bmp 1 2 L condA", "imageGroup B b%02d.bmp 1 3 R condB"]


def expected_order(repeat):
    block = [("condB", rgb) for rgb in GROUP_B] + [("condA", rgb) for rgb in GROUP_A]
    return block * repeat


def trial_rows(rows, header, count):
    """Checks the header and the number of lines; returns each line as (n, condition, answer, rt)."""
    expect(rows[0] == header, f"header {rows[0]!r}")
    expect(len(rows) == 1 + count, f"{len(rows) - 1} trial lines, expected {count}: {rows}")
    parsed = []
    for row in rows[1:]:
        m = re.fullmatch(r"(\d+),([^,]*),(-?\d+),(\d+),", row)
        expect(m, f"trial line {row!r} is not n,condition,answer,rt,")
        parsed.append((int(m.group(1)), m.group(2), int(m.group(3)), int(m.group(4))))
    return parsed


def case_complete(args, procs, screen, workdir):
    write_screen_images(workdir)
    lines = screen_setup_lines() + write_two_groups(workdir) + [
        "label side", "repeat 2", "shuffle 0", "blankms 150", "fixms 100 250 400", "limitms 0"]
    write_setup(workdir, lines)
    order = expected_order(2)
    program = Program(procs, screen, args, workdir)
    start_run(screen, program)

    keys = ["d", "j", "f", "k", "j", "d", "k", "f", "d", "j"]
    # At least 0.1 s: a key that comes before the program has armed its response slot is not taken.
    delays = [0.1, 0.3, 0.15, 0.6, 0.1, 0.4, 0.2, 0.12, 0.5, 0.25]
    palette = {"title": TITLE, "blank": BLANK, "fixation": FIXATION, "background": BACKGROUND}
    waited = []
    for i, (condition, rgb) in enumerate(order):
        wait_for(f"the stimulus of trial {i + 1}", lambda: not near(screen.centre(), BLANK)
                 and not near(screen.centre(), FIXATION) and not near(screen.centre(), TITLE),
                 STEP_TIMEOUT, program, interval=0.002)
        seen = screen.centre()
        expect(near(seen, rgb), f"trial {i + 1}: expected the stimulus {rgb} ({condition}), "
               f"the screen shows {colour_name(seen, palette)}")
        shown_at = time.monotonic()
        time.sleep(delays[i])
        before_key = time.monotonic()
        press(screen, keys[i])
        after_key = time.monotonic()
        waited.append((before_key - shown_at, after_key - shown_at))
        log(f"trial {i + 1}: {condition} shown, key {keys[i]} after {before_key - shown_at:.3f} s")
        # The key ends the stimulus: the blank of the next trial or the end screen follows.
        wait_for(f"the end of stimulus {i + 1}", lambda: not near(screen.centre(), rgb), STEP_TIMEOUT, program,
                 interval=0.002)

    code = program.wait_exit(STEP_TIMEOUT)
    expect(code == 0, f"exit code {code}")
    rows = read_result(workdir)
    for i, (n, condition, answer, rt) in enumerate(trial_rows(rows, "num,side,ans(L:0 R:1),rt", len(order))):
        expect(n == i + 1, f"line {i + 2}: number {n}, expected {i + 1}")
        expect(condition == order[i][0], f"line {i + 2}: condition {condition!r}, expected {order[i][0]!r}")
        want = 0 if keys[i] in LEFT_KEYS else 1
        expect(answer == want, f"line {i + 2}: answer {answer} for key {keys[i]}, expected {want}")
        low, high = waited[i]
        # The stimulus was painted before the driver saw it and the key is stamped after it was sent,
        # so the time is at least the wait; the upper bound only rules out nonsense.
        expect(rt <= 5000, f"line {i + 2}: reaction time {rt} ms is implausible")
        expect(rt >= low * 1000 - 20, f"line {i + 2}: reaction time {rt} ms, but the key came "
               f"{low * 1000:.0f} ms after the stimulus was seen")
        expect(rt <= high * 1000 + 3000, f"line {i + 2}: reaction time {rt} ms, but the key was sent "
               f"within {high * 1000:.0f} ms of the stimulus")
    log("result file: " + " | ".join(rows))


def case_limit(args, procs, screen, workdir):
    write_screen_images(workdir)
    lines = screen_setup_lines() + write_two_groups(workdir) + [
        "label lim", "repeat 1", "shuffle 0", "blankms 100", "fixms 100", "limitms 300"]
    write_setup(workdir, lines)
    order = expected_order(1)
    program = Program(procs, screen, args, workdir)
    start_run(screen, program)
    code = program.wait_exit(STEP_TIMEOUT * 2)
    expect(code == 0, f"exit code {code}")
    rows = read_result(workdir)
    for i, (n, condition, answer, rt) in enumerate(trial_rows(rows, "num,lim,ans(L:0 R:1),rt", len(order))):
        expect(n == i + 1 and condition == order[i][0], f"line {i + 2}: {rows[i + 1]!r}")
        expect(answer == -1, f"line {i + 2}: answer {answer} without a key, expected -1")
        expect(300 <= rt <= 2300, f"line {i + 2}: reaction time {rt} ms with limitms 300")
    log("result file: " + " | ".join(rows))


def case_escape(args, procs, screen, workdir):
    write_screen_images(workdir)
    lines = screen_setup_lines() + write_two_groups(workdir) + [
        "repeat 3", "shuffle 0", "blankms 2000", "fixms 100", "limitms 0"]
    write_setup(workdir, lines)
    program = Program(procs, screen, args, workdir)
    start_run(screen, program)
    # Answer the first trial, then leave during the second one's stimulus.
    wait_for_colour(screen, program, "first stimulus", GROUP_B[0])
    answer(screen, program, "j", GROUP_B[0])
    wait_for_colour(screen, program, "second stimulus", GROUP_B[1])
    time.sleep(0.2)
    sent = time.monotonic()
    press(screen, "Escape")
    code = program.wait_exit(STEP_TIMEOUT)
    gone = time.monotonic() - sent
    log(f"process gone {gone:.3f} s after Escape")
    expect(code == 0, f"exit code {code}")
    # It takes tens of milliseconds; the bound leaves room for a loaded machine. A run that ignored
    # Escape until the stimulus ends would never end here (no limit), and blankms 2000 makes the
    # end-of-run wait far longer than the bound.
    expect(gone <= 2.0, f"the process took {gone:.2f} s to end after Escape")
    expect(result_files(workdir) == [], f"an abandoned run wrote {result_files(workdir)}")


def boxes(screen, program):
    # A box can be mapped a moment before its caption is set: until then it is not counted.
    return [(wid, name) for wid, name in top_windows(screen) if name and name != "Sample Program"]


def dismiss_box(screen, program, caption, number):
    found = wait_for(f"message box {number} (caption {caption!r})", lambda: boxes(screen, program),
                     START_TIMEOUT if number == 1 else STEP_TIMEOUT, program, interval=0.1)
    expect(len(found) == 1, f"expected one message box, found {found}")
    box = found[0]
    log(f"box {number}: {box[1]!r} ({box[0]})")
    expect(box[1] == caption, f"message box {number} has caption {box[1]!r}, expected {caption!r}")
    # The next box may reuse the window id, so the box counts as gone once that id shows another
    # caption or none. Boxes with the same caption never follow each other, so a Return repeated
    # after a lost key press cannot dismiss an unseen box.
    deadline = time.monotonic() + STEP_TIMEOUT
    while True:
        focus(screen, box[0])
        press(screen, "Return")
        try:
            wait_for(f"message box {number} to close", lambda: box not in top_windows(screen), 5.0, interval=0.05)
            return
        except Failure:
            expect(time.monotonic() < deadline, f"message box {number} did not close on Return")
            log(f"box {number} still open; pressing Return again")


def case_no_setup(args, procs, screen, workdir):
    program = Program(procs, screen, args, workdir)
    for number, caption in enumerate(["error", "エラー", "error"], 1):
        dismiss_box(screen, program, caption, number)
    code = program.wait_exit(STEP_TIMEOUT)
    expect(code == 0, f"exit code {code}")
    leftover = sorted(os.listdir(workdir))
    expect(leftover == [], f"the program left files: {leftover}")


def case_no_group(args, procs, screen, workdir):
    write_screen_images(workdir)
    # Lines that look like group lines but are not accepted: too few tokens, wrong case.
    lines = screen_setup_lines() + ["label none", "imageGroup A a%d.bmp 1 2", "imagegroup A a%d.bmp 1 2 L x",
                                    "blankms 100", "fixms 100"]
    write_setup(workdir, lines)
    program = Program(procs, screen, args, workdir)
    dismiss_box(screen, program, "error", 1)
    # Without an accepted group line there is no image rectangle: images are drawn at the top left.
    start_run(screen, program, probe=(IMAGE_W // 2, IMAGE_H // 2))
    code = program.wait_exit(STEP_TIMEOUT)
    expect(code == 0, f"exit code {code}")
    rows = read_result(workdir)
    expect(rows == ["num,none,ans(L:0 R:1),rt"], f"expected only the header line, got {rows}")


def case_shots(args, procs, screen, workdir):
    """Screenshots of each screen of a run with the sample setup (not a test)."""
    for name in os.listdir(args.sample):
        shutil.copy(os.path.join(args.sample, name), workdir)
    os.makedirs(args.shots, exist_ok=True)
    program = Program(procs, screen, args, workdir)
    find_main_window(screen, program)
    wait_for("a drawn screen", lambda: screen.centre() != (0, 0, 0), START_TIMEOUT, program)
    time.sleep(0.5)
    screen.save_png(os.path.join(args.shots, "1-title.png"))
    focus(screen, program.window)
    # Every distinct frame from the start key on, as raw copies: converting takes longer than a screen lasts.
    frames, last = [], screen.digest()
    press(screen, "d")
    deadline = time.monotonic() + STEP_TIMEOUT
    while len(frames) < 8 and time.monotonic() < deadline:
        digest = screen.digest()
        if digest != last:
            path = os.path.join(workdir, f"frame{len(frames)}.xwd")
            shutil.copy(os.path.join(screen.fbdir, "Xvfb_screen0"), path)
            frames.append((path, screen.uniform()))
            last = digest
        time.sleep(0.001)
    press(screen, "Escape")
    program.wait_exit(STEP_TIMEOUT)
    # The blank screen is the first uniform one; fixation and stimulus follow it.
    first_blank = next(i for i, (_, uniform) in enumerate(frames) if uniform)
    chosen = frames[first_blank:first_blank + 3]
    for (path, _), name in zip(chosen, ["2-blank", "3-fixation", "4-stimulus"]):
        subprocess.run(["convert", "xwd:" + path, os.path.join(args.shots, name + ".png")], check=True, timeout=60)
    log(f"{len(frames)} frames seen; screenshots in {args.shots}")


CASES = {
    "complete": case_complete,
    "limit": case_limit,
    "escape": case_escape,
    "no-setup": case_no_setup,
    "no-group": case_no_group,
    "shots": case_shots,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", choices=("native", "wine"), default="native")
    parser.add_argument("--wine-run")
    parser.add_argument("--shots")
    parser.add_argument("--sample")
    parser.add_argument("--keep", action="store_true", help="keep the scratch directory")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    if args.wine_run:
        args.wine_run = os.path.abspath(args.wine_run)
    if args.runner == "wine" and not args.wine_run:
        parser.error("--runner wine needs --wine-run")
    if args.runner == "wine":
        # The prefix wine-run uses.
        root = os.path.dirname(os.path.dirname(args.wine_run))
        args.wine_prefix = os.environ.get("RTP_WINEPREFIX") or os.path.join(root, "build", "wineprefix")
    for tool in ("Xvfb", "xdotool", "xwininfo"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} is not installed; skipping", file=sys.stderr)
            return SKIPPED

    global SCREEN_W, SCREEN_H
    SCREEN_W, SCREEN_H = screen_size() or ((1920, 1080) if args.case == "shots" else (SCREEN_W, SCREEN_H))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    scratch = tempfile.mkdtemp(prefix=f"rtp-e2e-{args.case}-")
    workdir = os.path.join(scratch, "run")
    os.mkdir(workdir)
    procs = Processes()
    ok = False
    try:
        screen = Screen(procs, scratch)
        log(f"case {args.case}, Xvfb {screen.display} ({SCREEN_W}x{SCREEN_H}), working directory {workdir}")
        CASES[args.case](args, procs, screen, workdir)
        ok = True
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        log_path = os.path.join(scratch, "program.log")
        if os.path.exists(log_path) and os.path.getsize(log_path):
            print("--- program output ---\n" + open(log_path, errors="replace").read(), file=sys.stderr)
    finally:
        procs.stop_all()
        if ok and not args.keep:
            shutil.rmtree(scratch, ignore_errors=True)
        else:
            print(f"scratch directory kept: {scratch}", file=sys.stderr)
    if ok:
        log("PASS")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
