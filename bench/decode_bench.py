#!/usr/bin/env python3
"""Times decoding to WAV through tolvane-cli (the media-graph decoder) against mpg123, ffmpeg and sox,
and the file-information readers over a thousand small files.

Usage (from the repo root, after a Release build):
    python3 bench/decode_bench.py --bin build-release/bin [--runs 3] [--seconds 600]

It is a report: the exit status is 0 even when a target is missed (look for MISSED).
"""

import argparse
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from run_bench import ROOT, WORK, clear, machine_info, make_input, note, run_measured  # noqa: E402

# Format, ffmpeg encoder arguments, and the peer each is held against with its allowed ratio.
FORMATS = [
    ("mp3", ["-c:a", "libmp3lame", "-b:a", "128k"], "mpg123", 1.2),
    ("mp2", ["-c:a", "mp2", "-b:a", "192k"], "mpg123", 1.2),
    ("m4a", ["-c:a", "aac", "-b:a", "128k"], "ffmpeg", 2.0),
    ("ogg", ["-c:a", "libvorbis", "-q:a", "4"], "sox", 1.2),
]


def encoded(src, ext, args):
    out = WORK / f"{src.stem}.{ext}"
    if out.is_file() and out.stat().st_mtime >= src.stat().st_mtime:
        return out
    note(f"bench: encoding {out.relative_to(ROOT)}")
    tmp = out.with_name(out.stem + ".partial." + ext)
    clear(tmp)
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-v", "error", "-i", str(src)] + args + [str(tmp)], check=True)
    tmp.rename(out)
    return out


def command(tool, exe, src, out):
    if tool == "tolvane-cli-mp3":
        return [exe, str(src), "--rate", "44100", "--mode", "Stereo16bit", "--mp3", "128", "--out", str(out)]
    if tool == "lame":
        return [exe, "--quiet", "-b", "128", str(src), str(out)]
    if tool == "ffmpeg-mp3":
        return [exe, "-nostdin", "-y", "-v", "error", "-i", str(src), "-c:a", "libmp3lame", "-b:a", "128k", str(out)]
    if tool == "tolvane-cli":
        return [exe, str(src), "--rate", "44100", "--mode", "Stereo16bit", "--out", str(out)]
    if tool == "mpg123":
        return [exe, "-q", "-w", str(out), str(src)]
    if tool == "ffmpeg":
        return [exe, "-nostdin", "-y", "-v", "error", "-i", str(src), "-c:a", "pcm_s16le", str(out)]
    if tool == "sox":
        return [exe, str(src), "-b", "16", str(out)]
    raise ValueError(tool)


def time_runs(tool, exe, src, runs, scratch):
    walls = []
    for _ in range(runs):
        target = scratch / tool
        clear(target)
        if tool.startswith("tolvane-cli"):
            target.mkdir()
        else:
            target = target.with_suffix(".mp3" if tool in ("lame", "ffmpeg-mp3") else ".wav")
        status, wall, _ = run_measured(command(tool, exe, src, target), scratch / f"{tool}.log")
        ok = status == 0 and (target.is_file() or any(target.iterdir()) if target.exists() else False)
        clear(target)
        if not ok:
            return None
        walls.append(wall)
    return statistics.median(walls)


def info_timing(cli, wavgen, scratch):
    """Seconds for tolvane-cli --info over 500 WAV and 500 MP3 files, and per M4A file."""
    folder = scratch / "info"
    clear(folder)
    folder.mkdir(parents=True)
    subprocess.run([str(wavgen), str(folder / "w.wav"), "--seconds", "0.5"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(folder / "w.wav"), "-c:a", "libmp3lame",
                    str(folder / "m.mp3")], check=True)
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", str(folder / "w.wav"), "-c:a", "aac",
                    str(folder / "a.m4a")], check=True)
    files = []
    for i in range(500):
        for name in ("w.wav", "m.mp3"):
            copy = folder / f"{i:03d}-{name}"
            shutil.copyfile(folder / name, copy)
            files.append(str(copy))
    start = time.perf_counter()
    subprocess.run([str(cli), "--info"] + files, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    headers = time.perf_counter() - start
    m4a = []
    for i in range(10):
        copy = folder / f"{i:03d}-a.m4a"
        shutil.copyfile(folder / "a.m4a", copy)
        m4a.append(str(copy))
    start = time.perf_counter()
    subprocess.run([str(cli), "--info"] + m4a, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    per_m4a = (time.perf_counter() - start) / len(m4a)
    clear(folder)
    return headers, per_m4a


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=600.0)
    args = parser.parse_args()
    bin_dir = Path(args.bin).resolve()
    cli, wavgen = bin_dir / "tolvane-cli", bin_dir / "tolvane-wavgen"
    WORK.mkdir(parents=True, exist_ok=True)
    src = make_input(wavgen, args.seconds)
    scratch = WORK / "decode-out"
    clear(scratch)
    scratch.mkdir()

    rows, verdicts = [], []
    for ext, enc, peer, limit in FORMATS:
        source = encoded(src, ext, enc)
        subprocess.run(["cat", str(source)], stdout=subprocess.DEVNULL, check=True)
        ours = time_runs("tolvane-cli", str(cli), source, args.runs, scratch)
        peer_exe = shutil.which(peer)
        theirs = time_runs(peer, peer_exe, source, args.runs, scratch) if peer_exe else None
        ffmpeg = time_runs("ffmpeg", shutil.which("ffmpeg"), source, args.runs, scratch) if peer != "ffmpeg" else theirs
        ratio = ours / theirs if ours and theirs else None
        rows.append((ext, ours, peer, theirs, ffmpeg, ratio))
        if ratio is None:
            verdicts.append(f"MISSED  {ext}: no comparison ({'tolvane-cli failed' if not ours else peer + ' failed'})")
        else:
            verdicts.append(("PASS  " if ratio <= limit else "MISSED") +
                            f"  {ext}: within {limit:g}x of {peer} (tolvane/{peer} {ratio:.2f})")
    # WAV to MP3 at 128 kbit/s CBR through the MP3 codec class.
    subprocess.run(["cat", str(src)], stdout=subprocess.DEVNULL, check=True)
    enc = {"tolvane-cli-mp3": time_runs("tolvane-cli-mp3", str(cli), src, args.runs, scratch)}
    for peer in ("lame", "ffmpeg-mp3"):
        exe = shutil.which(peer.split("-")[0])
        enc[peer] = time_runs(peer, exe, src, args.runs, scratch) if exe else None
    ours, lame = enc["tolvane-cli-mp3"], enc["lame"]
    if ours and lame:
        verdicts.append(("PASS  " if ours <= 1.05 * lame else "MISSED") +
                        f"  WAV to MP3 128k: within 1.05x of lame (tolvane/lame {ours / lame:.2f})")
    else:
        verdicts.append("MISSED  WAV to MP3 128k: no comparison")
    headers, per_m4a = info_timing(cli, wavgen, scratch)
    verdicts.append(("PASS  " if headers < 1.0 else "MISSED") +
                    f"  file information for 1000 WAV and MP3 files under 1 s ({headers:.3f} s)")
    clear(scratch)

    print()
    for key, value in machine_info().items():
        print(f"{key + ':':8} {value}")
    print(f"input:   {src.relative_to(ROOT)} ({args.seconds:g} s) encoded with ffmpeg; median of {args.runs} runs")
    print()
    print(f"{'format':6}  {'tolvane s':>9}  {'peer':6}  {'peer s':>7}  {'ffmpeg s':>8}  {'tolvane/peer':>12}")
    for ext, ours, peer, theirs, ffmpeg, ratio in rows:
        f = lambda v: "-" if v is None else f"{v:.3f}"  # noqa: E731
        print(f"{ext:6}  {f(ours):>9}  {peer:6}  {f(theirs):>7}  {f(ffmpeg):>8}  {f(ratio):>12}")
    f = lambda v: "-" if v is None else f"{v:.3f}"  # noqa: E731
    print(f"\nWAV to MP3 128k: tolvane-cli {f(enc['tolvane-cli-mp3'])} s, lame {f(enc['lame'])} s, "
          f"ffmpeg {f(enc['ffmpeg-mp3'])} s")
    print(f"\nfile information through the media graph (M4A): {per_m4a * 1000:.0f} ms per file")
    print("\nTargets:")
    for v in verdicts:
        print("  " + v)
    return 0


if __name__ == "__main__":
    sys.exit(main())
