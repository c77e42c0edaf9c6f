#!/usr/bin/env python3
"""Times tolvane-cli against sox, ffmpeg and cp on a long WAV file and checks the speed and memory targets.

Usage (from the repo root, after a Release build):
    python3 bench/run_bench.py --bin build-release/bin [--runs 5] [--seconds 600]

It is a report: the exit status is 0 even when a target is missed (look for MISSED).
"""

import argparse
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "bench" / "work"

IN_RATE, IN_BITS, IN_CHANNELS = 44100, 16, 2
MEMORY_LIMIT_MIB = 64.0
CP_FACTOR = 5.0

CONVERSIONS = [
    {"label": "48000 Hz Stereo16bit", "rate": 48000, "mode": "Stereo16bit", "bits": 16, "channels": 2,
     "codec": "pcm_s16le"},
    {"label": "22050 Hz Mono8bit", "rate": 22050, "mode": "Mono8bit", "bits": 8, "channels": 1,
     "codec": "pcm_u8"},
]

TOLVANE = "tolvane-cli"
SOX = "sox"
SOX_Q = "sox rate -q"
FFMPEG = "ffmpeg"
CP = "cp"
TOOLS = [TOLVANE, SOX, SOX_Q, FFMPEG, CP]


def note(msg):
    print(msg, file=sys.stderr, flush=True)


def command_for(tool, exe, conv, src, out):
    """Returns the argv for one timed run; out is a folder for tolvane-cli, a file for the others."""
    rate, bits, ch = str(conv["rate"]), str(conv["bits"]), str(conv["channels"])
    if tool == TOLVANE:
        return [exe, str(src), "--rate", rate, "--mode", conv["mode"], "--out", str(out)]
    if tool == SOX:
        return [exe, str(src), "-r", rate, "-b", bits, "-c", ch, str(out)]
    if tool == SOX_Q:
        return [exe, str(src), "-b", bits, "-c", ch, str(out), "rate", "-q", rate]
    if tool == FFMPEG:
        return [exe, "-nostdin", "-y", "-v", "error", "-i", str(src), "-ar", rate, "-ac", ch, "-c:a",
                conv["codec"], str(out)]
    if tool == CP:
        return [exe, str(src), str(out)]
    raise ValueError(tool)


GNU_TIME = "/usr/bin/time"


def run_measured(argv, log_path):
    """Runs argv; returns (exit status, wall seconds, peak RSS in KiB of that command).

    The RSS comes from /usr/bin/time: a child spawned straight from Python starts with Python's own
    resident set as its high-water mark, which would hide how little a small tool needs. Without it,
    wait4 still reports this one child (RUSAGE_CHILDREN would be the maximum over every child).
    """
    rss_file = log_path.with_suffix(".rss")
    use_time = os.access(GNU_TIME, os.X_OK)
    full = [GNU_TIME, "-f", "%M", "-o", str(rss_file)] + argv if use_time else argv
    with open(os.devnull, "rb") as devnull, open(log_path, "wb") as log:
        actions = [
            (os.POSIX_SPAWN_DUP2, devnull.fileno(), 0),
            (os.POSIX_SPAWN_DUP2, log.fileno(), 1),
            (os.POSIX_SPAWN_DUP2, log.fileno(), 2),
        ]
        start = time.perf_counter()
        pid = os.posix_spawn(full[0], full, os.environ, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    rss = usage.ru_maxrss
    if use_time:
        try:
            rss = int(rss_file.read_text().split()[-1])
        except (OSError, ValueError, IndexError):
            pass
        rss_file.unlink(missing_ok=True)
    return os.waitstatus_to_exitcode(status), wall, rss


def clear(path):
    if path.is_dir():
        shutil.rmtree(path)
    elif path.exists() or path.is_symlink():
        path.unlink()


def make_input(wavgen, seconds):
    frames = round(seconds * IN_RATE)
    expected = 44 + frames * IN_CHANNELS * IN_BITS // 8
    src = WORK / f"input-{IN_RATE}-{IN_BITS}bit-{IN_CHANNELS}ch-{seconds:g}s.wav"
    if src.is_file() and src.stat().st_size == expected:
        return src
    clear(src)
    # Written under another name first so an interrupted run never leaves a short file in the cache.
    tmp = src.with_suffix(".partial.wav")
    clear(tmp)
    note(f"bench: generating {src.relative_to(ROOT)} ({seconds:g} s)")
    subprocess.run([str(wavgen), str(tmp), "--rate", str(IN_RATE), "--bits", str(IN_BITS), "--channels",
                    str(IN_CHANNELS), "--seconds", f"{seconds:g}", "--signal", "sweep", "--freq", "20",
                    "--freq2", "20000"], check=True)
    tmp.rename(src)
    return src


def first_line(argv):
    try:
        out = subprocess.run(argv, capture_output=True, text=True, timeout=30)
        text = (out.stdout or out.stderr).strip()
        return text.splitlines()[0] if text else "?"
    except (OSError, subprocess.SubprocessError):
        return "?"


def machine_info():
    model = "unknown"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return {
        "date": datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M:%S %Z"),
        "cpus": str(len(os.sched_getaffinity(0))) + " (nproc)",
        "cpu": model,
        "kernel": platform.release(),
    }


def fmt_s(value):
    return "-" if value is None else f"{value:.3f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder holding tolvane-cli and tolvane-wavgen")
    parser.add_argument("--runs", type=int, default=5, help="timed runs per tool and conversion (default 5)")
    parser.add_argument("--seconds", type=float, default=600.0,
                        help="length of the generated input (default 600, i.e. 10 minutes)")
    args = parser.parse_args()
    if args.runs < 1 or args.seconds <= 0:
        parser.error("--runs and --seconds must be positive")

    bin_dir = Path(args.bin).resolve()
    wavgen, cli = bin_dir / "tolvane-wavgen", bin_dir / TOLVANE
    for exe in (wavgen, cli):
        if not os.access(exe, os.X_OK):
            print(f"bench: missing {exe} (build it first: make bench)", file=sys.stderr)
            return 1

    exes = {TOLVANE: str(cli)}
    skipped = {}
    for tool, name in ((SOX, "sox"), (SOX_Q, "sox"), (FFMPEG, "ffmpeg"), (CP, "cp")):
        path = shutil.which(name)
        if path:
            exes[tool] = path
        else:
            skipped[tool] = f"{name} is not installed"
    tools = [t for t in TOOLS if t in exes]

    WORK.mkdir(parents=True, exist_ok=True)
    src = make_input(wavgen, args.seconds)
    out_root = WORK / "out"
    clear(out_root)
    out_root.mkdir()

    # Every tool then reads its input from the page cache.
    subprocess.run(["cat", str(src)], stdout=subprocess.DEVNULL, check=True)

    def one_run(tool, conv):
        slug = tool.replace(" ", "-")
        target = out_root / slug
        clear(target)
        if tool == TOLVANE:
            target.mkdir()  # it never replaces files, so each run needs an empty folder
        else:
            target = target.with_suffix(".wav")
        log = out_root / f"{slug}.log"
        status, wall, rss = run_measured(command_for(tool, exes[tool], conv, src, target), log)
        error = None
        if status != 0:
            error = f"exit status {status}: {log.read_text(errors='replace').strip()[-400:]}"
        elif tool == TOLVANE and not (target / src.name).is_file():
            error = f"no output in {target}: {log.read_text(errors='replace').strip()[-400:]}"
        clear(target)
        return wall, rss, error

    results = {(t, c["label"]): {"walls": [], "rss": 0, "error": None} for t in tools for c in CONVERSIONS}

    # Untimed round: loads each program and its libraries into the page cache as well.
    note("bench: warm-up round")
    for conv in CONVERSIONS:
        for tool in tools:
            one_run(tool, conv)

    for run in range(args.runs):
        note(f"bench: round {run + 1}/{args.runs}")
        # Interleaved and rotated, so slow drift (thermal, other load) spreads over every tool.
        order = tools[run % len(tools):] + tools[:run % len(tools)]
        for conv in CONVERSIONS:
            for tool in order:
                entry = results[(tool, conv["label"])]
                if entry["error"]:
                    continue
                wall, rss, error = one_run(tool, conv)
                if error:
                    entry["error"] = error
                    note(f"bench: {tool} failed on {conv['label']}: {error}")
                    continue
                entry["walls"].append(wall)
                entry["rss"] = max(entry["rss"], rss)
    clear(out_root)

    def median(tool, label):
        entry = results.get((tool, label))
        if not entry or entry["error"] or not entry["walls"]:
            return None
        return statistics.median(entry["walls"])

    headers = ["tool", "conversion", "median s", "min s", "tolvane/peer", "peak RSS MiB"]
    rows = []
    for conv in CONVERSIONS:
        label = conv["label"]
        ours = median(TOLVANE, label)
        for tool in TOOLS:
            if tool in skipped:
                rows.append([tool, label, "skipped", "-", "-", "-"])
                continue
            entry = results[(tool, label)]
            if entry["error"]:
                rows.append([tool, label, "FAILED", "-", "-", "-"])
                continue
            med = statistics.median(entry["walls"])
            ratio = f"{ours / med:.2f}" if ours is not None and med > 0 else "-"
            rows.append([tool, label, fmt_s(med), fmt_s(min(entry["walls"])), ratio,
                         f"{entry['rss'] / 1024:.1f}"])

    verdicts = []

    def check(ok, text):
        verdicts.append(("PASS  " if ok else "MISSED") + "  " + text)

    for conv in CONVERSIONS:
        label = conv["label"]
        ours = median(TOLVANE, label)
        if ours is None:
            verdicts.append(f"MISSED  {label}: tolvane-cli failed, nothing to compare")
            continue
        for peer, what in ((FFMPEG, "faster than ffmpeg"), (SOX_Q, "faster than sox rate -q")):
            theirs = median(peer, label)
            if theirs is None:
                reason = skipped.get(peer, f"{peer} failed")
                verdicts.append(f"SKIP    {label}: {what} ({reason})")
                continue
            check(ours < theirs, f"{label}: {what} ({ours:.3f} s vs {theirs:.3f} s, tolvane/peer "
                                 f"{ours / theirs:.2f})")
        theirs = median(CP, label)
        if theirs is None:
            verdicts.append(f"SKIP    {label}: within {CP_FACTOR:g}x of cp ({skipped.get(CP, 'cp failed')})")
        else:
            check(ours <= CP_FACTOR * theirs, f"{label}: within {CP_FACTOR:g}x of cp ({ours:.3f} s vs "
                                              f"{theirs:.3f} s, tolvane/cp {ours / theirs:.2f})")
    ours_rss = [results[(TOLVANE, c["label"])]["rss"] for c in CONVERSIONS
                if not results[(TOLVANE, c["label"])]["error"]]
    if ours_rss:
        peak = max(ours_rss) / 1024
        check(peak < MEMORY_LIMIT_MIB, f"peak memory under {MEMORY_LIMIT_MIB:g} MiB ({peak:.1f} MiB)")
    else:
        verdicts.append(f"MISSED  peak memory under {MEMORY_LIMIT_MIB:g} MiB (tolvane-cli failed)")

    info = machine_info()
    info["input"] = (f"{src.relative_to(ROOT)} ({args.seconds:g} s, {IN_RATE} Hz {IN_BITS}-bit "
                     f"{'stereo' if IN_CHANNELS == 2 else 'mono'}, {src.stat().st_size / 2**20:.1f} MiB)")
    info["runs"] = f"{args.runs} timed per tool and conversion, interleaved, after one warm-up round"
    info["memory"] = ("max RSS per command from /usr/bin/time" if os.access(GNU_TIME, os.X_OK) else
                      "max RSS per command from wait4 (no /usr/bin/time: small tools show Python's RSS)")
    info["sox"] = first_line(["sox", "--version"]) if shutil.which("sox") else "not installed"
    info["ffmpeg"] = first_line(["ffmpeg", "-version"]) if shutil.which("ffmpeg") else "not installed"
    notes = [f"{tool}: skipped, {why}" for tool, why in skipped.items() if tool != SOX_Q or SOX not in skipped]
    notes += [f"{t} on {label}: {results[(t, label)]['error']}" for (t, label) in results
              if results[(t, label)]["error"]]
    missed = any(v.startswith("MISSED") for v in verdicts)

    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]
    right = {2, 3, 4, 5}

    def line(cells):
        return "  ".join(c.rjust(w) if i in right else c.ljust(w) for i, (c, w) in enumerate(zip(cells, widths)))

    print()
    for key, value in info.items():
        print(f"{key + ':':8} {value}")
    print()
    print("tolvane/peer = tolvane-cli median / that tool's median: below 1 means tolvane-cli is faster.")
    print(line(headers))
    print(line(["-" * w for w in widths]))
    for row in rows:
        print(line(row))
    print()
    print("Targets:")
    for v in verdicts:
        print("  " + v)
    print("  => " + ("MISSED: at least one target above was not met" if missed else "all targets met"))
    for n in notes:
        print("note: " + n)

    md = ["# Benchmark results", ""]
    md += [f"- **{key}**: {value}" for key, value in info.items()]
    md += ["", "tolvane/peer = tolvane-cli median / that tool's median: below 1 means tolvane-cli is faster.", ""]
    md.append("| " + " | ".join(headers) + " |")
    md.append("|" + "|".join("---:" if i in right else "---" for i in range(len(headers))) + "|")
    md += ["| " + " | ".join(r) + " |" for r in rows]
    md += ["", "## Targets", ""]
    md += [f"- `{v.split()[0]}` {v.split(None, 1)[1]}" for v in verdicts]
    md += ["", "**" + ("MISSED: at least one target was not met" if missed else "All targets met") + "**"]
    if notes:
        md += [""] + [f"- note: {n}" for n in notes]
    out_md = WORK / "last-results.md"
    out_md.write_text("\n".join(md) + "\n")
    print(f"\nwritten: {out_md}")

    # A crashing converter is not a missed target but a broken build.
    return 1 if any(results[(TOLVANE, c["label"])]["error"] for c in CONVERSIONS) else 0


if __name__ == "__main__":
    sys.exit(main())
