#!/usr/bin/env python3
"""Times tolvane-cli against peer tools and prints one Markdown table of medians, ratios and peak memory.

Usage (from the repository root, after a Release build; `make bench` builds and runs it):
    python3 bench/bench.py --bin build-release/bin [--runs 5] [--batch-runs 3] [--quick]
                           [--only pcm,decode,encode,info,batch,parallel,tags,quality,list,window] [--baseline DIR]
                           [--write bench/RESULTS.md]

Covers PCM conversion, decoding, MP3 encoding, file information and a batch of 40 mixed files, the
same batches with several files at once (group "parallel", side by side with --jobs 1; --baseline
adds another build's tolvane-cli, e.g. the main branch's, to its rows; the window's own automatic
run, offscreen, with one and with several rows at once, beside tolvane-cli), a batch of 40 tagged
files to MP3 with and without the tags copied (group "tags", a section of its own), and (groups "list" and
"window") the list view's model operations and repaints and the main window's start, intake and
memory, timed in-process by tolvane-bench-list and tolvane-bench-window. With --only naming just
the groups that have sections of their own (parallel, tags, quality, list, window), --write replaces only those
sections of the file.
Inputs are generated into bench/work/in (kept between runs); everything else also stays in
bench/work. The group "quality" times the high-quality converter against the exact one, sox
`rate -v` and ffmpeg (default and soxr), and adds the resampling quality table of bench/quality.py
(alias and image levels, signal-to-noise, pass band; needs numpy) in a section of its own.
The report goes to standard output (and to --write), progress to standard error.
The exit status is 0 even when a target is missed (look for MISSED); 1 when tolvane-cli fails.
"""

import argparse
import datetime
import os
import platform
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Optional

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "bench" / "work"
INPUTS = WORK / "in"
OUT = WORK / "out"
LOGS = WORK / "logs"
# tolvane-cli takes its defaults from the saved settings; an empty store keeps the user's out.
CONFIG = WORK / "config"
GNU_TIME = "/usr/bin/time"

TOLVANE = "tolvane-cli"
GROUPS = ("pcm", "decode", "encode", "info", "batch", "parallel", "tags", "quality")
# Groups reported in a section of their own rather than in the main table.
OWN_SECTION = ("parallel", "tags", "quality")
PARALLEL_HEADING = "## Parallel batches"
TAGS_HEADING = "## Tags in MP3 outputs"
QUALITY_HEADING = "## High-quality conversion"


@dataclass
class InProcess:
    """A benchmark program of the project's own that times itself and prints rows."""
    exe: str
    heading: str
    # (extra environment, arguments, what the run is) per run of the program
    runs: list
    about: str
    notes: list


IN_PROCESS = {
    "list": InProcess(
        "tolvane-bench-list", "## List view control",
        [({}, [], ""), ({"QT_SCALE_FACTOR": "2"}, ["--scroll"], " at 200 %")],
        "in-process, offscreen platform, the main window's three columns and one hidden value per row; "
        "the interface face chosen as at start-up.",
        ["Model rows: median of 15 timed runs after one warm-up; each run starts from a fresh list or a "
         "shuffled one (RndItem, not timed). The row as the file intake adds it sets the icon, the path "
         "and three values.",
         "Repaint rows: the rows are scrolled down one page at a time (SetTopItem) from the top to the "
         "end, and each page is painted at once with repaint(), so every figure is one whole paint of "
         "the row area; the statistics are over all pages.",
         "Wall-clock times include any time the process waits for the processor; on a loaded machine the "
         "slowest figures are that wait. The thread CPU time rows are the paint's own cost."]),
    "window": InProcess(
        "tolvane-bench-window", "## Main window",
        [({}, [], "")],
        "the window as main() makes it, offscreen platform, a throw-away settings store.",
        ["Start to a shown window: the program starts itself 16 times and the first start is not counted; "
         "each run measures from the parent's clock reading just before the start (so loading the program "
         "and its libraries counts) to the end of the window's first paint after start-up.",
         "Dropped files: 500 WAV and 500 MP3 files of half a second with Japanese and Latin names, listed "
         "as a drop lists them (name, length and format read from each file, one repaint at the end); "
         "median of 5 runs after one warm-up, each on an emptied list.",
         "Memory: the resident set of the process after start-up and one idle second, before any file "
         "is listed."]),
}

MAIN_RATE, MAIN_BITS, MAIN_CHANNELS = 44100, 16, 2
BATCH_FILES_PER_KIND = 10
# The batch is run a second time with every file cut to this share of its length; the difference
# separates the work that grows with the audio from the cost each file carries regardless.
SHORT_SHARE = 0.1

# Targets carried over from the earlier PCM and decode benchmarks, plus the batch ones.
PCM_MEMORY_LIMIT_MIB = 64.0
PCM_CP_FACTOR = 5.0
DECODE_LIMITS = {"mp3": ("mpg123", 1.2), "mp2": ("mpg123", 1.2), "m4a": ("ffmpeg", 2.0), "ogg": ("sox", 1.2)}
# FLAC against the faster of ffmpeg and the reference decoder.
FLAC_FACTOR = 1.2
ENCODE_LAME_FACTOR = 1.05
INFO_LIMIT_S = 1.0
BATCH_FFMPEG_FACTOR = 1.3
BATCH_OVERHEAD_LIMIT_MS = 50.0
# The high-quality converter against ffmpeg's default resampler (no slower) and sox rate -v (faster).
HQ_FFMPEG_FACTOR = 1.0
# Two jobs on two processors against one job; one processor against today's serial run.
PARALLEL_FACTOR = 0.6
# The window's automatic run against tolvane-cli with as many jobs.
WINDOW_CLI_FACTOR = 1.3
ONE_CORE_FACTOR = 1.05
MP3_BATCH_FILES, MP3_BATCH_SECONDS = 8, 45.0
# Copying a source's tags and cover into its MP3 output, per file of a 40-file batch.
TAGS_LIMIT_MS = 5.0
TAGS_BATCH_FILES, TAGS_BATCH_SECONDS = 40, 3.0


def note(msg):
    print("bench: " + msg, file=sys.stderr, flush=True)


def clear(path):
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    elif path.exists() or path.is_symlink():
        path.unlink()


def fresh_dir(path):
    clear(path)
    path.mkdir(parents=True)
    return path


def rel(path):
    try:
        return str(Path(path).relative_to(ROOT))
    except ValueError:
        return str(path)


# ---------------------------------------------------------------------------------------------
# Measuring one command


def run_measured(argv, log_path, env):
    """Runs argv; returns (exit status, wall seconds, CPU seconds, peak RSS in KiB).

    RSS and CPU come from wait4 as seen by /usr/bin/time: a child spawned from Python inherits
    Python's own high-water mark at exec, which would hide how little a small tool needs.
    """
    rss_file = log_path.with_suffix(".rss")
    use_time = os.access(GNU_TIME, os.X_OK)
    full = [GNU_TIME, "-f", "%M %U %S", "-o", str(rss_file)] + argv if use_time else argv
    with open(os.devnull, "rb") as devnull, open(log_path, "wb") as log:
        actions = [
            (os.POSIX_SPAWN_DUP2, devnull.fileno(), 0),
            (os.POSIX_SPAWN_DUP2, log.fileno(), 1),
            (os.POSIX_SPAWN_DUP2, log.fileno(), 2),
        ]
        start = time.perf_counter()
        pid = os.posix_spawn(full[0], full, env, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    rss, cpu = usage.ru_maxrss, usage.ru_utime + usage.ru_stime
    if use_time:
        try:
            # The last line: time puts a note about a failing command before it.
            fields = rss_file.read_text().splitlines()[-1].split()
            rss, cpu = int(fields[0]), float(fields[1]) + float(fields[2])
        except (OSError, ValueError, IndexError):
            pass
        rss_file.unlink(missing_ok=True)
    return os.waitstatus_to_exitcode(status), wall, cpu, rss


def log_tail(path, limit=300):
    try:
        text = path.read_text(errors="replace").strip()
    except OSError:
        return ""
    return " ".join(text[-limit:].split())


# ---------------------------------------------------------------------------------------------
# Checking outputs


def wav_format(path):
    """(format tag, channels, rate, bits, seconds) of a WAV file, or None when it is not one."""
    try:
        with open(path, "rb") as f:
            head = f.read(65536)
        size = path.stat().st_size
    except OSError:
        return None
    if len(head) < 12 or head[:4] != b"RIFF" or head[8:12] != b"WAVE":
        return None
    pos, fmt = 12, None
    while pos + 8 <= len(head):
        cid, length = head[pos:pos + 4], struct.unpack("<I", head[pos + 4:pos + 8])[0]
        if cid == b"fmt " and pos + 24 <= len(head):
            tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", head[pos + 8:pos + 24])
            if tag == 0xFFFE and pos + 34 <= len(head):
                tag = struct.unpack("<H", head[pos + 32:pos + 34])[0]
            fmt = (tag, channels, rate, align, bits)
        elif cid == b"data":
            if fmt is None or fmt[2] == 0 or fmt[3] == 0:
                return None
            # A streamed writer may leave the size unset; the rest of the file is the data then.
            data = min(length, size - pos - 8)
            tag, channels, rate, align, bits = fmt
            return tag, channels, rate, bits, data / align / rate
        pos += 8 + length + (length & 1)
    return None


@dataclass
class Expect:
    ext: str                       # output file extension
    count: int                     # output files expected
    fmt: Optional[tuple] = None    # (rate, channels, bits) of WAV outputs
    seconds: float = 0.0           # total length of the outputs
    kbps: Optional[int] = None     # constant bit rate of MP3 outputs
    tagged: Optional[bool] = None  # whether MP3 outputs start with an ID3v2 tag


def id3v2_size(head):
    """Bytes of the ID3v2 tag at the start of head; 0 when there is none."""
    if len(head) < 10 or head[:3] != b"ID3":
        return 0
    return 10 + (head[6] << 21 | head[7] << 14 | head[8] << 7 | head[9])


def check_outputs(folder, expect):
    """Returns (error, remark): error when nothing usable was written, remark for a doubtful output."""
    files = sorted(p for p in folder.iterdir()) if folder.is_dir() else []
    wanted = [p for p in files if p.suffix.lower() == expect.ext and not p.name.startswith("~")]
    others = [p.name for p in files if p not in wanted]
    if len(wanted) != expect.count:
        return f"{len(wanted)} {expect.ext} outputs instead of {expect.count}", None
    remarks = []
    if others:
        remarks.append("left behind: " + ", ".join(others[:5]))
    if expect.ext == ".wav" and expect.count:
        total = 0.0
        for p in wanted:
            info = wav_format(p)
            if info is None:
                return f"{p.name} is not a readable WAV file", None
            tag, channels, rate, bits, seconds = info
            total += seconds
            if expect.fmt and (rate, channels, bits) != expect.fmt:
                remarks.append(f"{p.name} is {rate} Hz {channels} ch {bits} bit (tag {tag}), "
                               f"expected {expect.fmt[0]} Hz {expect.fmt[1]} ch {expect.fmt[2]} bit")
        slack = 0.02 * expect.seconds + 0.2 * expect.count
        if abs(total - expect.seconds) > slack:
            remarks.append(f"outputs last {total:.2f} s, expected {expect.seconds:.2f} s")
    if expect.kbps:
        size = 0
        for p in wanted:
            with open(p, "rb") as f:
                tag = id3v2_size(f.read(10))
                f.seek(tag)
                head = f.read(8192)
            if expect.tagged is not None and bool(tag) != expect.tagged:
                remarks.append(f"{p.name} {'has no' if expect.tagged else 'has a'} tag")
            if b"Info" not in head and b"Xing" not in head:
                remarks.append(f"{p.name} has no Info tag")
            size += p.stat().st_size - tag
        nominal = expect.kbps * 1000 / 8 * expect.seconds
        if abs(size - nominal) > 0.05 * nominal:
            remarks.append(f"{size} bytes, {expect.kbps} kbit/s for {expect.seconds:.1f} s is {nominal:.0f}")
    return None, ("; ".join(remarks) or None)


# ---------------------------------------------------------------------------------------------
# Inputs


def generate(path, make):
    """Calls make(tmp) to write path through a temporary name, so no half-made input is reused."""
    if path.is_file() and path.stat().st_size > 0:
        return path
    tmp = path.with_name(path.stem + ".partial" + path.suffix)
    clear(tmp)
    path.parent.mkdir(parents=True, exist_ok=True)
    make(tmp)
    tmp.rename(path)
    return path


def quiet_run(argv):
    subprocess.run(argv, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


class InputMaker:
    def __init__(self, wavgen, exes):
        self.wavgen = wavgen
        self.exes = exes

    def wav(self, path, rate, bits, channels, seconds, signal):
        def make(tmp):
            argv = [str(self.wavgen), str(tmp), "--rate", str(rate), "--bits", str(bits), "--channels",
                    str(channels), "--seconds", f"{seconds:g}", "--signal", signal]
            if signal == "sweep" and rate >= 44100:
                argv += ["--freq", "20", "--freq2", "20000"]
            elif signal == "tone":
                argv += ["--freq", str(220 + 110 * (rate % 7))]
            elif signal == "noise":
                argv += ["--amplitude", "0.3"]
            quiet_run(argv)
        return generate(path, make)

    def encoded(self, path, source_wav, kind, setting):
        """An MP3 (lame), M4A (ffmpeg AAC), MP2 or OGG (ffmpeg) from source_wav."""
        def make(tmp):
            if kind == "mp3":
                quiet_run([self.exes["lame"], "--quiet"] + setting + [str(source_wav), str(tmp)])
            else:
                codec = {"m4a": "aac", "mp2": "mp2", "ogg": "libvorbis", "flac": "flac"}[kind]
                quiet_run([self.exes["ffmpeg"], "-nostdin", "-v", "error", "-i", str(source_wav), "-c:a", codec]
                          + setting + [str(tmp)])
        return generate(path, make)


    def tagged(self, path, source_wav, cover, index):
        """source_wav with Japanese tags (and, but in WAV, cover as its front cover) through ffmpeg."""
        kind = path.suffix[1:]
        tags = {"title": f"夏の海辺で {index}", "artist": "東京事変", "album": "ピアノ練習曲 第3番",
                "album_artist": "アルバムアーティスト", "track": f"{index % 12 + 1}/12", "disc": "1/2",
                "date": "2019-05-04", "genre": "ジャズ", "comment": "テストのコメント", "composer": "作曲家"}

        def make(tmp):
            argv = [self.exes["ffmpeg"], "-nostdin", "-v", "error", "-i", str(source_wav)]
            codec = {"mp3": ["-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version", "3"],
                     "m4a": ["-c:a", "aac", "-b:a", "128k"], "flac": ["-c:a", "flac"],
                     "wav": ["-c:a", "pcm_s16le"]}[kind]
            if kind != "wav":
                argv += ["-i", str(cover), "-map", "0:a", "-map", "1:v", "-c:v", "copy",
                         "-disposition:v", "attached_pic"]
            for key, value in tags.items():
                argv += ["-metadata", f"{key}={value}"]
            quiet_run(argv + codec + [str(tmp)])
        return generate(path, make)


MAIN_ENCODINGS = {
    "mp3": ["--cbr", "-b", "128"],
    "mp2": ["-b:a", "192k"],
    "m4a": ["-b:a", "128k"],
    "ogg": ["-q:a", "4"],
    "flac": [],
}

# (rate, bits, channels) of the batch's WAV files; none is already 22050 Hz Stereo16bit,
# which tolvane-cli would leave alone.
BATCH_WAVS = [(8000, 8, 1), (11025, 16, 1), (16000, 16, 2), (22050, 8, 2), (24000, 24, 1),
              (32000, 16, 2), (44100, 16, 2), (44100, 24, 2), (48000, 16, 2), (96000, 24, 2)]
# (rate, channels, encoder setting); half the MP3 files carry an ID3v2 tag, which makes tolvane-cli
# cut the file to its frames first.
BATCH_MP3S = [(44100, 2, ["-b", "128"]), (44100, 2, ["-V", "2"]), (48000, 2, ["-b", "192"]),
              (32000, 2, ["-b", "96"]), (44100, 1, ["-b", "64"]), (22050, 2, ["-b", "64"]),
              (24000, 1, ["-b", "48"]), (44100, 2, ["-b", "320"]), (48000, 2, ["-V", "5"]),
              (16000, 1, ["-b", "32"])]
BATCH_M4AS = [(44100, 2, "128k"), (48000, 2, "192k"), (44100, 1, "96k"), (32000, 2, "96k"), (22050, 2, "64k"),
              (44100, 2, "256k"), (48000, 1, "64k"), (24000, 2, "64k"), (44100, 2, "160k"), (16000, 1, "32k")]
BATCH_OGGS = [(44100, 2, "4"), (48000, 2, "6"), (44100, 1, "3"), (22050, 2, "2"), (32000, 2, "4"),
              (44100, 2, "8"), (48000, 1, "5"), (16000, 1, "3"), (24000, 2, "4"), (44100, 2, "0")]
SIGNALS = ["sweep", "tone", "noise"]


def batch_seconds(index, quick):
    """20 to 60 seconds, spread over the 40 files (a tenth of that with --quick)."""
    seconds = 20 + (index * 23) % 41
    return seconds / 10 if quick else float(seconds)


def make_batch(maker, folder, share, quick):
    """The 40 batch files at share of their length; returns (paths, total seconds)."""
    tmp = INPUTS / "tmp"
    paths, total = [], 0.0
    index = 0
    for kind, layouts in (("wav", BATCH_WAVS), ("mp3", BATCH_MP3S), ("m4a", BATCH_M4AS), ("ogg", BATCH_OGGS)):
        for n, layout in enumerate(layouts):
            seconds = round(batch_seconds(index, quick) * share, 3)
            signal = SIGNALS[index % len(SIGNALS)]
            total += seconds
            stem = f"b{index:02d}-{kind}-{signal}-{seconds:g}s"
            if kind == "wav":
                rate, bits, channels = layout
                path = folder / f"{stem}-{rate}-{bits}bit-{channels}ch.wav"
                maker.wav(path, rate, bits, channels, seconds, signal)
            else:
                rate, channels, setting = layout
                if kind == "mp3":
                    enc = setting + (["--add-id3v2", "--tt", f"Bench {index}", "--ta", "Tolvane"] if n % 2 == 0 else [])
                    label = "".join(setting).replace("-", "")
                elif kind == "m4a":
                    enc, label = ["-b:a", setting], setting
                else:
                    enc, label = ["-q:a", setting], "q" + setting
                path = folder / f"{stem}-{rate}-{channels}ch-{label}.{kind}"
                if not path.is_file():
                    source = maker.wav(tmp / f"{stem}-{rate}-{channels}ch.wav", rate, 16, channels, seconds, signal)
                    maker.encoded(path, source, kind, enc)
                    clear(source)
            paths.append(path)
            index += 1
    return paths, total


def make_info_files(maker, folder):
    """500 WAV and 500 MP3 files of half a second."""
    marker = folder / "complete"
    if not marker.is_file():
        fresh_dir(folder)
        tmp = INPUTS / "tmp"
        wav = maker.wav(tmp / "info-one.wav", 44100, 16, 2, 0.5, "tone")
        mp3 = maker.encoded(tmp / "info-one.mp3", wav, "mp3", ["-b", "128"])
        for i in range(500):
            shutil.copyfile(wav, folder / f"{i:03d}-w.wav")
            shutil.copyfile(mp3, folder / f"{i:03d}-m.mp3")
        clear(wav)
        clear(mp3)
        marker.write_text("")
    return sorted(p for p in folder.iterdir() if p.suffix in (".wav", ".mp3"))


# ---------------------------------------------------------------------------------------------
# What is measured


@dataclass
class Tool:
    name: str
    argv: Callable            # (inputs, out folder) -> argv
    expect: Optional[Expect]  # None: only the exit status counts
    ours: bool = False        # a tolvane-cli run under another name: it gets the empty settings store


@dataclass
class Item:
    key: str
    group: str
    label: str
    inputs: list
    tools: list
    runs: int
    walls: dict = field(default_factory=dict)
    cpus: dict = field(default_factory=dict)
    rss: dict = field(default_factory=dict)
    errors: dict = field(default_factory=dict)
    remarks: dict = field(default_factory=dict)
    total_seconds: float = 0.0


def tolvane_argv(cli, rate, mode, extra):
    def argv(inputs, out):
        return [cli] + [str(p) for p in inputs] + ["--rate", str(rate), "--mode", mode, "--dither"] + extra + [
            "--out", str(out)]
    return argv


BATCH_LOOP = ('out=$1; shift; for f in "$@"; do b=${f##*/}; '
              'ffmpeg -nostdin -v error -i "$f" -ar 22050 -ac 2 -c:a pcm_s16le "$out/${b%.*}.wav" || exit 1; done')


def build_items(args, exes, cli, maker):
    seconds = 60.0 if args.quick else 600.0
    runs = 1 if args.quick else args.runs
    batch_runs = 1 if args.quick else args.batch_runs
    main_wav = maker.wav(INPUTS / f"main-{seconds:g}s-{MAIN_RATE}-{MAIN_BITS}bit-{MAIN_CHANNELS}ch.wav",
                         MAIN_RATE, MAIN_BITS, MAIN_CHANNELS, seconds, "sweep")
    ff, items = exes.get("ffmpeg"), []

    def have(*names):
        return all(n in exes for n in names)

    if "pcm" in args.only:
        for rate, mode, bits, channels, codec in ((48000, "Stereo16bit", 16, 2, "pcm_s16le"),
                                                  (22050, "Mono8bit", 8, 1, "pcm_u8")):
            expect = Expect(".wav", 1, (rate, channels, bits), seconds)
            tools = [Tool(TOLVANE, tolvane_argv(cli, rate, mode, ["--no-decode-only", "--wav"]), expect)]
            if have("sox"):
                tools.append(Tool("sox", lambda i, o, r=rate, b=bits, c=channels: [
                    exes["sox"], str(i[0]), "-r", str(r), "-b", str(b), "-c", str(c), str(o / "out.wav")], expect))
                tools.append(Tool("sox rate -q", lambda i, o, r=rate, b=bits, c=channels: [
                    exes["sox"], str(i[0]), "-b", str(b), "-c", str(c), str(o / "out.wav"), "rate", "-q", str(r)],
                    expect))
            if ff:
                tools.append(Tool("ffmpeg", lambda i, o, r=rate, c=channels, k=codec: [
                    ff, "-nostdin", "-v", "error", "-i", str(i[0]), "-ar", str(r), "-ac", str(c), "-c:a", k,
                    str(o / "out.wav")], expect))
            if have("cp"):
                tools.append(Tool("cp", lambda i, o: [exes["cp"], str(i[0]), str(o / "out.wav")],
                                  Expect(".wav", 1, (MAIN_RATE, MAIN_CHANNELS, MAIN_BITS), seconds)))
            items.append(Item(f"pcm-{rate}-{mode}", "pcm", f"WAV {seconds / 60:g} min → {rate} Hz {mode}",
                              [main_wav], tools, runs))

    if "decode" in args.only and ff:
        for kind, name in (("mp3", "MP3 128k CBR (lame)"), ("m4a", "M4A AAC 128k (ffmpeg)"),
                           ("mp2", "MP2 192k (ffmpeg)"), ("ogg", "OGG Vorbis q4 (ffmpeg)"),
                           ("flac", "FLAC level 5 (ffmpeg)")):
            if kind == "mp3" and not have("lame"):
                continue
            src = maker.encoded(INPUTS / f"{Path(main_wav).stem}.{kind}", main_wav, kind, MAIN_ENCODINGS[kind])
            expect = Expect(".wav", 1, (MAIN_RATE, MAIN_CHANNELS, MAIN_BITS), seconds)
            tools = [Tool(TOLVANE, tolvane_argv(cli, MAIN_RATE, "Stereo16bit", ["--decode-only", "--wav"]), expect),
                     Tool("ffmpeg", lambda i, o: [ff, "-nostdin", "-v", "error", "-i", str(i[0]), "-c:a", "pcm_s16le",
                                                  str(o / "out.wav")], expect)]
            if kind in ("mp3", "mp2") and have("mpg123"):
                tools.append(Tool("mpg123", lambda i, o: [exes["mpg123"], "-q", "-w", str(o / "out.wav"), str(i[0])],
                                  expect))
            if kind == "flac" and have("flac"):
                tools.append(Tool("flac -d", lambda i, o: [exes["flac"], "-d", "-s", "-o", str(o / "out.wav"),
                                                           str(i[0])], expect))
            if kind == "ogg" and have("sox"):
                tools.append(Tool("sox", lambda i, o: [exes["sox"], str(i[0]), "-b", "16", str(o / "out.wav")],
                                  expect))
            items.append(Item(f"decode-{kind}", "decode", f"{name} {seconds / 60:g} min → WAV, decode only",
                              [src], tools, runs))

    if "encode" in args.only:
        expect = Expect(".mp3", 1, seconds=seconds, kbps=128)
        tools = [Tool(TOLVANE, tolvane_argv(cli, MAIN_RATE, "Stereo16bit", ["--no-decode-only", "--mp3", "128"]),
                      expect)]
        if have("lame"):
            tools.append(Tool("lame -b 128", lambda i, o: [exes["lame"], "--quiet", "--cbr", "-b", "128", str(i[0]),
                                                           str(o / "out.mp3")], expect))
        if ff:
            tools.append(Tool("ffmpeg libmp3lame", lambda i, o: [
                ff, "-nostdin", "-v", "error", "-i", str(i[0]), "-c:a", "libmp3lame", "-b:a", "128k",
                str(o / "out.mp3")], expect))
        items.append(Item("encode-mp3", "encode", f"WAV {seconds / 60:g} min → MP3 128 kbit/s CBR", [main_wav],
                          tools, runs))

    if "info" in args.only and have("lame"):
        files = make_info_files(maker, INPUTS / "info")
        items.append(Item("info", "info", f"--info over {len(files)} WAV and MP3 files of 0.5 s", files,
                          [Tool(TOLVANE, lambda i, o: [cli, "--info"] + [str(p) for p in i], None)], runs))

    if "batch" in args.only and ff and have("lame", "sh"):
        tag = "quick" if args.quick else "full"
        full, full_s = make_batch(maker, INPUTS / f"batch-{tag}", 1.0, args.quick)
        short, short_s = make_batch(maker, INPUTS / f"batch-{tag}-short", SHORT_SHARE, args.quick)
        loop = lambda i, o: [exes["sh"], "-c", BATCH_LOOP, "sh", str(o)] + [str(p) for p in i]  # noqa: E731
        # One file at a time, like the loop it is weighed against; the parallel group has the rest.
        batch_argv = tolvane_argv(cli, 22050, "Stereo16bit", ["--no-decode-only", "--wav", "--jobs", "1"])
        for key, files, total, label in (
                ("batch", full, full_s, f"Batch of {len(full)} mixed files ({total_minutes(full_s)}) → 22050 Hz "
                                        "Stereo16bit"),
                ("batch-short", short, short_s, f"Same batch, each file cut to {SHORT_SHARE:g} of its length")):
            expect = Expect(".wav", len(files), (22050, 2, 16), total)
            items.append(Item(key, "batch", label, files, [Tool(TOLVANE, batch_argv, expect),
                                                           Tool("ffmpeg loop (sh)", loop, expect)], batch_runs,
                              total_seconds=total))
        # A file already in the target format: start-up and one header read, nothing written.
        idle = maker.wav(INPUTS / "idle-22050-16bit-2ch.wav", 22050, 16, 2, 0.1, "tone")
        items.append(Item("startup", "batch", "Start-up: one WAV already at 22050 Hz Stereo16bit (nothing written)",
                          [idle], [Tool(TOLVANE, batch_argv, Expect(".wav", 0))], runs))
    if "parallel" in args.only and ff and have("lame"):
        items += parallel_items(args, cli, maker, main_wav, seconds)
    if "tags" in args.only and ff:
        items.append(tags_item(args, cli, maker))
    if "quality" in args.only:
        items += quality_items(args, exes, cli, main_wav, seconds)
    return items, main_wav, seconds


def tags_item(args, cli, maker):
    """40 tagged files (MP3, M4A and FLAC with a cover, WAV with LIST-INFO) to MP3, without and with tags."""
    tag = "quick" if args.quick else "full"
    folder = INPUTS / f"tags-batch-{tag}"
    seconds = TAGS_BATCH_SECONDS / 3 if args.quick else TAGS_BATCH_SECONDS
    cover = folder / "cover.jpg"
    generate(cover, lambda tmp: quiet_run([maker.exes["ffmpeg"], "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                           "testsrc=size=600x600", "-frames:v", "1", "-q:v", "3", "-f", "mjpeg",
                                           str(tmp)]))
    inputs = []
    for i in range(TAGS_BATCH_FILES):
        kind = ("mp3", "m4a", "flac", "wav")[i % 4]
        signal = SIGNALS[i % 3]
        source = maker.wav(INPUTS / "tmp" / f"t{i:02d}-{signal}.wav", MAIN_RATE, 16, 2, seconds, signal)
        inputs.append(maker.tagged(folder / f"t{i:02d}-{signal}-{seconds:g}s.{kind}", source, cover, i))
        clear(source)
    runs = 1 if args.quick else args.batch_runs
    total = TAGS_BATCH_FILES * seconds

    def run(flag):
        argv = tolvane_argv(cli, MAIN_RATE, "Stereo16bit", ["--no-decode-only", "--mp3", "128", "--jobs", "1", flag])
        return Tool(flag, argv, Expect(".mp3", len(inputs), seconds=total, kbps=128, tagged=flag == "--tags"),
                    ours=True)
    tools = [run("--no-tags"), run("--tags")]
    label = f"{len(inputs)} tagged files of {seconds:g} s (MP3, M4A, FLAC, WAV) → MP3 128 kbit/s"
    return Item("tags-batch", "tags", label, inputs, tools, runs, total_seconds=total)


def quality_items(args, exes, cli, main_wav, seconds):
    """The 10-minute PCM conversion with both converters and the filtering peers; the first is ours."""
    expect = Expect(".wav", 1, (48000, 2, 16), seconds)
    common = ["--no-decode-only", "--wav", "--jobs", "1"]
    hq = tolvane_argv(cli, 48000, "Stereo16bit", common + ["--high-quality"])
    tools = [Tool("Tolvane high quality", hq, expect, ours=True),
             Tool("Tolvane exact", tolvane_argv(cli, 48000, "Stereo16bit", common + ["--no-high-quality"]), expect,
                  ours=True)]
    if shutil.which("taskset"):
        tools.append(Tool("Tolvane high quality, one processor", lambda i, o: ["taskset", "-c", "0"] + hq(i, o),
                          expect, ours=True))
    if "ffmpeg" in exes:
        for name, extra in (("ffmpeg (default)", []), ("ffmpeg soxr", ["-af", "aresample=resampler=soxr"])):
            tools.append(Tool(name, lambda i, o, e=extra: [exes["ffmpeg"], "-nostdin", "-v", "error", "-i", str(i[0])]
                              + e + ["-ar", "48000", "-ac", "2", "-c:a", "pcm_s16le", str(o / "out.wav")], expect))
    if "sox" in exes:
        tools.append(Tool("sox rate -v", lambda i, o: [exes["sox"], str(i[0]), "-b", "16", "-c", "2",
                                                       str(o / "out.wav"), "rate", "-v", "48000"], expect))
    return [Item("quality-pcm", "quality", f"WAV {seconds / 60:g} min → 48000 Hz Stereo16bit", [main_wav], tools,
                 1 if args.quick else args.runs)]


def parallel_items(args, cli, maker, main_wav, seconds):
    """The batches with one and with two files at once, side by side; the first tool is the reference."""
    runs = 1 if args.quick else args.runs
    tag = "quick" if args.quick else "full"
    batch, batch_s = make_batch(maker, INPUTS / f"batch-{tag}", 1.0, args.quick)
    mp3_seconds = MP3_BATCH_SECONDS / 10 if args.quick else MP3_BATCH_SECONDS
    mp3s = [maker.wav(INPUTS / f"mp3-batch-{tag}" / f"m{i}-{SIGNALS[i % 3]}-{mp3_seconds:g}s.wav", MAIN_RATE, 16, 2,
                      mp3_seconds, SIGNALS[i % 3]) for i in range(MP3_BATCH_FILES)]
    one_core = ["taskset", "-c", "0"] if shutil.which("taskset") else None
    baseline = str(Path(args.baseline).resolve() / TOLVANE) if args.baseline else None

    def run(name, rate, mode, extra, jobs, exe=cli, pinned=False):
        argv = tolvane_argv(exe, rate, mode, extra + ([] if jobs is None else ["--jobs", str(jobs)]))
        return Tool(name, (lambda i, o: one_core + argv(i, o)) if pinned else argv, None, ours=True)

    items = []
    wav = ["--no-decode-only", "--wav"]
    for key, label, inputs, rate, mode, extra, expect in (
            ("parallel-batch", f"Batch of {len(batch)} mixed files ({total_minutes(batch_s)}) → 22050 Hz Stereo16bit",
             batch, 22050, "Stereo16bit", wav, Expect(".wav", len(batch), (22050, 2, 16), batch_s)),
            ("parallel-mp3", f"{MP3_BATCH_FILES} WAV files of {mp3_seconds:g} s → MP3 128 kbit/s", mp3s, MAIN_RATE,
             "Stereo16bit", ["--no-decode-only", "--mp3", "128"],
             Expect(".mp3", MP3_BATCH_FILES, seconds=MP3_BATCH_FILES * mp3_seconds, kbps=128)),
            ("parallel-pcm", f"Two WAV files of {seconds / 60:g} min → 48000 Hz Stereo16bit (the same file twice)",
             [main_wav, main_wav], 48000, "Stereo16bit", wav, Expect(".wav", 2, (48000, 2, 16), 2 * seconds))):
        tools = [run("--jobs 1", rate, mode, extra, 1), run("--jobs 2", rate, mode, extra, 2)]
        if baseline and key == "parallel-batch":
            tools.append(run("baseline (serial)", rate, mode, extra, None, exe=baseline))
        for t in tools:
            t.expect = expect
        items.append(Item(key, "parallel", label, inputs, tools, runs, total_seconds=batch_s))
    window = Path(cli).parent / "tolvane"
    if os.access(window, os.X_OK):
        four = Expect(".wav", 4, (22050, 2, 16), 4 * seconds)
        items.append(Item("window-pcm", "parallel", f"Four WAV files of {seconds / 60:g} min → 22050 Hz Stereo16bit, "
                          "the window's automatic run beside tolvane-cli", [main_wav] * 4,
                          [run("--jobs 2", 22050, "Stereo16bit", wav, 2), window_tool("window", window, 22050, 0, four),
                           window_tool("window, Jobs=1", window, 22050, 1, four)],
                          runs, total_seconds=4 * seconds))
        items[-1].tools[0].expect = four
        eight = Expect(".mp3", MP3_BATCH_FILES, seconds=MP3_BATCH_FILES * mp3_seconds, kbps=128)
        items.append(Item("window-mp3", "parallel", f"{MP3_BATCH_FILES} WAV files of {mp3_seconds:g} s → MP3 "
                          "128 kbit/s in the window", mp3s,
                          [window_tool("window, Jobs=1", window, MAIN_RATE, 1, eight, mp3=True),
                           window_tool("window", window, MAIN_RATE, 0, eight, mp3=True)],
                          runs, total_seconds=MP3_BATCH_FILES * mp3_seconds))
    if one_core:
        expect = Expect(".wav", len(batch), (22050, 2, 16), batch_s)
        tools = [run("--jobs 1, one processor", 22050, "Stereo16bit", wav, 1, pinned=True),
                 run("default jobs, one processor", 22050, "Stereo16bit", wav, None, pinned=True),
                 run("--jobs 2, one processor", 22050, "Stereo16bit", wav, 2, pinned=True)]
        if baseline:
            tools.append(run("baseline, one processor", 22050, "Stereo16bit", wav, None, exe=baseline, pinned=True))
        for t in tools:
            t.expect = expect
        items.append(Item("parallel-1core", "parallel", "The same batch on one processor (taskset -c 0)", batch,
                          tools, runs, total_seconds=batch_s))
    return items


def window_tool(name, exe, rate, jobs, expect, mp3=False):
    """The window converting the files named on its command line and closing itself, offscreen, with a
    throw-away home whose settings choose the work; it checks its outputs like tolvane-cli's. The
    GStreamer registry, the registered writer plugin and the home folder (whose path the registry
    remembers) stay from run to run, as on a user's machine after the first start; tolvane-cli too
    runs with a warm registry."""
    kept = WORK / "window-home" / "kept"

    def argv(inputs, out):
        home = fresh_dir(WORK / "window-home" / slug(name))
        (home / "config" / "hesterby").mkdir(parents=True)
        (home / "config" / "hesterby" / "tolvane.conf").write_text(
            "[Software\\hesterby\\tolvane]\n"
            f"SoundPath={out}/\nTargetFreq={rate}\nTargetMode=3\nDecodeOnly=0\nUseDither=1\n"
            f"Encmp3={1 if mp3 else 0}\nmp3BitRate=128\nJobs={jobs}\n")
        return ["env", "QT_QPA_PLATFORM=offscreen", f"HOME={kept}", f"XDG_CONFIG_HOME={home / 'config'}",
                f"XDG_DATA_HOME={kept / 'data'}", f"XDG_CACHE_HOME={kept / 'cache'}", f"XDG_RUNTIME_DIR={home}",
                str(exe)] + [str(i) for i in inputs]
    return Tool(name, argv, expect)


def total_minutes(seconds):
    return f"{seconds / 60:.1f} min" if seconds >= 60 else f"{seconds:.0f} s"


# ---------------------------------------------------------------------------------------------
# Running


def slug(text):
    return "".join(c if c.isalnum() else "-" for c in text).strip("-")


def run_once(item, tool, env_for):
    out = fresh_dir(OUT / slug(item.key) / slug(tool.name))
    log = LOGS / f"{slug(item.key)}--{slug(tool.name)}.log"
    status, wall, cpu, rss = run_measured(tool.argv(item.inputs, out), log, env_for(tool))
    error, remark = None, None
    if status != 0:
        error = f"exit status {status}: {log_tail(log)}"
    elif tool.expect is not None:
        error, remark = check_outputs(out, tool.expect)
        if error:
            error += f" ({log_tail(log, 200)})"
    clear(out)
    return wall, cpu, rss, error, remark


def measure(items, env_for):
    for group in GROUPS:
        group_items = [it for it in items if it.group == group]
        if not group_items:
            continue
        # Every tool then reads its input, and loads its libraries, from the page cache.
        for it in group_items:
            for p in it.inputs:
                with open(p, "rb") as f:
                    while f.read(1 << 20):
                        pass
        note(f"{group}: warm-up round")
        for it in group_items:
            for tool in it.tools:
                _, _, rss, error, remark = run_once(it, tool, env_for)
                it.rss[tool.name] = rss
                it.walls[tool.name], it.cpus[tool.name] = [], []
                if error:
                    it.errors[tool.name] = error
                    note(f"{it.key}: {tool.name} FAILED: {error}")
                if remark:
                    it.remarks[tool.name] = remark
        rounds = max(it.runs for it in group_items)
        for r in range(rounds):
            for it in group_items:
                if r >= it.runs:
                    continue
                # Rotated each round, so slow drift (heat, other load) spreads over every tool.
                shift = r % len(it.tools)
                for tool in it.tools[shift:] + it.tools[:shift]:
                    if tool.name in it.errors:
                        continue
                    wall, cpu, rss, error, remark = run_once(it, tool, env_for)
                    if error:
                        it.errors[tool.name] = error
                        note(f"{it.key}: {tool.name} FAILED: {error}")
                        continue
                    if remark:
                        it.remarks[tool.name] = remark
                    it.walls[tool.name].append(wall)
                    it.cpus[tool.name].append(cpu)
                    it.rss[tool.name] = max(it.rss[tool.name], rss)
                    note(f"{group} round {r + 1}/{it.runs}: {it.key}: {tool.name} {wall:.3f} s")


def median(item, tool):
    if item is None or tool in item.errors or not item.walls.get(tool):
        return None
    return statistics.median(item.walls[tool])


# ---------------------------------------------------------------------------------------------
# Report


def first_line(argv):
    try:
        out = subprocess.run(argv, capture_output=True, text=True, timeout=30)
        lines = [ln.strip() for ln in (out.stdout or out.stderr).splitlines() if ln.strip()]
        return lines[0] if lines else "?"
    except (OSError, subprocess.SubprocessError):
        return "?"


def machine_lines():
    model = "unknown CPU"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    memory = "?"
    try:
        for line in Path("/proc/meminfo").read_text().splitlines():
            if line.startswith("MemTotal:"):
                memory = f"{int(line.split()[1]) / 2**20:.1f} GiB"
    except (OSError, ValueError):
        pass
    return model, os.cpu_count(), len(os.sched_getaffinity(0)), memory


def load_average():
    try:
        return " ".join(Path("/proc/loadavg").read_text().split()[:3])
    except OSError:
        return "?"


def git_state():
    rev = first_line(["git", "-C", str(ROOT), "rev-parse", "--short", "HEAD"])
    dirty = subprocess.run(["git", "-C", str(ROOT), "status", "--porcelain", "--untracked-files=no"],
                           capture_output=True, text=True).stdout.strip()
    return rev + (" with uncommitted changes" if dirty else "")


def tool_versions():
    versions = []
    for name, argv, line_no in (("sox", ["sox", "--version"], 0), ("ffmpeg", ["ffmpeg", "-version"], 0),
                                ("lame", ["lame", "--version"], 0), ("mpg123", ["mpg123", "--version"], 0),
                                ("flac", ["flac", "--version"], 0),
                                ("GStreamer", ["gst-launch-1.0", "--version"], 1)):
        if not shutil.which(argv[0]):
            versions.append(f"{name}: not installed")
            continue
        try:
            out = subprocess.run(argv, capture_output=True, text=True, timeout=30)
            text = [ln.strip() for ln in (out.stdout or out.stderr).splitlines() if ln.strip()]
        except (OSError, subprocess.SubprocessError):
            text = []
        line = text[line_no] if len(text) > line_no else "?"
        line = line.replace("sox:", "").split("(")[0].strip()
        if name == "ffmpeg":
            line = " ".join(line.split()[:3])
        versions.append(f"{name}: {line}")
    return versions


def fmt_s(value):
    return "—" if value is None else f"{value:.3f}"


def markdown_table(headers, rows, right):
    """Lines of a Markdown table padded to its widest cells; the columns in right align right."""
    widths = [max([len(h)] + [len(r[i]) for r in rows]) for i, h in enumerate(headers)]

    def line(cells):
        return "| " + " | ".join(c.rjust(w) if i in right else c.ljust(w)
                                 for i, (c, w) in enumerate(zip(cells, widths))) + " |"

    rule = "|" + "|".join(("-" * (w + 1) + ":") if i in right else "-" * (w + 2) for i, w in enumerate(widths)) + "|"
    return [line(headers), rule] + [line(r) for r in rows]


def table(items):
    headers = ["Work", "Tool", "Median s", "Min–max s", "CPU s", "Runs", "tolvane-cli ÷ tool", "Peak RSS MiB"]
    rows = []
    for it in items:
        ours = median(it, TOLVANE)
        for n, tool in enumerate(it.tools):
            name = tool.name
            work = it.label if n == 0 else ""
            if name in it.errors:
                rows.append([work, name, "FAILED", "—", "—", "—", "—", "—"])
                continue
            walls = it.walls[name]
            med = statistics.median(walls) if walls else None
            spread = f"{min(walls):.3f}–{max(walls):.3f}" if walls else "—"
            if name == TOLVANE:
                ratio = "—"
            else:
                ratio = f"{ours / med:.2f}" if ours is not None and med else "—"
            cpu = fmt_s(statistics.median(it.cpus[name])) if walls else "—"
            rows.append([work, name, fmt_s(med), spread, cpu, str(len(walls)), ratio, f"{it.rss[name] / 1024:.1f}"])
    return markdown_table(headers, rows, {2, 3, 4, 5, 6, 7})


def verdicts(items):
    by_key = {it.key: it for it in items}
    lines, derived = [], []

    def verdict(ok, text):
        lines.append(("met" if ok else "MISSED") + " — " + text)

    def compare(it, peer, factor, what):
        ours, theirs = median(it, TOLVANE), median(it, peer)
        if ours is None or theirs is None:
            who = TOLVANE if ours is None else peer
            lines.append(f"MISSED — {it.label}: {what} (no figure: {who} failed or is missing)")
            return
        verdict(ours <= factor * theirs if factor else ours < theirs,
                f"{it.label}: {what} ({ours:.3f} s vs {theirs:.3f} s, ratio {ours / theirs:.2f})")

    pcm = [it for it in items if it.group == "pcm"]
    for it in pcm:
        compare(it, "ffmpeg", None, "faster than ffmpeg")
        compare(it, "sox rate -q", None, "faster than sox rate -q")
        compare(it, "cp", PCM_CP_FACTOR, f"within {PCM_CP_FACTOR:g}x of cp")
    if pcm:
        peaks = [it.rss[TOLVANE] / 1024 for it in pcm if TOLVANE not in it.errors]
        if peaks:
            verdict(max(peaks) < PCM_MEMORY_LIMIT_MIB,
                    f"PCM conversion: peak memory under {PCM_MEMORY_LIMIT_MIB:g} MiB ({max(peaks):.1f} MiB)")
    for kind, (peer, factor) in DECODE_LIMITS.items():
        it = by_key.get(f"decode-{kind}")
        if it:
            compare(it, peer, factor, f"within {factor:g}x of {peer}")
    if it := by_key.get("decode-flac"):
        peers = [(median(it, p), p) for p in ("ffmpeg", "flac -d") if median(it, p) is not None]
        if peers:
            fastest = min(peers)[1]
            compare(it, fastest, FLAC_FACTOR, f"within {FLAC_FACTOR:g}x of the fastest ({fastest})")
    if "encode-mp3" in by_key:
        compare(by_key["encode-mp3"], "lame -b 128", ENCODE_LAME_FACTOR, f"within {ENCODE_LAME_FACTOR:g}x of lame")
    if "info" in by_key:
        t = median(by_key["info"], TOLVANE)
        verdict(t is not None and t < INFO_LIMIT_S, f"{by_key['info'].label}: under {INFO_LIMIT_S:g} s "
                f"({fmt_s(t)} s)")

    full, short, idle = by_key.get("batch"), by_key.get("batch-short"), by_key.get("startup")
    if full:
        compare(full, "ffmpeg loop (sh)", BATCH_FFMPEG_FACTOR, f"within {BATCH_FFMPEG_FACTOR:g}x of the ffmpeg loop")
    if full and short:
        n = len(full.inputs)
        share = short.total_seconds / full.total_seconds
        fixed = {}
        for tool in (TOLVANE, "ffmpeg loop (sh)"):
            a, b = median(full, tool), median(short, tool)
            if a is None or b is None:
                continue
            work = (a - b) / (1 - share)
            fixed[tool] = a - work
            derived.append(f"{tool}: of the {a:.3f} s batch, {work:.3f} s grow with the audio and "
                           f"{fixed[tool]:.3f} s do not ({fixed[tool] / n * 1000:.1f} ms per file"
                           + (", start-up included)" if tool == TOLVANE else ", its start-up for every file)"))
        start = median(idle, TOLVANE)
        if TOLVANE in fixed and start is not None:
            per_file = (fixed[TOLVANE] - start) / n * 1000
            derived.append(f"{TOLVANE} start-up {start:.3f} s; fixed cost per file beyond it {per_file:.1f} ms")
            verdict(per_file <= BATCH_OVERHEAD_LIMIT_MS,
                    f"batch: at most {BATCH_OVERHEAD_LIMIT_MS:g} ms of overhead per file ({per_file:.1f} ms)")
        else:
            lines.append(f"MISSED — batch: at most {BATCH_OVERHEAD_LIMIT_MS:g} ms of overhead per file "
                         "(no figure: a batch run failed)")
    return lines, derived


def display_argv(tool, item, exes, cli):
    """The command of one tool with the paths replaced by short placeholders."""
    if item.group in ("batch", "parallel", "tags") and item.key != "startup":
        placeholder = [Path(f"FILE{i}") for i in (1, 2)]
    elif item.key == "info":
        placeholder = [Path("FILE1"), Path("FILE2")]
    else:
        placeholder = [Path("IN" + Path(item.inputs[0]).suffix)]
    argv = tool.argv(placeholder, Path("OUT"))
    names = {v: (rel(v) if v == cli else Path(v).name) for v in list(exes.values()) + [cli]}
    shown = [names.get(a, a) for a in argv]
    text = shlex.join(shown)
    if len(item.inputs) > 1:
        text = text.replace("FILE2", f"… FILE{len(item.inputs)}")
    return text


def report(items, args, exes, cli, main_wav, seconds, started, load_start, env_note):
    model, cpus, usable, memory = machine_lines()
    lines = ["# Tolvane benchmark" + (" — QUICK RUN (development only, not for the record)" if args.quick else ""),
             "",
             f"- Date: {started.strftime('%Y-%m-%d %H:%M %Z')}; load average at start {load_start}, "
             f"at end {load_average()}",
             f"- Machine: {model}; nproc {usable} (of {cpus}); {memory} memory; Linux {platform.release()}",
             f"- tolvane-cli: {rel(cli)} (Release), git {git_state()}",
             "- Peers: " + "; ".join(tool_versions()),
             f"- Single-file inputs: {rel(main_wav)} ({seconds / 60:g} min {MAIN_RATE} Hz {MAIN_BITS}-bit stereo "
             "sweep from tolvane-wavgen) and its MP3/M4A/MP2/OGG encodings",
             ""]
    lines += table(items)
    verdict_lines, derived = verdicts(items)
    lines += ["", "Notes:", ""]
    lines += [
        "- Median of the timed runs after one untimed warm-up run of every command; the tools of an item take "
        "turns, rotated each round. Inputs are read into the page cache first; outputs go to bench/work/out "
        "and are deleted after each run.",
        "- Median s: wall time of the whole command (not the deletion of its outputs). CPU s: median user + "
        "system time. Peak RSS: the child's max resident set. CPU and RSS come from wait4 through "
        "/usr/bin/time, so that Python's own size does not leak into them; for the shell loop they cover "
        "every ffmpeg (CPU summed, RSS the largest).",
        "- tolvane-cli ÷ tool: below 1 means tolvane-cli is faster.",
        f"- tolvane-cli: {env_note}; every option given explicitly (see the commands below). "
        "--decode-only writes the decoder's output unconverted.",
        "- Batch overhead per file: the batch runs twice, with every file at full length and cut to "
        f"{SHORT_SHARE:g} of it. Taking time as fixed + work × length, the two runs give the fixed part F; "
        "overhead per file = (F − start-up) / number of files, start-up being a run on one file that needs "
        "nothing. This counts everything a file costs that does not grow with its audio (probing, graph "
        "set-up and tear-down, temporary files, renames, codec start) and puts GStreamer's start-up on the "
        "files when the start-up run does not need it, so it errs on the high side.",
        "- MP3 encoding: all three run LAME at its default quality and joint stereo; the output check also "
        "looks for the Info tag and the size a constant 128 kbit/s gives.",
        "- Output check: every run's outputs are counted and their WAV headers read (rate, channels, bits, "
        "length); anything doubtful is listed below, a missing output or a failing exit status is FAILED.",
    ]
    lines += [f"- {d}" for d in derived]
    lines += output_notes(items)
    missing = [name for name in ("sox", "ffmpeg", "lame", "mpg123", "flac", "cp") if name not in exes]
    if missing:
        lines.append("- Not installed, so left out: " + ", ".join(missing))
    lines += ["", "Targets:", ""] + [f"- {v}" for v in verdict_lines]
    lines += ["", "Commands (IN, OUT, FILE… stand for the paths under bench/work):", ""]
    seen = set()
    for it in items:
        for tool in it.tools:
            text = display_argv(tool, it, exes, cli)
            if (it.group, tool.name, text) in seen:
                continue
            seen.add((it.group, tool.name, text))
            lines.append(f"- {it.label} — {tool.name}: `{text}`")
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------------------------
# Several files at once: one section of its own, each row against the item's first (--jobs 1).


def first_row_table(items, first_header, ratio_header):
    """The timings of items whose every row is weighed against the item's first."""
    headers = ["Work", first_header, "Median s", "Min–max s", "CPU s", "Runs", ratio_header, "Peak RSS MiB"]
    rows = []
    for it in items:
        first = median(it, it.tools[0].name)
        for n, tool in enumerate(it.tools):
            work = it.label if n == 0 else ""
            if tool.name in it.errors:
                rows.append([work, tool.name, "FAILED", "—", "—", "—", "—", "—"])
                continue
            walls = it.walls[tool.name]
            med = statistics.median(walls)
            ratio = "—" if n == 0 or first is None else f"{med / first:.2f}"
            rows.append([work, tool.name, fmt_s(med), f"{min(walls):.3f}–{max(walls):.3f}",
                         fmt_s(statistics.median(it.cpus[tool.name])), str(len(walls)), ratio,
                         f"{it.rss[tool.name] / 1024:.1f}"])
    return markdown_table(headers, rows, {2, 3, 4, 5, 6, 7})


def section_head(heading, load_start, about, alone, run_alone):
    """A section's heading and its lines on when, where and what ran."""
    model, cpus, usable, _ = machine_lines()
    lines = [heading, "",
             f"- Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}; load average at start "
             f"{load_start}, at end {load_average()}; {model}, nproc {usable} (of {cpus}); git {git_state()}",
             about]
    if alone:
        lines.append(f"- Run on its own (`{run_alone}`); the tables above come from their own run.")
    return lines + [""]


def targets_and_commands(verdicts, items, exes, cli, placeholders):
    """A section's closing lists: its verdicts, then every row's command line."""
    lines = ["", "Targets:", ""] + [f"- {v}" for v in verdicts]
    lines += ["", f"Commands ({placeholders} stand for the paths under bench/work):", ""]
    for it in items:
        for tool in it.tools:
            lines.append(f"- {it.label} — {tool.name}: `{display_argv(tool, it, exes, cli)}`")
    return lines


def output_notes(items):
    lines = []
    for it in items:
        for tool, remark in it.remarks.items():
            lines.append(f"- Output check, {it.label}, {tool}: {remark}")
        for tool, error in it.errors.items():
            lines.append(f"- FAILED, {it.label}, {tool}: {error}")
    return lines


def parallel_section(items, exes, cli, load_start, alone):
    lines = section_head(PARALLEL_HEADING, load_start,
                         "- tolvane-cli --jobs N converts N files at once (the default is one per processor it may "
                         "run on); the rows of an item ran side by side, taking turns in rotated order each round.",
                         alone, f"python3 bench/bench.py --bin {rel(Path(cli).parent)} --only parallel [--runs N] "
                         "[--baseline DIR]")
    lines += first_row_table(items, "Run", "÷ first run")

    by_key = {it.key: it for it in items}
    verdicts_ = []

    def against(key, tool, reference, factor, what):
        it = by_key.get(key)
        # The baseline rows exist only when --baseline named a build.
        if it is None or not {tool, reference} <= {t.name for t in it.tools}:
            return
        a, b = median(it, tool), median(it, reference)
        if a is None or b is None:
            verdicts_.append(f"MISSED — {it.label}: {what} (no figure: a run failed)")
            return
        verdicts_.append(f"{'met' if a <= factor * b else 'MISSED'} — {it.label}: {what} "
                         f"({a:.3f} s vs {b:.3f} s, ratio {a / b:.2f})")

    against("parallel-batch", "--jobs 2", "--jobs 1", PARALLEL_FACTOR, f"--jobs 2 at most {PARALLEL_FACTOR:g} × --jobs 1")
    against("parallel-mp3", "--jobs 2", "--jobs 1", PARALLEL_FACTOR, f"--jobs 2 at most {PARALLEL_FACTOR:g} × --jobs 1")
    against("parallel-batch", "--jobs 1", "baseline (serial)", ONE_CORE_FACTOR,
            f"--jobs 1 no slower than the baseline build (at most {ONE_CORE_FACTOR:g} ×)")
    against("parallel-1core", "default jobs, one processor", "--jobs 1, one processor", ONE_CORE_FACTOR,
            f"the default on one processor no slower than --jobs 1 (at most {ONE_CORE_FACTOR:g} ×)")
    against("parallel-1core", "default jobs, one processor", "baseline, one processor", ONE_CORE_FACTOR,
            f"the default on one processor no slower than the baseline build (at most {ONE_CORE_FACTOR:g} ×)")
    against("window-pcm", "window", "--jobs 2", WINDOW_CLI_FACTOR,
            f"the window at most {WINDOW_CLI_FACTOR:g} × tolvane-cli --jobs 2")
    against("window-mp3", "window", "window, Jobs=1", PARALLEL_FACTOR,
            f"the window at most {PARALLEL_FACTOR:g} × itself with Jobs=1")
    pcm = by_key.get("parallel-pcm")
    if pcm:
        for tool, jobs in (("--jobs 1", 1), ("--jobs 2", 2)):
            if tool in pcm.errors:
                continue
            per_worker = pcm.rss[tool] / 1024 / jobs
            verdicts_.append(f"{'met' if per_worker < PCM_MEMORY_LIMIT_MIB else 'MISSED'} — PCM conversion, {tool}: "
                             f"peak memory under {PCM_MEMORY_LIMIT_MIB:g} MiB per worker "
                             f"({pcm.rss[tool] / 1024:.1f} MiB for {jobs})")
    lines += ["", "Notes:", "",
              "- ÷ first run: the row's median over the item's first row; below 1 is faster. Peak RSS is the whole "
              "process, shared libraries included, so the per-worker figure divides all of it among the workers.",
              "- The one-processor rows run under `taskset -c 0`; there the default is one job, as the processors "
              "counted are those the process may run on.",
              "- baseline: another build's tolvane-cli given with --baseline (its path is in the commands below), "
              "run without --jobs.",
              "- window rows: the program started with the files on its command line, converting them and closing "
              "itself; the time includes its start-up to the first row (about 0.1 s: Qt, the Japanese face and the "
              "start-up's own 60 ms of waits), which tolvane-cli does not pay. The GStreamer registry and the home "
              "folder stay warm from run to run, as after a user's first start."]
    lines += output_notes(items)
    return "\n".join(lines + targets_and_commands(verdicts_, items, exes, cli, "FILE…")) + "\n"


# ---------------------------------------------------------------------------------------------
# Tags: the same batch to MP3 without and with the sources' tags copied.


def tags_section(items, exes, cli, load_start, alone):
    lines = section_head(TAGS_HEADING, load_start,
                         "- Every source carries title, artist, album, album artist, track, disc, date, genre, "
                         "comment and composer in Japanese (written by ffmpeg), the MP3, M4A and FLAC files also a "
                         "600×600 JPEG front cover; the WAV files keep theirs in LIST-INFO. Both rows run --jobs 1 "
                         "and took turns, rotated each round.",
                         alone, f"python3 bench/bench.py --bin {rel(Path(cli).parent)} --only tags [--batch-runs N]")
    lines += first_row_table(items, "Run", "÷ first run") + ["", "Notes:", "",
              "- The output check reads every output: with --tags each starts with an ID3v2 tag and still has "
              "LAME's Info frame as its first audio frame; with --no-tags none has a tag.",
              "- The cost per file is the difference of the two medians over the 40 files; the CPU figure, the "
              "same for user + system time, is less moved by other load on the machine."]
    lines += output_notes(items)
    verdicts_ = []
    for it in items:
        bare, tagged = median(it, "--no-tags"), median(it, "--tags")
        what = f"copying the tags costs at most {TAGS_LIMIT_MS:g} ms per file"
        if bare is None or tagged is None:
            verdicts_.append(f"MISSED — {it.label}: {what} (no figure: a run failed)")
            continue
        per_file = (tagged - bare) * 1000 / len(it.inputs)
        cpu = (statistics.median(it.cpus["--tags"]) - statistics.median(it.cpus["--no-tags"])) * 1000 / len(it.inputs)
        verdicts_.append(f"{'met' if per_file <= TAGS_LIMIT_MS else 'MISSED'} — {it.label}: {what} "
                         f"({per_file:.1f} ms: {tagged:.3f} s against {bare:.3f} s; CPU time {cpu:+.1f} ms per file)")
    return "\n".join(lines + targets_and_commands(verdicts_, items, exes, cli, "FILE…")) + "\n"


# ---------------------------------------------------------------------------------------------
# The high-quality converter: its timings beside the peers, and the resampling quality table.


def quality_section(items, exes, cli, bin_dir, env, load_start, alone):
    it = items[0]
    hq_name = it.tools[0].name
    hq = median(it, hq_name)
    lines = section_head(QUALITY_HEADING, load_start,
                         "- Tolvane high quality: samples mixed down in floating point, resampled by libsoxr at its "
                         "very-high-quality setting (each channel on a thread of its own, a block behind the "
                         "reading), rounded to the target depth with triangular dither (--dither) where the depth "
                         "shrinks.", alone, f"python3 bench/bench.py --bin {rel(bin_dir)} --only quality [--runs N]")
    lines += first_row_table(items, "Tool", "÷ high quality")

    verdicts_ = []

    def against(peer, factor, what):
        theirs = median(it, peer)
        if hq is None or theirs is None:
            verdicts_.append(f"MISSED — {it.label}: {what} (no figure: a run failed or {peer} is missing)")
            return
        ok = hq <= factor * theirs if factor else hq < theirs
        verdicts_.append(f"{'met' if ok else 'MISSED'} — {it.label}: {what} "
                         f"({hq:.3f} s vs {theirs:.3f} s, ratio {hq / theirs:.2f})")

    against("ffmpeg (default)", HQ_FFMPEG_FACTOR, "high quality no slower than ffmpeg's default resampler")
    against("sox rate -v", None, "high quality faster than sox rate -v")
    if hq_name not in it.errors:
        peak = it.rss[hq_name] / 1024
        verdicts_.append(f"{'met' if peak < PCM_MEMORY_LIMIT_MIB else 'MISSED'} — {it.label}: high quality peak "
                         f"memory under {PCM_MEMORY_LIMIT_MIB:g} MiB ({peak:.1f} MiB)")

    lines += ["", "Resampling quality (bench/quality.py: 24-bit stereo tones to 24-bit targets, so that the "
              "resampler, not the depth, sets the figures; Tolvane with --dither, its default):", ""]
    explained = []
    try:
        sys.path.insert(0, str(Path(__file__).resolve().parent))
        import quality
        note("quality: measuring tones")
        table_lines, failures = quality.table(bin_dir, env)
        lines += table_lines
        explained = quality.NOTES
    except ImportError as e:
        failures = [f"quality table left out: {e} (install python3-numpy)"]
    lines += ["", "Notes:", "",
              "- ÷ high quality: the row's median over the high-quality row's; above 1 is slower than it. CPU s is "
              "user + system time of all threads, so a row on two processors can show more CPU than wall time.",
              "- Dither: Tolvane high quality and sox add triangular dither when going to 16 bits; ffmpeg's resamplers "
              "do not by default.",
              "- Processors: libsoxr at its very-high-quality setting spends more processor time on this file than "
              "ffmpeg's whole run, so high quality keeps ahead of ffmpeg's default only with both channels' filters "
              "on processors of their own; the one-processor row (taskset -c 0) shows it on one."
              ] + [f"- {n}" for n in explained]
    lines += output_notes(items) + [f"- {f}" for f in failures]
    return "\n".join(lines + targets_and_commands(verdicts_, items, exes, cli, "IN, OUT")) + "\n"


# ---------------------------------------------------------------------------------------------
# The list view control: in-process timings printed by tolvane-bench-list.


def inprocess_rows(bench, bin_dir):
    """Runs one of the project's benchmark programs; one dict per row it prints."""
    rows = []
    for extra, args, what in bench.runs:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", **extra)
        note(f"{bench.exe} {' '.join(args)}".rstrip() + what)
        done = subprocess.run([str(bin_dir / bench.exe)] + args, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True, check=True)
        for line in done.stdout.splitlines():
            label, med, low, p95, high, runs, over, target = line.split("\t")
            rows.append({"label": label, "median": float(med), "min": float(low), "p95": float(p95),
                         "max": float(high), "runs": int(runs), "over": int(over), "target": float(target)})
    return rows


def inprocess_section(group, rows, bin_dir, alone=False):
    bench = IN_PROCESS[group]
    headers = ["Work", "Median", "Min–max", "95th pct", "Runs", "Target"]
    cells = []
    for r in rows:
        target = f"under {r['target']:g}" if r["target"] > 0 else "—"
        cells.append([r["label"], f"{r['median']:.2f}", f"{r['min']:.2f}–{r['max']:.2f}", f"{r['p95']:.2f}",
                      str(r["runs"]), target])
    lines = [bench.heading, "",
             f"- Date: {datetime.datetime.now().astimezone().strftime('%Y-%m-%d %H:%M %Z')}; "
             f"load average {load_average()}; git {git_state()}",
             f"- {bench.exe}: {bench.about} Units are in each row's label (ms unless it says otherwise).",
             ] + ([f"- Run on its own (`python3 bench/bench.py --bin {rel(bin_dir)} --only {group}`); the "
                   "tables above come from their own run."] if alone else []) + [
             ""] + markdown_table(headers, cells, {1, 2, 3, 4})
    lines += ["", "Notes:", ""] + [f"- {n}" for n in bench.notes] + ["", "Targets:", ""]
    for r in rows:
        if r["target"] <= 0:
            continue
        if r["label"].startswith("Repaint"):
            ok = r["over"] == 0
            lines.append(f"- {'met' if ok else 'MISSED'} — {r['label']}: each repaint under {r['target']:g} ms "
                         f"(median {r['median']:.2f} ms, 95th percentile {r['p95']:.2f} ms, slowest "
                         f"{r['max']:.2f} ms; {r['over']} of {r['runs']} at or over)")
        else:
            ok = r["median"] < r["target"]
            lines.append(f"- {'met' if ok else 'MISSED'} — {r['label']}: under {r['target']:g} "
                         f"(median {r['median']:.2f})")
    return "\n".join(lines) + "\n"


def replace_section(path, heading, section):
    """The file's section under heading replaced by section (or section appended when there is none)."""
    text = Path(path).read_text() if Path(path).exists() else ""
    start = text.find(heading)
    if start < 0:
        return text.rstrip("\n") + ("\n\n" if text else "") + section
    end = text.find("\n## ", start + len(heading))
    return text[:start] + (section.rstrip("\n") + "\n\n" + text[end + 1:] if end >= 0 else section)


# ---------------------------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder holding tolvane-cli and tolvane-wavgen")
    parser.add_argument("--runs", type=int, default=5, help="timed runs per single-file command (default 5)")
    parser.add_argument("--batch-runs", type=int, default=3, help="timed runs per batch command (default 3)")
    parser.add_argument("--quick", action="store_true",
                        help="one run, 60-second inputs and a batch a tenth as long: for checking the harness")
    parser.add_argument("--only", default=",".join(GROUPS + tuple(IN_PROCESS)),
                        help="comma-separated subset of " + ",".join(GROUPS + tuple(IN_PROCESS)))
    parser.add_argument("--write", metavar="FILE", help="also write the report to FILE (e.g. bench/RESULTS.md)")
    parser.add_argument("--baseline", metavar="DIR",
                        help="folder of another build's tolvane-cli (e.g. the main branch's) for the parallel rows")
    args = parser.parse_args()
    args.only = {g.strip() for g in args.only.split(",") if g.strip()}
    if args.runs < 1 or args.batch_runs < 1:
        parser.error("--runs and --batch-runs must be positive")
    if args.only - set(GROUPS) - set(IN_PROCESS):
        parser.error("--only takes " + ",".join(GROUPS + tuple(IN_PROCESS)))
    if args.quick and args.write:
        parser.error("--write is for full runs; quick figures are not for the record")
    if args.baseline and not os.access(Path(args.baseline) / TOLVANE, os.X_OK):
        parser.error(f"--baseline: no {TOLVANE} in {args.baseline}")

    bin_dir = Path(args.bin).resolve()
    in_process = [g for g in IN_PROCESS if g in args.only]
    for group in in_process:
        if not os.access(bin_dir / IN_PROCESS[group].exe, os.X_OK):
            note(f"missing {bin_dir / IN_PROCESS[group].exe} (build it first: make bench)")
            return 2
    if not args.only - set(IN_PROCESS):
        text = ""
        for group in in_process:
            section = inprocess_section(group, inprocess_rows(IN_PROCESS[group], bin_dir), bin_dir, alone=True)
            text += ("\n" if text else "") + section
            if args.write:
                Path(args.write).write_text(replace_section(args.write, IN_PROCESS[group].heading, section))
                note(f"written: the {group} section of {args.write}")
        print(text, end="")
        return 0
    cli, wavgen = str(bin_dir / TOLVANE), bin_dir / "tolvane-wavgen"
    for exe in (cli, wavgen):
        if not os.access(exe, os.X_OK):
            note(f"missing {exe} (build it first: make bench)")
            return 2
    # A settings file beside the executable would take the place of the empty store below.
    if (bin_dir / "Tolvane.ini").exists():
        note(f"{bin_dir / 'Tolvane.ini'} exists and would supply tolvane-cli's settings; move it away first")
        return 2
    exes = {}
    for name in ("sox", "ffmpeg", "lame", "mpg123", "flac", "cp", "sh"):
        path = "/bin/sh" if name == "sh" else shutil.which(name)
        if path and os.access(path, os.X_OK):
            exes[name] = path
    if "ffmpeg" not in exes:
        note("ffmpeg is needed to make the inputs; only the PCM rows are possible without it")

    started = datetime.datetime.now().astimezone()
    load_start = load_average()
    WORK.mkdir(parents=True, exist_ok=True)
    fresh_dir(CONFIG)
    fresh_dir(OUT)
    fresh_dir(LOGS)
    maker = InputMaker(wavgen, exes)
    note("making inputs (kept in bench/work/in for later runs)")
    items, main_wav, seconds = build_items(args, exes, cli, maker)

    tolvane_env = dict(os.environ, XDG_CONFIG_HOME=str(CONFIG))
    measure(items, lambda tool: tolvane_env if tool.name == TOLVANE or tool.ours else os.environ)
    clear(OUT)

    main_items = [it for it in items if it.group not in OWN_SECTION]
    parallel = [it for it in items if it.group == "parallel"]
    tagged = [it for it in items if it.group == "tags"]
    quality_run = [it for it in items if it.group == "quality"]
    # Only groups with sections of their own: those sections are replaced, the rest of the file kept.
    alone = not args.only - set(OWN_SECTION) - set(IN_PROCESS)
    sections = []
    if parallel:
        sections.append((PARALLEL_HEADING, parallel_section(parallel, exes, cli, load_start, alone)))
    if tagged:
        sections.append((TAGS_HEADING, tags_section(tagged, exes, cli, load_start, alone)))
    if quality_run:
        sections.append((QUALITY_HEADING, quality_section(quality_run, exes, cli, bin_dir, tolvane_env, load_start,
                                                          alone)))
    sections += [(IN_PROCESS[g].heading, inprocess_section(g, inprocess_rows(IN_PROCESS[g], bin_dir), bin_dir, alone))
                 for g in in_process]
    if alone:
        text = "\n".join(section for _, section in sections)
        if args.write:
            for heading, section in sections:
                Path(args.write).write_text(replace_section(args.write, heading, section))
            note(f"written: those sections of {args.write}")
    else:
        leftovers = ", ".join(p.name for p in list(CONFIG.rglob("*"))[:3])
        env_note = f"XDG_CONFIG_HOME={rel(CONFIG)} (an empty folder" + (
            f"; it ended up holding {leftovers})" if leftovers else ", still empty after the runs)")
        text = report(main_items, args, exes, cli, main_wav, seconds, started, load_start, env_note)
        text += "".join("\n" + section for _, section in sections)
        if args.write:
            Path(args.write).write_text(text)
            note(f"written: {args.write}")
    print(text, end="")
    # A failing converter is a broken build, not a missed target.
    return 1 if any(TOLVANE in it.errors for it in items) or any(
        tool.ours and tool.name in it.errors for it in quality_run for tool in it.tools) else 0


if __name__ == "__main__":
    sys.exit(main())
