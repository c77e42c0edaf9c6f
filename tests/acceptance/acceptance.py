#!/usr/bin/env python3
"""Black-box acceptance of the window program: run the built tolvane as a user would, on a real
(virtual) display, and look only at what it leaves behind: settings, outputs, exit status.

Usage: acceptance.py BIN_DIR   (under xvfb-run; every case gets a home of its own)
"""
import os
import pathlib
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

BIN = pathlib.Path(sys.argv[1]).resolve()
TOLVANE = BIN / "tolvane"
WAVGEN = BIN / "tolvane-wavgen"
SECTION = "software\\hesterby\\tolvane"
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)


class Home:
    """A throw-away user: settings, plugin folder and runtime folder of its own."""

    def __init__(self):
        self.root = pathlib.Path(tempfile.mkdtemp(prefix="tolvane-acceptance-"))
        self.config = self.root / "config"
        self.run = self.root / "run"
        plugins = self.root / "data" / "gstreamer-1.0" / "plugins"
        for folder in (self.config / "hesterby", self.run, plugins, self.root / "cache"):
            folder.mkdir(parents=True)
        self.run.chmod(0o700)
        # Registered as a first start would leave it, so no first-start box waits for a click.
        shutil.copy(BIN / "libgstwavdest.so", plugins)
        self.conf = self.config / "hesterby" / "tolvane.conf"

    def env(self):
        env = dict(os.environ)
        env.update(HOME=str(self.root), XDG_CONFIG_HOME=str(self.config), XDG_DATA_HOME=str(self.root / "data"),
                   XDG_RUNTIME_DIR=str(self.run), XDG_CACHE_HOME=str(self.root / "cache"))
        env.pop("QT_QPA_PLATFORM", None)
        return env

    def write_settings(self, values):
        lines = ["[" + SECTION + "]"] + [f"{k}={v}" for k, v in values.items()]
        self.conf.write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")

    def settings(self):
        values = {}
        if not self.conf.exists():
            return values
        for line in self.conf.read_text(encoding="utf-8").splitlines():
            if "=" in line and not line.startswith("["):
                key, value = line.split("=", 1)
                values[key.strip().lower()] = value.strip()
        return values

    def start(self, *args, cwd=None):
        return subprocess.Popen([str(TOLVANE), *args], env=self.env(), cwd=cwd or self.root,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def wait_up(self, process, seconds=20.0):
        """Until the window holds its lock and has had time to come up."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and process.poll() is None:
            if (self.run / "tolvane.lock").exists():
                time.sleep(1.5)
                return True
            time.sleep(0.05)
        return False

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def finish(process, seconds=30.0):
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None


def wavgen(path, *args):
    subprocess.run([str(WAVGEN), str(path), *args], check=True, stdout=subprocess.DEVNULL)


def case_first_start_defaults():
    home = Home()
    process = home.start()
    check(home.wait_up(process), "first start: the window comes up")
    process.send_signal(signal.SIGTERM)
    check(finish(process) == 0, "first start: SIGTERM closes the window with status 0")
    s = home.settings()
    expected = {"targetfreq": "44100", "targetmode": "3", "usedither": "1", "decodeonly": "0", "encmp3": "0",
                "mp3bitrate": "128", "encmp2": "0", "soundpath": "***", "mp2mode": "***", "highquality": "0"}
    for key, value in expected.items():
        check(s.get(key) == value, f"first start: {key} written as {value!r} (got {s.get(key)!r})")
    check("mp2bitrate" not in s, "first start: no MP2 rate selected, none written")
    check("windowstate" in s and "windowleft" in s, "first start: the placement is written")
    home.cleanup()


def case_saved_choices_restored():
    home = Home()
    saved = {"TargetFreq": "22050", "TargetMode": "1", "UseDither": "0", "DecodeOnly": "0", "Encmp3": "0",
             "Encmp2": "1", "mp2BitRate": "192", "mp2Mode": "DualMono", "SoundPath": "/nowhere/out/",
             "HighQuality": "1"}
    home.write_settings(saved)
    process = home.start()
    check(home.wait_up(process), "restore: the window comes up")
    process.send_signal(signal.SIGTERM)
    check(finish(process) == 0, "restore: closed with status 0")
    s = home.settings()
    for key, value in saved.items():
        check(s.get(key.lower()) == value, f"restore: {key} comes back as {value!r} (got {s.get(key.lower())!r})")
    home.cleanup()


def case_command_line_run():
    home = Home()
    work = home.root / "work"
    out = home.root / "out"
    (work / "a folder.wav").mkdir(parents=True)
    out.mkdir()
    wavgen(work / "a song.wav", "--rate", "22050", "--bits", "16", "--channels", "1", "--seconds", "2")
    home.write_settings({"SoundPath": str(out) + "/", "TargetFreq": "44100", "TargetMode": "3"})
    start = time.monotonic()
    process = home.start("a song.wav", str(work / "a folder.wav"), str(work / "missing.wav"), cwd=work)
    status = finish(process, 60)
    check(status == 0, f"auto-run: the window closes itself with status 0 (got {status})")
    names = sorted(p.name for p in out.iterdir())
    check(names == ["a song.wav"], f"auto-run: one output, named after the source (got {names})")
    check(time.monotonic() - start < 30, "auto-run: done in reasonable time")
    check(home.settings().get("soundpath") == str(out) + "/", "auto-run: the settings are saved on the way out")
    home.cleanup()


def case_second_instance():
    home = Home()
    first = home.start()
    check(home.wait_up(first), "second instance: the first comes up")
    begun = time.monotonic()
    second = home.start()
    status = finish(second, 10)
    check(status == 0 and time.monotonic() - begun < 5, f"second instance: exits at once (status {status})")
    check(first.poll() is None, "second instance: the first is still running")
    first.send_signal(signal.SIGTERM)
    check(finish(first) == 0, "second instance: the first closes normally")
    home.cleanup()


def case_close_mid_run():
    # One row at a time on the window's thread, and rows at work on threads of their own (an MP3
    # encoding, so that the row is still at work when the signal comes).
    for jobs, extra in (("1", {"TargetMode": "0"}), ("0", {"TargetMode": "3", "Encmp3": "1", "mp3BitRate": "128"})):
        home = Home()
        out = home.root / "out"
        out.mkdir()
        source = home.root / "long.wav"
        wavgen(source, "--rate", "48000", "--bits", "16", "--channels", "2", "--seconds", "300", "--signal", "sweep")
        home.write_settings({"SoundPath": str(out) + "/", "TargetFreq": "22050", "Jobs": jobs, **extra})
        process = home.start(str(source))
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and process.poll() is None and not any(out.iterdir()):
            time.sleep(0.05)
        what = f"close mid-run (Jobs={jobs})"
        check(any(out.iterdir()), f"{what}: the conversion had begun")
        time.sleep(0.2)
        process.send_signal(signal.SIGTERM)
        status = finish(process, 30)
        check(status == 0, f"{what}: the program ends with status 0 (got {status})")
        left = sorted(p.name for p in out.iterdir())
        check(left == [], f"{what}: no partial output and no temporaries (found {left})")
        check(source.stat().st_size > 0, f"{what}: the source is untouched")
        check(home.settings().get("targetfreq") == "22050", f"{what}: the settings are saved")
        home.cleanup()


def window_geometry(title):
    """Left, top, width and height of the top-level window with this title, from the X server."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        if f'"{title}"' in line:
            # ... "Tolvane - Hesterby": ("tolvane" "tolvane")  900x700+0+0  +0+0: size, then place on screen
            size, place = line.split()[-2:]
            width, height = (int(v) for v in size.split("+")[0].split("x"))
            left, top = (int(v) for v in place.split("+")[1:3])
            return left, top, width, height
    return None


def screen_row(y):
    """Row y of the screen as (red, green, blue) pixels, from an XWD dump of the root window."""
    data = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
    fields = struct.unpack(">25I", data[:100])
    header_size, width, byte_order, bits_per_pixel, bytes_per_line, ncolors = (
        fields[0], fields[4], fields[7], fields[11], fields[12], fields[19])
    size = bits_per_pixel // 8
    if size not in (3, 4):
        return []
    start = header_size + 12 * ncolors + y * bytes_per_line
    pixels = [data[start + x:start + x + size] for x in range(0, size * width, size)]
    # Least significant byte first: blue, green, red; else red, green, blue last.
    return [(p[2], p[1], p[0]) if byte_order == 0 else (p[-3], p[-2], p[-1]) for p in pixels]


def case_window_grows_and_speaks_japanese():
    home = Home()
    # Kept from an earlier session at 900 x 700 (twips at 96 dpi).
    home.write_settings({"WindowWidth": "13500", "WindowHeight": "10500", "WindowLeft": "0", "WindowTop": "0"})
    process = home.start()
    check(home.wait_up(process), "grown: the window comes up")
    maps = pathlib.Path(f"/proc/{process.pid}/maps").read_text()
    check("qtbase_ja.qm" in maps, "Japanese: Qt's own translations are loaded at start-up")
    geometry = window_geometry("Tolvane - Hesterby")
    check(geometry is not None and geometry[2:] == (900, 700), f"grown: the window is 900 x 700 (got {geometry})")
    if geometry:
        left, top, width, height = geometry
        # The list's white rows, across the middle of the window: they reach past the smallest
        # window's width to the grown window's right margin.
        row = screen_row(top + height // 2)[left:left + width]
        white = [x for x, colour in enumerate(row) if colour == (255, 255, 255)]
        check(bool(white) and white[-1] > width - 40 and white[0] < 40,
              f"grown: the list spans the window's width (white from {white[:1]} to {white[-1:]})")
    process.send_signal(signal.SIGTERM)
    check(finish(process) == 0, "grown: closed with status 0")
    s = home.settings()
    check((s.get("windowwidth"), s.get("windowheight")) == ("13500", "10500"),
          f"grown: the size is kept (got {s.get('windowwidth')} x {s.get('windowheight')})")
    home.cleanup()


def case_command_line_run_with_a_failure():
    home = Home()
    work = home.root / "work"
    work.mkdir()
    wavgen(work / "good.wav", "--rate", "22050", "--bits", "16", "--channels", "1", "--seconds", "1")
    (work / "broken.ogg").write_bytes(b"not an ogg file " * 400)
    home.write_settings({"TargetFreq": "44100", "TargetMode": "3"})
    process = home.start("good.wav", "broken.ogg", cwd=work)
    status = finish(process, 60)
    check(status == 1, f"auto-run with an undecodable file: the window closes with status 1 (got {status})")
    check((work / "good01.wav").exists(), "auto-run with an undecodable file: the good file is still converted")
    home.cleanup()


CASES = [case_first_start_defaults, case_saved_choices_restored, case_command_line_run, case_second_instance,
         case_close_mid_run, case_window_grows_and_speaks_japanese, case_command_line_run_with_a_failure]

if __name__ == "__main__":
    for case in CASES:
        print(f"== {case.__name__}", flush=True)
        case()
    if failures:
        print(f"{len(failures)} acceptance check(s) failed", file=sys.stderr)
        sys.exit(1)
    print("all acceptance checks passed")
