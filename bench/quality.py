#!/usr/bin/env python3
"""Measures how well converters resample: alias and image levels, signal-to-noise, pass band.

Usage (from the repository root, after a build; `make bench` runs it as the group "quality"):
    python3 bench/quality.py --bin build-release/bin

Generates 24-bit stereo test tones, converts them with each converter to 24 bits (so that the
resampler, not the target depth, sets the figures) and prints one Markdown table:

- Alias: a 20 kHz tone at 44.1 kHz converted to 22.05 kHz, where it cannot exist; the level of
  what comes out at 2.05 kHz (its alias), relative to the tone.
- Images: a 3 kHz tone at 8 kHz converted to 48 kHz; the strongest of its images (5, 11, 13, 19
  and 21 kHz) relative to the 3 kHz tone out.
- SNR 1 kHz and 10 kHz: a tone at 44.1 kHz converted to 48 kHz; the tone against everything else.
- Pass band: twelve tones from 20 Hz to 20 kHz at once, 44.1 to 48 kHz; the spread of their gains.

Every figure is taken over the steady middle of the output (the tones fade in and out) by a
least-squares fit of sines at the known frequencies, so that no window or bin sets a floor.
Converters: tolvane-cli exact and --high-quality, sox `rate -v`, ffmpeg's default resampler and
ffmpeg with libsoxr (`aresample=resampler=soxr`), each where installed. Inputs and outputs live in
bench/work/quality.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

try:
    import numpy as np
except ImportError:
    # Debian's python3-numpy, when another Python 3 of the same version runs this script.
    sys.path.append("/usr/lib/python3/dist-packages")
    import numpy as np

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "bench" / "work" / "quality"
SECONDS = 3.0
FADE = 0.05
LEVEL_DB = -1.0
PASSBAND = (20, 50, 100, 500, 1000, 2000, 5000, 10000, 15000, 18000, 19000, 20000)
# Below this a figure is reported as a bound: 24-bit rounding alone sits near -146 dB.
FLOOR_DB = -150.0
# What the table's columns mean, for a report to print beneath it.
NOTES = [
    "Alias: what a 20 kHz tone at 44.1 kHz leaves at 2.05 kHz after conversion to 22.05 kHz, relative to the tone. "
    "Images: the strongest image of a 3 kHz tone at 8 kHz (5, 11, 13, 19, 21 kHz) after conversion to 48 kHz, "
    "relative to the tone. SNR: a -1 dBFS tone from 44.1 to 48 kHz against everything else. Pass band: the spread "
    "of the gains of twelve tones from 20 Hz to 20 kHz converted from 44.1 to 48 kHz, and the gain at 20 kHz.",
    "Each figure is a least-squares fit of sines at the known frequencies over the steady middle of the output; "
    f"figures below {FLOOR_DB:.0f} dB are shown as a bound (24-bit rounding alone sits near -146 dB).",
    "Tolvane exact interpolates linearly and averages boxes (its --dither); the others filter.",
]


# ---------------------------------------------------------------------------------------------
# WAV files


def write_wav(path, rate, samples):
    """24-bit stereo from samples in -1 .. 1 (one column, copied to both channels)."""
    ints = np.clip(np.rint(samples * 8388608.0), -8388608, 8388607).astype("<i4")
    frames = np.repeat(ints, 2)
    data = frames.view(np.uint8).reshape(-1, 4)[:, :3].tobytes()
    fmt = struct.pack("<HHIIHH", 1, 2, rate, rate * 6, 6, 24)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    path.write_bytes(b"RIFF" + struct.pack("<I", len(body)) + body)


def read_wav(path):
    """(rate, first channel in -1 .. 1) of a PCM WAV file of 16 or 24 bits."""
    raw = path.read_bytes()
    if raw[:4] != b"RIFF" or raw[8:12] != b"WAVE":
        raise ValueError(f"{path} is not a WAV file")
    pos, fmt = 12, None
    while pos + 8 <= len(raw):
        cid, length = raw[pos:pos + 4], struct.unpack("<I", raw[pos + 4:pos + 8])[0]
        if cid == b"fmt ":
            tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", raw[pos + 8:pos + 24])
            fmt = (channels, rate, align, bits)
        elif cid == b"data" and fmt:
            channels, rate, align, bits = fmt
            data = raw[pos + 8:pos + 8 + min(length, len(raw) - pos - 8)]
            frames = len(data) // align
            block = np.frombuffer(data[:frames * align], np.uint8).reshape(frames, align)
            width = bits // 8
            first = block[:, :width]
            if bits == 16:
                values = first.copy().view("<i2")[:, 0].astype(np.float64) / 32768.0
            elif bits == 24:
                wide = np.zeros((frames, 4), np.uint8)
                wide[:, 1:] = first
                values = wide.view("<i4")[:, 0].astype(np.float64) / 2147483648.0
            else:
                raise ValueError(f"{path}: {bits}-bit samples")
            return rate, values
        pos += 8 + length + (length & 1)
    raise ValueError(f"{path} has no data")


# ---------------------------------------------------------------------------------------------
# Signals and fits


def tones(rate, freqs, amplitude):
    """Sines at freqs, faded in and out, SECONDS long."""
    t = np.arange(int(SECONDS * rate)) / rate
    signal = sum(amplitude * np.sin(2 * np.pi * f * t) for f in freqs)
    edge = np.minimum(1.0, np.minimum(t, t[-1] - t) / FADE)
    return signal * (0.5 - 0.5 * np.cos(np.pi * edge))


def steady(rate, values):
    """The middle of the output, away from the fades and the filters' edges."""
    start, end = int(0.5 * rate), int((SECONDS - 0.5) * rate)
    return np.arange(start, min(end, len(values))) / rate, values[start:end]


def fit(rate, values, freqs):
    """Amplitudes of sines at freqs and the power of what they leave over."""
    t, x = steady(rate, values)
    columns = [np.ones_like(t)]
    for f in freqs:
        columns += [np.sin(2 * np.pi * f * t), np.cos(2 * np.pi * f * t)]
    basis = np.stack(columns, axis=1)
    coef, *_ = np.linalg.lstsq(basis, x, rcond=None)
    rest = x - basis @ coef
    amps = [float(np.hypot(coef[1 + 2 * i], coef[2 + 2 * i])) for i in range(len(freqs))]
    return amps, float(np.mean(rest ** 2))


def db(ratio):
    return 20 * np.log10(max(ratio, 1e-30))


def bounded(value):
    return f"< {FLOOR_DB:.0f}" if value < FLOOR_DB else f"{value:.1f}"


# ---------------------------------------------------------------------------------------------
# Converters


@dataclass
class Converter:
    name: str
    # (input, output rate, output folder) -> (argv, output file)
    command: Callable
    ours: bool = False


def converters(bin_dir):
    cli = str(Path(bin_dir) / "tolvane-cli")
    found = []

    def tolvane(extra):
        def command(src, rate, out):
            return ([cli, str(src), "--rate", str(rate), "--mode", "Stereo24bit", "--dither", "--no-decode-only",
                     "--wav", "--jobs", "1", "--out", str(out)] + extra, out / src.name)
        return command

    found.append(Converter("Tolvane exact", tolvane(["--no-high-quality"]), True))
    found.append(Converter("Tolvane high quality", tolvane(["--high-quality"]), True))
    sox, ffmpeg = shutil.which("sox"), shutil.which("ffmpeg")
    if sox:
        # No dither: at 24 bits sox would add some, which is not the resampler's doing.
        found.append(Converter("sox rate -v", lambda src, rate, out: (
            [sox, "-D", str(src), "-b", "24", str(out / "out.wav"), "rate", "-v", str(rate)], out / "out.wav")))
    if ffmpeg:
        for name, extra in (("ffmpeg (default)", []), ("ffmpeg soxr", ["-af", "aresample=resampler=soxr"])):
            found.append(Converter(name, lambda src, rate, out, e=extra: (
                [ffmpeg, "-nostdin", "-v", "error", "-i", str(src)] + e +
                ["-ar", str(rate), "-c:a", "pcm_s24le", str(out / "out.wav")], out / "out.wav")))
    return found


def convert(converter, src, rate, env):
    out = WORK / "out"
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    argv, result = converter.command(src, rate, out)
    done = subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0 or not result.is_file():
        raise RuntimeError(f"{converter.name}: {' '.join(argv)} failed: {done.stderr.strip()[-300:]}")
    got_rate, values = read_wav(result)
    if got_rate != rate:
        raise RuntimeError(f"{converter.name}: wrote {got_rate} Hz instead of {rate} Hz")
    return values


# ---------------------------------------------------------------------------------------------
# Measures


def inputs():
    WORK.mkdir(parents=True, exist_ok=True)
    amplitude = 10 ** (LEVEL_DB / 20)
    made = {
        "alias": (44100, tones(44100, [20000], amplitude)),
        "images": (8000, tones(8000, [3000], amplitude)),
        "snr1k": (44100, tones(44100, [1000], amplitude)),
        "snr10k": (44100, tones(44100, [10000], amplitude)),
        # Each tone low enough that all twelve together stay below full scale.
        "passband": (44100, tones(44100, PASSBAND, 0.06)),
    }
    paths = {}
    for key, (rate, samples) in made.items():
        path = WORK / f"{key}-{rate}.wav"
        write_wav(path, rate, samples)
        paths[key] = path
    return paths


def measure(converter, paths, env):
    amplitude = 10 ** (LEVEL_DB / 20)
    row = {}
    out = convert(converter, paths["alias"], 22050, env)
    (alias,), _ = fit(22050, out, [22050 - 20000])
    row["alias"] = db(alias / amplitude)

    out = convert(converter, paths["images"], 48000, env)
    images = [f for k in (1, 2, 3) for f in (8000 * k - 3000, 8000 * k + 3000) if f < 24000]
    amps, _ = fit(48000, out, [3000] + images)
    row["images"] = db(max(amps[1:]) / amps[0])

    for key, freq in (("snr1k", 1000), ("snr10k", 10000)):
        out = convert(converter, paths[key], 48000, env)
        (tone,), rest = fit(48000, out, [freq])
        row[key] = 10 * np.log10(tone ** 2 / 2 / max(rest, 1e-300))

    out = convert(converter, paths["passband"], 48000, env)
    amps, _ = fit(48000, out, list(PASSBAND))
    gains = [db(a / 0.06) for a in amps]
    row["passband"] = (max(gains) - min(gains), gains[-1])
    return row


def table(bin_dir, env=None):
    """The Markdown lines of the quality table, and a list of notes (failures)."""
    env = env or os.environ
    paths = inputs()
    headers = ["Converter", "Alias 20 kHz → 22.05 kHz, dB", "Images 8 → 48 kHz, dB", "SNR 1 kHz, dB",
               "SNR 10 kHz, dB", "Pass band 20 Hz–20 kHz: spread (at 20 kHz), dB"]
    rows, notes = [], []
    for converter in converters(bin_dir):
        try:
            r = measure(converter, paths, env)
        except (RuntimeError, ValueError) as e:
            notes.append(f"FAILED, {converter.name}: {e}")
            rows.append([converter.name] + ["—"] * (len(headers) - 1))
            continue
        spread, top = r["passband"]
        rows.append([converter.name, bounded(r["alias"]), bounded(r["images"]), f"{r['snr1k']:.1f}",
                     f"{r['snr10k']:.1f}", f"{spread:.3f} ({top:+.3f})"])
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]

    def line(cells):
        return "| " + " | ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths))) + " |"

    rule = "|" + "|".join("-" * (w + 2) if i == 0 else "-" * (w + 1) + ":" for i, w in enumerate(widths)) + "|"
    return [line(headers), rule] + [line(r) for r in rows], notes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder holding tolvane-cli")
    args = parser.parse_args()
    if not os.access(Path(args.bin) / "tolvane-cli", os.X_OK):
        sys.exit(f"no tolvane-cli in {args.bin}")
    # tolvane-cli takes its defaults from the saved settings: an empty store keeps the user's out.
    config = WORK / "config"
    shutil.rmtree(config, ignore_errors=True)
    config.mkdir(parents=True)
    lines, notes = table(args.bin, dict(os.environ, XDG_CONFIG_HOME=str(config)))
    print("\n".join(lines + [""] + notes))
    return 1 if notes else 0


if __name__ == "__main__":
    sys.exit(main())
