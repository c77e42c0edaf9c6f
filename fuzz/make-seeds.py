#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/seed-*.

Signals come from the project's own generator (tolvane-wavgen); other formats from the encoders
on the machine (sox, lame, twolame, ffmpeg); edge cases are built byte by byte here. Every seed
stays small: the fuzzers take at most a few KiB, and the corpus is committed. Inputs saved from
fuzzing runs (regress-*) are never touched. A tool that is missing only skips its seeds.

    fuzz/make-seeds.py [--bin build/bin]
"""

import argparse
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent
CORPUS = ROOT / "corpus"
MAX_SEED = 4096
MAX_CONV_SEED = 16384
MAX_TAGS_SEED = 16384


def chunk(fourcc, body, declared=None):
    size = len(body) if declared is None else declared
    pad = b"\0" if len(body) % 2 and declared is None else b""
    return fourcc + struct.pack("<I", size) + body + pad


def fmt_body(tag, channels, rate, bits, extra=b""):
    align = channels * bits // 8
    return struct.pack("<HHIIHH", tag, channels, rate, (rate * align) & 0xFFFFFFFF, align, bits) + extra


def riff(*chunks, form=b"WAVE", declared=None):
    body = form + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if declared is None else declared) + body


def extensible_fmt(channels, rate, bits, mask):
    guid = bytes([1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    return fmt_body(0xFFFE, channels, rate, bits, struct.pack("<HHI", 22, bits, mask) + guid)


def ramp(count, width):
    """count samples of a width-byte little-endian ramp."""
    return b"".join(((i * 977) % (1 << (8 * width))).to_bytes(width, "little") for i in range(count))


def mpeg_frame(header, size, fill=0):
    return bytes([0xFF]) + bytes(header) + bytes([fill]) * (size - 4)


class Seeds:
    def __init__(self, bin_dir, work):
        self.bin = bin_dir
        self.work = work
        self.count = 0
        self.skipped = set()

    def put(self, target, name, data, limit=MAX_SEED):
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        (folder / f"seed-{name}").write_bytes(data[:limit])
        self.count += 1

    def run(self, *args):
        """Runs a tool in the work folder; False when it is missing or fails."""
        if shutil.which(args[0]) is None and not Path(args[0]).is_file():
            self.skipped.add(Path(args[0]).name)
            return False
        done = subprocess.run(args, cwd=self.work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if done.returncode != 0:
            self.skipped.add(" ".join(str(a) for a in args))
        return done.returncode == 0

    def made(self, *args, out):
        path = self.work / out
        if path.exists():
            path.unlink()
        return path.read_bytes() if self.run(*args) and path.exists() else None

    def wavgen(self, out, rate, bits, channels, seconds, signal="tone"):
        return self.made(str(self.bin / "tolvane-wavgen"), out, "--rate", str(rate), "--bits", str(bits),
                         "--channels", str(channels), "--seconds", str(seconds), "--signal", signal, out=out)


def wave_seeds(s):
    for name, args in {
        "wavgen-m8-8000.wav": (8000, 8, 1, 0.2),
        "wavgen-s8-11025.wav": (11025, 8, 2, 0.05),
        "wavgen-m16-22050.wav": (22050, 16, 1, 0.05),
        "wavgen-s16-44100.wav": (44100, 16, 2, 0.02),
        "wavgen-m24-96000.wav": (96000, 24, 1, 0.01),
        "wavgen-s24-48000-noise.wav": (48000, 24, 2, 0.01, "noise"),
    }.items():
        data = s.wavgen(name, *args)
        if data:
            s.put("waveinfo", name, data)
    for name, args in {
        "sox-6ch-16.wav": ["-c", "6", "-b", "16"],
        "sox-8ch-24.wav": ["-c", "8", "-b", "24"],
        "sox-float32.wav": ["-c", "2", "-b", "32", "-e", "floating-point"],
        "sox-ulaw.wav": ["-c", "1", "-e", "u-law"],
        "sox-ima-adpcm.wav": ["-c", "1", "-e", "ima-adpcm"],
        "sox-ms-adpcm.wav": ["-c", "2", "-e", "ms-adpcm"],
    }.items():
        data = s.made("sox", "-n", "-r", "8000", *args, name, "synth", "0.05", "sine", "440", out=name)
        if data:
            s.put("waveinfo", name, data)
    if s.wavgen("src.wav", 22050, 16, 2, 0.05):
        for name, args in {
            "ffmpeg-list-info.wav": ["-metadata", "title=Tolvane seed", "-c:a", "pcm_s16le"],
            "ffmpeg-bext.wav": ["-write_bext", "1", "-c:a", "pcm_s16le"],
            "ffmpeg-mp3-in-riff.wav": ["-c:a", "libmp3lame", "-b:a", "32k"],
            "ffmpeg-mp2-in-riff.wav": ["-c:a", "mp2", "-b:a", "64k"],
        }.items():
            data = s.made("ffmpeg", "-v", "error", "-y", "-i", "src.wav", *args, "-f", "wav", name, out=name)
            if data:
                s.put("waveinfo", name, data)

    pcm = fmt_body(1, 2, 44100, 16)
    samples = ramp(64, 2)
    for name, data in {
        "odd-junk-chunk.wav": riff(chunk(b"JUNK", b"abc"), chunk(b"fmt ", pcm), chunk(b"data", samples)),
        "data-before-fmt.wav": riff(chunk(b"data", samples), chunk(b"fmt ", pcm)),
        "fmt-18-cbsize.wav": riff(chunk(b"fmt ", pcm + b"\0\0"), chunk(b"data", samples)),
        "extensible-6ch.wav": riff(chunk(b"fmt ", extensible_fmt(6, 48000, 16, 0x3F)), chunk(b"data", ramp(60, 2))),
        "extensible-2ch-24.wav": riff(chunk(b"fmt ", extensible_fmt(2, 96000, 24, 3)), chunk(b"data", ramp(60, 3))),
        "streamed-sizes.wav": riff(chunk(b"fmt ", pcm), chunk(b"data", samples, 0xFFFFFFFF), declared=0xFFFFFFFF),
        "chunk-size-max.wav": riff(chunk(b"LIST", b"INFO", 0xFFFFFFFF), chunk(b"fmt ", pcm)),
        "two-fmt.wav": riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 8)), chunk(b"fmt ", pcm), chunk(b"data", samples)),
        "list-odd-after-data.wav": riff(chunk(b"fmt ", pcm), chunk(b"data", samples), chunk(b"LIST", b"INFOISFT\3\0\0\0ab\0")),
        "empty-data.wav": riff(chunk(b"fmt ", pcm), chunk(b"data", b"")),
        "data-size-cut.wav": riff(chunk(b"fmt ", pcm), chunk(b"data", samples, 1000)),
        "data-header-cut.wav": riff(chunk(b"fmt ", pcm)) + b"da",
        "rf64.wav": b"RF64" + riff(chunk(b"ds64", bytes(28)), chunk(b"fmt ", pcm), chunk(b"data", samples))[4:],
        "rate-negative.wav": riff(chunk(b"fmt ", fmt_body(1, 2, 0x80000000, 16)), chunk(b"data", samples)),
        "only-riff.wav": b"RIFF\0\0\0\0WAVE",
    }.items():
        s.put("waveinfo", name, data)


def mpeg_seeds(s):
    if not s.wavgen("src.wav", 44100, 16, 2, 0.3):
        return
    s.wavgen("src22.wav", 22050, 16, 1, 0.3)
    s.wavgen("src8.wav", 8000, 16, 1, 0.5)
    s.wavgen("src48.wav", 48000, 16, 2, 0.3)
    s.wavgen("src16.wav", 16000, 16, 1, 0.3)
    for name, args in {
        "lame-cbr128-info.mp3": ["-b", "128", "src.wav"],
        "lame-vbr-xing.mp3": ["-V", "4", "src.wav"],
        "lame-no-tag.mp3": ["-b", "64", "-t", "src.wav"],
        "lame-mpeg2-mono.mp3": ["-b", "32", "src22.wav"],
        "lame-mpeg25-8k.mp3": ["-b", "8", "src8.wav"],
        "lame-id3v2.mp3": ["-b", "96", "--id3v2-only", "--tt", "Seed", "--ta", "Tolvane", "src.wav"],
        "lame-id3v1.mp3": ["-b", "96", "--id3v1-only", "--tt", "Seed", "src.wav"],
    }.items():
        data = s.made("lame", "--quiet", *args, name, out=name)
        if data:
            # An ID3v1 tag sits at the very end: keep it behind the shortened audio.
            if "id3v1" in name:
                data = data[: MAX_SEED - 128] + data[-128:]
            s.put("mpeg", name, data)
    for name, args in {
        "twolame-48k.mp2": ["-b", "192", "src48.wav"],
        "twolame-16k-mono.mp2": ["-b", "32", "src16.wav"],
    }.items():
        data = s.made("twolame", "--quiet", *args, name, out=name)
        if data:
            s.put("mpeg", name, data)
    data = s.made("ffmpeg", "-v", "error", "-y", "-i", "src.wav", "-c:a", "mp2", "-b:a", "128k", "-f", "mp2",
                  "ffmpeg.mp2", out="ffmpeg.mp2")
    if data:
        s.put("mpeg", "ffmpeg.mp2", data)

    js128 = (0xFB, 0x90, 0x64)  # MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo
    frame = mpeg_frame(js128, 417)
    xing = bytearray(frame)
    xing[36:48] = b"Xing" + bytes([0, 0, 0, 0x0F]) + bytes([0xFF] * 4)
    layer1 = mpeg_frame((0xFF, 0x94, 0xC0), 4 * (12 * 128000 // 44100))  # 128 kbit/s mono
    id3_past_end = b"ID3\4\0\0" + bytes([0x7F, 0x7F, 0x7F, 0x7F]) + frame
    for name, data in {
        "layer1.mp1": layer1 * 3,
        "xing-max-frames.mp3": bytes(xing) + frame * 3,
        "xing-zero-frames.mp3": bytes(xing[:44]) + bytes(4) + bytes(xing[48:]) + frame,
        "tag-first.mp3": b"TAG" + bytes(125) + frame * 2,
        "id3-size-past-end.mp3": id3_past_end,
        "ff-ff-pattern.mp3": bytes([0xFF, 0xFB, 0xFF]) + bytes(61) + frame * 2,
        "free-format.mp3": mpeg_frame((0xFB, 0x00, 0x64), 400) * 2,
        "bad-rate-index.mp3": mpeg_frame((0xFB, 0x9C, 0x64), 400) * 2,
        "sync-at-window-edge.mp3": bytes(998) + frame * 2,
        "all-ff.mp3": bytes([0xFF]) * 600,
    }.items():
        s.put("mpeg", name, data)


def convwave_seeds(s):
    # Four job bytes: target rate index, target mode, flags (1 interpolate, 2 append, 4 high quality),
    # stop event.
    for name, job, args in [
        ("m8-8000-to-44100-interp", (4, 2, 1, 0), (8000, 8, 1, 0.2)),
        ("s16-44100-to-48000", (3, 3, 1, 0), (44100, 16, 2, 0.04)),
        ("s16-44100-same", (4, 3, 0, 0), (44100, 16, 2, 0.04)),
        ("s16-48000-to-24000-box", (6, 1, 1, 0), (48000, 16, 2, 0.04)),
        ("m24-96000-to-8000-mono8", (11, 0, 1, 0), (96000, 24, 1, 0.03)),
        ("s24-22050-to-22050-s24", (7, 5, 0, 0), (22050, 24, 2, 0.05)),
        ("s8-11025-append", (10, 1, 3, 0), (11025, 8, 2, 0.1)),
        ("m16-16000-stop-first", (8, 2, 1, 1), (16000, 16, 1, 0.2)),
        ("hq-s16-44100-to-48000", (3, 3, 5, 0), (44100, 16, 2, 0.04)),
        ("hq-s16-44100-same", (4, 3, 4, 0), (44100, 16, 2, 0.04)),
        ("hq-m24-96000-to-8000-mono8", (11, 0, 5, 0), (96000, 24, 1, 0.03)),
        ("hq-s8-11025-append", (10, 1, 7, 0), (11025, 8, 2, 0.1)),
        ("hq-m16-16000-stop-first", (8, 2, 5, 1), (16000, 16, 1, 0.2)),
    ]:
        data = s.wavgen(name + ".wav", *args)
        if data:
            s.put("convwave", name, bytes(job) + data, MAX_CONV_SEED)
    for name, job, args in [
        ("sox-6ch-16-to-stereo", (3, 3, 1, 0), ["-c", "6", "-b", "16"]),
        ("sox-8ch-24-to-mono", (5, 4, 0, 0), ["-c", "8", "-b", "24"]),
        ("hq-sox-6ch-16-to-stereo", (3, 3, 5, 0), ["-c", "6", "-b", "16"]),
    ]:
        out = name + ".wav"
        data = s.made("sox", "-n", "-r", "8000", *args, out, "synth", "0.05", "sine", "440", out=out)
        if data:
            s.put("convwave", name, bytes(job) + data, MAX_CONV_SEED)

    pcm = fmt_body(1, 2, 8000, 16)
    samples = ramp(400, 2)
    for name, job, data in [
        ("streamed-sizes", (3, 3, 1, 0), riff(chunk(b"fmt ", pcm), chunk(b"data", samples, 0xFFFFFFFF))),
        ("cut-mid-frame", (11, 3, 0, 0), riff(chunk(b"fmt ", pcm), chunk(b"data", samples, 4000))[:-3]),
        ("odd-data-then-list", (9, 2, 1, 0), riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", ramp(99, 1)), chunk(b"LIST", b"INFO"))),
        ("surround-extensible", (4, 5, 1, 0), riff(chunk(b"fmt ", extensible_fmt(6, 16000, 24, 0x3F)), chunk(b"data", ramp(6 * 200, 3)))),
        ("rate-one", (11, 0, 1, 0), riff(chunk(b"fmt ", fmt_body(1, 1, 1, 8)), chunk(b"data", ramp(20, 1)))),
        ("hq-rate-one", (11, 0, 5, 0), riff(chunk(b"fmt ", fmt_body(1, 1, 1, 8)), chunk(b"data", ramp(20, 1)))),
        ("hq-cut-mid-frame", (11, 3, 4, 0), riff(chunk(b"fmt ", pcm), chunk(b"data", samples, 4000))[:-3]),
        ("empty-data", (4, 3, 0, 0), riff(chunk(b"fmt ", pcm), chunk(b"data", b""))),
    ]:
        s.put("convwave", name, bytes(job) + data, MAX_CONV_SEED)


def ini_seeds(s):
    for name, text in {
        "settings.ini": b"[conf]\nTargetFreq=44100\nOutputPath=***\nVolume=0.5\nWaveMode=3\n",
        "crlf.ini": b"[conf]\r\nTargetFreq=48000\r\nOutputPath=/home/user/Music\r\n",
        "no-final-newline.ini": b"[conf]\nA=1\nB=2",
        "bom.ini": b"\xef\xbb\xbf[conf]\nA=1\n",
        "duplicate-sections.ini": b"[conf]\nA=1\n[Other]\nA=2\n[CONF]\nB=3\na=4\n",
        "comments.ini": b"; leading comment\n# hash comment\n[conf]\n;A=hidden\nA=shown ; not a comment\n",
        "odd-sections.ini": b"[]\nA=empty\n[ spaced ]\nB=1\n[a]b]\nC=2\n[unterminated\nD=3\n[[nested]]\nE=4\n",
        "odd-keys.ini": b"[conf]\nno value line\n=no key\n  spaced key  =  spaced value  \nA==B\nK=v=w\n",
        "quotes.ini": b"[conf]\nA=\"quoted\"\nB='single'\nC=\"\"\"\"\nD=\"half\nE=''\n",
        "escapes.ini": b"[conf]\nA=line\\nbreak\nB=back\\\\slash\nC=tail\\\nD=\\r\\n\n",
        "sentinels.ini": b"[conf]\nA=ISDEFAULT\nB=***\nC=\n",
        "long-value.ini": b"[conf]\nLong=" + b"a" * 3000 + "\u97f3".encode() * 10 + b"\nAfter=1\n",
        "nul-and-utf8.ini": b"[conf]\nA=\0b\nK\xc3\xa9y=accent\nBad\xff\xfe=invalid\n[\xe9\x9f\xb3]\nX=1\n",
        "lone-cr.ini": b"[conf]\rA=1\r\nB=2\r\r\nC=3\r",
        "tabs.ini": b"\t[conf]\t\n\tA\t=\t1\t\n",
    }.items():
        s.put("ini", name, text)


def id3_frame(fid, body, version=3, declared=None):
    size = len(body) if declared is None else declared
    if version == 4:
        size = bytes((size >> shift) & 0x7F for shift in (21, 14, 7, 0))
    else:
        size = struct.pack(">I", size)
    return fid + size + b"\0\0" + body


def id3_tag(frames, version=3, flags=0, padding=16):
    body = b"".join(frames) + bytes(padding)
    return b"ID3" + bytes([version, 0, flags]) + bytes((len(body) >> s) & 0x7F for s in (21, 14, 7, 0)) + body


def sjis(text):
    return text.encode("cp932")


def tagtext_seeds(s):
    for name, data in {
        "cp932-kanji-kana": sjis("夏の海辺で"),
        "cp932-katakana": sjis("ピアノ練習曲 第3番"),
        "cp932-halfwidth": sjis("ﾃｽﾄ"),
        "cp932-duplicates": b"\xed\x40\xfa\x5c\x87\x90\x81\xe0",
        "cp932-user-defined": b"\xf0\x40\xf9\xfc",
        "latin1-accent": "Beyoncé".encode("latin-1"),
        "latin1-eudc": "Mötley Crüe".encode("latin-1"),
        "latin1-two-kanji": "Hélène".encode("latin-1"),
        "windows-quote": "Don’t Stop".encode("cp1252"),
        "utf8-japanese": "夏の海辺で".encode(),
        "utf8-cut": "夏".encode()[:2],
        "ascii-nul": b"Hello\0World",
    }.items():
        s.put("tagtext", name, data)


def tags_seeds(s):
    js128 = (0xFB, 0x90, 0x64)
    audio = mpeg_frame(js128, 417) * 2
    cover = b"\xff\xd8\xff\xe0" + bytes(range(64))
    latin1 = lambda fid, text: id3_frame(fid, b"\0" + text)
    sjis_tag = id3_tag([latin1(b"TIT2", sjis("夏の海辺で")), latin1(b"TPE1", sjis("アーティストA/アーティストB")),
                        latin1(b"TRCK", b"3/12"), latin1(b"TYER", b"2019"), latin1(b"TDAT", b"0405"),
                        id3_frame(b"COMM", b"\0jpn\0" + sjis("コメント")),
                        id3_frame(b"TXXX", b"\0MOOD\0" + sjis("静か")),
                        id3_frame(b"APIC", b"\0image/jpeg\0\3" + sjis("表紙") + b"\0" + cover)])
    utf8 = lambda fid, text: id3_frame(fid, b"\3" + text.encode(), version=4)
    v24 = id3_tag([utf8(b"TIT2", "夏の海辺で"), utf8(b"TPE1", "A\0B"), utf8(b"TDRC", "2019-05-04T10:20"),
                   id3_frame(b"TXXX", b"\3MusicBrainz Album Id\0abc", version=4),
                   id3_frame(b"APIC", b"\3image/png\0\0\0" + b"\x89PNG" + bytes(32), version=4)], version=4)
    v22 = b"ID3\2\0\0" + bytes([0, 0, 0, 40]) + b"TT2\0\0\x06\0Title" + b"TP1\0\0\x05\0Band" + bytes(18)

    def v1(title, artist):
        return b"TAG" + title.ljust(30, b"\0") + artist.ljust(30, b"\0") + bytes(30) + b"2001" + bytes(28) + b"\0\7\x08"

    def info(*fields):
        body = b"INFO" + b"".join(chunk(fid, text + b"\0") for fid, text in fields)
        return riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", ramp(32, 2)), chunk(b"LIST", body))
    for name, data in {
        "id3v23-sjis.mp3": sjis_tag + audio,
        "id3v24-utf8.mp3": v24 + audio,
        "id3v22.mp3": v22 + audio,
        "id3v1-sjis.mp3": audio + v1(sjis("朝のニュース"), sjis("東京事変")),
        "frame-past-tag.mp3": id3_tag([id3_frame(b"TIT2", b"\0Title", declared=5000)]) + audio,
        "apic-size-huge.mp3": id3_tag([id3_frame(b"APIC", b"\0image/jpeg\0\3\0" + cover, declared=0x7FFFFFF0)]) + audio,
        "unsynchronised.mp3": id3_tag([latin1(b"TIT2", b"\xff\0\xe0 title")], flags=0x80) + audio,
        "tag-size-past-end.mp3": b"ID3\3\0\0\x7f\x7f\x7f\x7f" + latin1(b"TIT2", b"cut"),
        "info-cp932.wav": info((b"INAM", sjis("夏の海辺で")), (b"IART", sjis("東京事変")), (b"ICRD", b"2019")),
        "info-odd-sizes.wav": riff(chunk(b"fmt ", fmt_body(1, 1, 8000, 16)), chunk(b"data", ramp(8, 2)),
                                   chunk(b"LIST", b"INFOINAM\xff\xff\0\0abc")),
    }.items():
        s.put("tags", name, data)
    if not s.wavgen("tags-src.wav", 22050, 16, 1, 0.05):
        return
    made = s.made("ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=8x8", "-frames:v", "1",
                  "cover.jpg", out="cover.jpg")
    metadata = ["-metadata", "title=夏の海辺で", "-metadata", "artist=東京事変", "-metadata", "track=3/12",
                "-metadata", "comment=テスト"]
    with_cover = ["-i", "cover.jpg", "-map", "0:a", "-map", "1:v", "-c:v", "copy", "-disposition:v", "attached_pic"]
    for name, args in {
        "ffmpeg.m4a": (with_cover if made else []) + ["-c:a", "aac", "-b:a", "24k"],
        "ffmpeg.flac": (with_cover if made else []) + ["-c:a", "flac"],
        "ffmpeg.ogg": ["-c:a", "libvorbis", "-q:a", "0"],
        "ffmpeg.opus": ["-c:a", "libopus", "-b:a", "16k"],
        "ffmpeg.wma": ["-c:a", "wmav2", "-b:a", "32k"],
        "ffmpeg.aiff": ["-c:a", "pcm_s16be", "-write_id3v2", "1"],
    }.items():
        data = s.made("ffmpeg", "-v", "error", "-y", "-i", "tags-src.wav", *args, *metadata, name, out=name)
        if data:
            s.put("tags", name, data, MAX_TAGS_SEED)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", type=Path, default=ROOT.parent / "build" / "bin",
                        help="folder holding tolvane-wavgen (default: build/bin)")
    args = parser.parse_args()
    if not (args.bin / "tolvane-wavgen").is_file():
        sys.exit(f"{args.bin / 'tolvane-wavgen'} is missing: run 'make build' first")
    for old in CORPUS.glob("*/seed-*"):
        old.unlink()
    with tempfile.TemporaryDirectory(prefix="tolvane-seeds-") as work:
        seeds = Seeds(args.bin.resolve(), Path(work))
        wave_seeds(seeds)
        mpeg_seeds(seeds)
        convwave_seeds(seeds)
        ini_seeds(seeds)
        tagtext_seeds(seeds)
        tags_seeds(seeds)
    print(f"{seeds.count} seeds written under {CORPUS}")
    for what in sorted(seeds.skipped):
        print(f"skipped: {what}")


if __name__ == "__main__":
    main()
