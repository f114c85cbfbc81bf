#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/.

Usage: python3 tests/fuzz/make_corpus.py HIBARION

HIBARION is the command-line front end of a host build (build/host/hibarion). It is
copied to a scratch folder and run there, so that the default settings file and the
recordings in the corpus are the program's own output. Everything else is built here,
byte by byte: well-formed files and the malformed variants that each loader refuses.

Seeds of fuzz_wave begin with two bytes that choose firstToneSeconds and inputRatio,
those of fuzz_tape with four that choose outputSlowness, outputRatio, firstToneSeconds
and inputRatio: 0 is the default, the other indices are those of chooseReal in
fuzz_support.cpp (named below). Seeds of fuzz_robust_decoder begin with two bytes that
choose the rate and one that chooses the block size, then float samples. Inputs that the
campaign found are kept beside the seeds as regression-*; this script leaves them alone.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

# Indices into chooseReal's cases.
DEFAULT, ZERO, NAN, INF, HUGE, MINUS_ONE, SIXTEEN, HALF, TENTH = 0, 1, 3, 5, 14, 11, 17, 20, 21


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(bytes(data))


def clear_seeds():
    for target in ("fuzz_wave", "fuzz_tape", "fuzz_settings", "fuzz_skin", "fuzz_tokenize",
                   "fuzz_robust_decoder", "fuzz_program_structure", "fuzz_cp932", "fuzz_take_merge"):
        folder = os.path.join(CORPUS, target)
        if not os.path.isdir(folder):
            continue
        for name in os.listdir(folder):
            if not name.startswith("regression-"):
                os.remove(os.path.join(folder, name))


# ---- Tape images -------------------------------------------------------------------

def basic_image(first_address=0x8000):
    """A BASIC program: tape header, name "GAME  ", lines with tokens, a string, REM,
    DATA, a semigraphic character and a control code, then the end mark. Its links
    count from `first_address`: as saved from 0x8001, one short by default."""
    header = bytes([0xD3] * 10) + b"GAME  "
    lines = [
        (10, bytes([0x95]) + b'"HELLO"'),                    # PRINT "HELLO"
        (20, bytes([0x8E]) + b' "X" ' + bytes([0x95])),     # REM "X" PRINT
        (30, bytes([0x83]) + b"1:" + bytes([0x95])),         # DATA 1:PRINT
        (40, bytes([0x95, 0x14, 0x31, 0x07, 0x22, 0x07, 0x22])),
        (65535, bytes([0x88]) + b"10"),                      # GOTO 10
    ]
    body = b""
    address = first_address
    for number, text in lines:
        address += 4 + len(text) + 1
        body += struct.pack("<HH", address, number) + text + b"\x00"
    return header + body + b"\x00\x00\x00"


# ---- Recordings --------------------------------------------------------------------

def wav(samples, rate, channels=1, bits=8, align=1, fmt_extra=b"", chunks=b""):
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits) + fmt_extra
    body = b"WAVEfmt " + struct.pack("<I", len(fmt)) + fmt + chunks
    body += b"data" + struct.pack("<I", len(samples)) + bytes(samples)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def tape_signal(image, rate, leader_cells):
    """The encoder's framing at `rate` with a leader of `leader_cells` cells."""
    out = []
    phase = [0.0]

    def cell(high, x=1.0):
        t, e = phase[0], x / 1200
        while t < e:
            v = math.sin(math.pi * t * 4800) if high else math.sin(t * math.pi * 2400)
            a = 120 / 1.32 if high else 120
            out.append(max(0, min(255, int(128.5 - a * v))))
            t += 1 / rate
        phase[0] = t - e

    def frame(value):
        for bit in (1, 1, 1, 0) + tuple((value >> k) & 1 for k in range(8)):
            cell(bit == 1)

    silence = [128] * (rate // 20)
    out.extend(silence)
    for _ in range(leader_cells):
        cell(True)
    for b in image[:16]:
        frame(b)
    for _ in range(60):
        cell(True)
    for b in image[16:]:
        frame(b)
    for _ in range(59):
        cell(True)
    out.extend(silence)
    return out


def robust_decoder_seeds():
    """Short tape signals as floats at the rates the first two bytes choose, 4000 +
    11.66 x: clean, inverted with samples that are no numbers, and one at 44100."""
    def seed(name, selector, block, image, leader, change=lambda x: x, edit=lambda s, rate: s):
        rate = round(4000 + 11.66 * selector)
        floats = [change((x - 128) / 128) for x in edit(tape_signal(image, rate, leader), rate)]
        write("fuzz_robust_decoder", name,
              struct.pack("<HB", selector, block) + struct.pack("<%df" % len(floats), *floats))

    seed("clean-6000.bin", 172, 0, list(range(0, 240, 20)), 100)
    seed("clean-8000.bin", 343, 7, list(range(20)), 80)
    seed("clean-44100.bin", 3439, 255, [0x00, 0xFF, 0x5A], 40)
    specials = iter([float("nan"), float("inf"), float("-inf"), 1e30, 1e-40] * 100000)
    seed("inverted-no-numbers-6000.bin", 172, 1, [0x0F, 0xF0, 0x33], 100,
         lambda x: next(specials) if x == 0 else -x)

    # A body of 60 bytes after the header block, at 6000 samples a second: 150 ms of
    # silence inside it, 50 ms cut out of it, and the recording starting inside it.
    body = list(range(0, 256, 3))[:76]
    body_start = 6000 // 20 + round((100 + 16 * 12 + 60) * 6000 / 1200)
    def inside(byte, cells):
        return body_start + round((12 * byte + cells) * 6000 / 1200)
    seed("silence-inside-6000.bin", 172, 3, body, 100,
         edit=lambda s, rate: s[:inside(20, 6.5)] + [128] * (rate * 15 // 100) + s[inside(35, 6.5):])
    seed("splice-6000.bin", 172, 5, body, 100,
         edit=lambda s, rate: s[:inside(20, 6.5)] + s[inside(25, 1.5):])
    seed("starts-inside-6000.bin", 172, 9, body, 100, edit=lambda s, rate: s[inside(20, 6.5):])


def shorten_leader(recording, keep):
    """The program's recording with its 4-second leader cut to `keep` samples."""
    samples = recording[44:]
    return samples[:5000 + keep] + samples[5000 + 44100:]


def wave_seeds(recording):
    write("fuzz_wave", "encoder-24-bytes.wav", [DEFAULT, DEFAULT] + list(recording))
    short = shorten_leader(recording, 4410)
    write("fuzz_wave", "encoder-short-leader.wav", [TENTH, DEFAULT] + list(wav(short, 11025)))
    signal = tape_signal(basic_image()[:20], 48000, 480)
    write("fuzz_wave", "synthetic-48000.wav", [TENTH, DEFAULT] + list(wav(signal, 48000)))
    signal = tape_signal(b"\x00\xff\x55", 8000, 360)
    write("fuzz_wave", "synthetic-8000.wav", [TENTH, HALF] + list(wav(signal, 8000)))

    loud_end = [128] * 40 + [200]
    tone = [128, 200, 250, 200, 128, 56, 6, 56] * 40
    for rate in (0, 1, 1199, 1200, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF):
        write("fuzz_wave", "rate-%d.wav" % rate, [ZERO, DEFAULT] + list(wav(tone, rate)))
    write("fuzz_wave", "silent.wav", [DEFAULT, DEFAULT] + list(wav([127] * 64, 11025)))
    write("fuzz_wave", "loud-last-sample.wav", [DEFAULT, DEFAULT] + list(wav(loud_end, 11025)))
    write("fuzz_wave", "window-nan.wav", [NAN, NAN] + list(wav(tone, 11025)))

    short_tone = tone[:64]
    malformed = {
        "empty": b"",
        "riff-only": b"RIFF",
        "riff-size-cut": b"RIFF\x10\x00",
        "rifx": b"RIFX" + wav(short_tone, 11025)[4:],
        "not-wave": wav(short_tone, 11025)[:8] + b"WAVEdata" + wav(short_tone, 11025)[16:],
        "format-size-0": b"RIFF\x00\x00\x00\x00WAVEfmt \x00\x00\x00\x00data\x00\x00\x00\x00",
        "format-15-bytes": wav(short_tone, 11025)[:16] + b"\x0f\x00\x00\x00" + bytes(15),
        "format-18-bytes": wav(short_tone, 11025, fmt_extra=b"\x55\x55"),
        "format-40-bytes": wav(short_tone, 11025, fmt_extra=bytes(24)),
        "format-size-huge": wav(short_tone, 11025)[:16] + b"\xff\xff\xff\xff" + bytes(16),
        "stereo": wav(short_tone, 11025, channels=2),
        "sixteen-bits": wav(short_tone, 11025, bits=16),
        "align-0": wav(short_tone, 11025, align=0),
        "align-2-odd-data": wav(short_tone[:63], 11025, align=2),
        "list-chunk-odd": wav(tone, 11025, chunks=b"LIST\x03\x00\x00\x00abc"),
        "fact-chunk": wav(tone, 11025, chunks=b"fact\x04\x00\x00\x00\x40\x01\x00\x00"),
        "data-zero": wav([], 11025),
        "two-data-chunks": wav(tone, 11025) + b"data\x04\x00\x00\x00\x00\xff\x00\xff",
    }
    base = wav(short_tone, 11025)
    malformed["data-longer-than-file"] = base[:40] + b"\x00\x01\x00\x00" + base[44:]
    malformed["data-size-huge"] = base[:40] + b"\xff\xff\xff\xff" + base[44:]
    no_data = base[:36]
    malformed["no-data-at-boundary"] = no_data
    malformed["no-data-in-size"] = no_data + b"LIST\x08\x00"
    malformed["no-data-in-chunk"] = no_data + b"LIST\x08\x00\x00\x00abc"
    for name, data in malformed.items():
        write("fuzz_wave", name + ".wav", [DEFAULT, DEFAULT] + list(data))


def tape_seeds():
    program = basic_image()
    write("fuzz_tape", "basic-program.p6", [DEFAULT] * 4 + list(program))
    write("fuzz_tape", "basic-program-slow.p6", [SIXTEEN, DEFAULT, DEFAULT, DEFAULT] + list(program))
    for name, size in (("empty", 0), ("one-byte", 1), ("fifteen-bytes", 15), ("header-only", 16)):
        write("fuzz_tape", name + ".p6", [DEFAULT] * 4 + list(program[:size]))
    write("fuzz_tape", "end-after-header.p6", [DEFAULT] * 4 + list(program[:16]) + [0, 0, 0])
    write("fuzz_tape", "line-head-cut.p6", [DEFAULT] * 4 + list(program[:16]) + [0x10, 0x80, 0x0A])
    write("fuzz_tape", "no-line-end.p6", [DEFAULT] * 4 + list(program[:16]) + [1, 1, 10, 0, 0x95, 0x22])
    write("fuzz_tape", "all-ff.p6", [DEFAULT] * 4 + [0xFF] * 64)
    state = 12345
    noise = []
    for _ in range(256):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        noise.append(state >> 23)
    write("fuzz_tape", "noise.p6", [DEFAULT] * 4 + noise)
    settings = {
        "slowness-nan": [NAN, DEFAULT, DEFAULT, DEFAULT],
        "slowness-negative": [MINUS_ONE, DEFAULT, DEFAULT, DEFAULT],
        "slowness-infinite": [INF, DEFAULT, DEFAULT, DEFAULT],
        "slowness-huge": [HUGE, DEFAULT, DEFAULT, DEFAULT],
        "slowness-half": [HALF, DEFAULT, DEFAULT, DEFAULT],
        "ratio-zero": [DEFAULT, ZERO, DEFAULT, DEFAULT],
        "ratio-nan": [DEFAULT, NAN, DEFAULT, DEFAULT],
        "ratio-negative": [DEFAULT, MINUS_ONE, DEFAULT, DEFAULT],
    }
    for name, choice in settings.items():
        write("fuzz_tape", name + ".p6", choice + list(program[:40]))


# ---- Settings files ----------------------------------------------------------------

def program_structure_seeds():
    """Seeds of fuzz_program_structure: byte 0 odd builds a whole program from line
    bodies between 0x00 bytes; even takes the rest as decoded, 2 with the header marks
    put over its first ten bytes."""
    write("fuzz_program_structure", "whole-lines.bin",
          [1] + list(b"GAME  " + b"\x95\"HELLO\"\x00\x8e X\x00\x00\x88" + b"10\x00\xc9"))
    program = bytearray(basic_image(0x8001))
    end = len(program) - 3
    second = 16 + program[16] + 256 * program[17] - 0x8001
    third = 16 + program[second] + 256 * program[second + 1] - 0x8001
    write("fuzz_program_structure", "program.p6", [0] + list(program))
    damages = {
        "header-and-link": lambda p: p.__setitem__(3, 0x13) or p.__setitem__(second, p[second] ^ 4),
        "lost-bytes": lambda p: p.__delitem__(slice(third + 5, third + 7)),
        "gained-byte": lambda p: p.insert(third + 5, 0x41),
        "stray-zero": lambda p: p.__setitem__(second + 5, 0),
        "line-number": lambda p: p.__setitem__(third + 3, 0x7F),
        "end-zero": lambda p: p.__setitem__(end + 1, 0x01),
    }
    for name, damage in damages.items():
        damaged = bytearray(program)
        damage(damaged)
        write("fuzz_program_structure", name + ".p6", [0] + list(damaged))
    write("fuzz_program_structure", "marks-and-noise.bin", [2] + [0x55, 0xAA, 0x01, 0x00] * 16)


def take_merge_seeds():
    """Seeds of fuzz_take_merge: byte 0 holds the takes less one (low two bits) and, in
    bit 2, whether the first piece is the tape that the later pieces edit into takes;
    pieces end at 0xFF 0xFE."""
    tape = [(k * 37 + 11) % 251 for k in range(300)]
    cut = [0xFF, 0xFE]
    keep, lose, misread, stray = 0, 1, 2, 3
    apart = [
        [keep, 99, lose, 14, misread, 0x55, keep, 200],
        [keep, 199, keep, 40, lose, 11, stray, 0x12],
        [keep, 20, misread, 0x21, misread, 0x22, keep, 255],
    ]
    data = [4 | 2] + tape
    for edits in apart:
        data += cut + edits
    write("fuzz_take_merge", "three-takes-apart.bin", data)
    data = [4 | 1] + tape + cut + [keep, 99, lose, 14] + cut + [keep, 104, lose, 14]
    write("fuzz_take_merge", "two-takes-overlapping.bin", data)
    own = []
    for k, value in enumerate(tape[:120]):
        own += [value, 0x80 | 100 if k == 60 else (20 if k % 17 == 0 else 120)]
    other = []
    for value in reversed(tape[:90]):
        other += [value, 127]
    write("fuzz_take_merge", "another-tape.bin", [1] + own + cut + other)


def settings_seeds(default_file):
    write("fuzz_settings", "default.ini", default_file)
    lines = default_file.split(b"\r\n")[:22]

    def join(parts, end=b"\r\n"):
        return end.join(parts) + end

    def replaced(index, line):
        return join(lines[:index] + [line] + lines[index + 1:])

    key = [line[:line.rindex(b"=") + 1] for line in lines[1:6]]
    variants = {
        "line-feeds-only": join(lines, b"\n"),
        "extra-lines": join(lines + [b"[OTHER]", b"key = 1"]),
        "section-lower-case": replaced(0, b"[hibarion]"),
        "section-continues": replaced(0, b"[HIBARION] and more"),
        "key-without-blank": replaced(1, key[0].replace(b" =", b"=") + b"2.0"),
        "ends-after-line-6": join(lines[:6]),
        "row-3-short": replaced(8, lines[8][:20]),
        "row-31-bytes-and-line-feed": join(lines[:6]) + lines[6][:31] + b"\n" + join(lines[7:]),
        "last-row-31-bytes": join(lines[:21]) + lines[21][:31] + b"\n",
        "values-odd": join([lines[0],
                            key[0] + b"   1.5e1xyz",
                            key[1] + b"-.5",
                            key[2] + b"no digits",
                            key[3] + b"4",
                            key[4] + b"-2147483649"] + lines[6:]),
        "values-extreme": join([lines[0],
                                key[0] + b"1e-400",
                                key[1] + b"1e400",
                                key[2] + b"0.000000000000000000000000000001",
                                key[3] + b"  16.04999",
                                key[4] + b"99999999999"] + lines[6:]),
        "value-needs-long-line": replaced(4, key[3] + b"1e300"),
        "line-longer-than-limit": replaced(2, key[1] + b"1" * 300),
        "carriage-returns-only": join(lines, b"\r"),
        "zero-bytes-in-rows": join(lines[:6] + [bytes(32)] * 16),
        "single-byte-rows": join(lines[:6] + [b"0123456789ABCDEFGHIJKLMNOPQRSTUV"] * 16),
        "empty": b"",
        "section-only": b"[HIBARION]",
    }
    for name, data in variants.items():
        write("fuzz_settings", name + ".ini", data)


# ---- Skin pictures -----------------------------------------------------------------

def bmp(width, height, colours=0, bits=4, compression=0, info_size=40, gap=b"", pixels=None,
        palette_entries=None):
    rows = abs(height)
    row_bytes = width // 2 if width % 8 == 0 else (width + 8 - width % 8) // 2
    if pixels is None:
        pixels = bytes((x * 17 + y) & 0xFF for y in range(rows) for x in range(max(row_bytes, 0)))
    entries = palette_entries if palette_entries is not None else (colours or 16)
    palette = b"".join(struct.pack("<BBBB", (16 * i) & 0xFF, (255 - 16 * i) & 0xFF, 8 * i, 0) for i in range(entries))
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression,
                       len(pixels), 2835, 2835, colours, 0)
    info += bytes(max(0, info_size - 40))
    offset = 14 + len(info) + len(palette) + len(gap)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return header + info + palette + gap + pixels


def skin_seeds(skin):
    write("fuzz_skin", "hibarion-skin.bmp", skin)
    seeds = {
        "one-pixel": bmp(1, 1),
        "nine-by-two": bmp(9, 2),
        "top-down": bmp(8, -3),
        "two-colours": bmp(8, 2, colours=2),
        "seventeen-colours": bmp(8, 2, colours=17),
        "zero-width": bmp(0, 5, pixels=b""),
        "negative-width": bmp(-8, 2, pixels=bytes(8)),
        "widest-one-row": bmp(32767, 1),
        "too-wide": bmp(32768, 1, pixels=bytes(16)),
        "huge-claimed": bmp(32767, 32767, pixels=bytes(64)),
        "pixels-cut": bmp(16, 4)[:-5],
        "palette-cut": bmp(8, 1)[:54 + 30],
        "not-bm": b"MB" + bmp(8, 1)[2:],
        "24-bits": bmp(8, 1, bits=24, pixels=bytes(24)),
        "rle4": bmp(8, 1, compression=2),
        "info-108": bmp(8, 1, info_size=108),
        "info-12": bmp(8, 1)[:14] + struct.pack("<IHHHH", 12, 8, 1, 1, 4),
        "gap-before-pixels": bmp(8, 2, gap=b"\xAA" * 6),
        "empty": b"",
        "file-header-cut": b"BM" + bytes(11),
        "info-header-cut": bmp(8, 1)[:40],
    }
    for name, data in seeds.items():
        write("fuzz_skin", name + ".bmp", data)


# ---- The program's own output --------------------------------------------------------

def program_output(hibarion):
    """The default settings file, the recording of a 24-byte image and the listing of
    the whole BASIC image, as written by the program itself."""
    with tempfile.TemporaryDirectory() as scratch:
        program = os.path.join(scratch, "hibarion")
        shutil.copy(hibarion, program)
        image = os.path.join(scratch, "GAME.p6")
        with open(image, "wb") as out:
            out.write(basic_image()[:24])
        subprocess.run([program, image], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(scratch, "Hibarion.ini"), "rb") as f:
            settings = f.read()
        with open(os.path.join(scratch, "GAME_.wav"), "rb") as f:
            recording = f.read()
        image = os.path.join(scratch, "LIST.p6")
        with open(image, "wb") as out:
            out.write(basic_image())
        subprocess.run([program, image], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(scratch, "LIST.txt"), "rb") as f:
            listing = f.read()
    return settings, recording, listing


# ---- Program texts ---------------------------------------------------------------------

def tokenize_seeds(listing):
    """The program's listing of basic_image(), the bundled example's text, plain UTF-8
    with kana and semigraphics, plain text as people type it (indented, lower case, code
    page 932 that is valid UTF-8), and texts that are refused."""
    write("fuzz_tokenize", "listing.txt", listing)
    with open(os.path.join(HERE, "..", "..", "examples", "hello.bas"), "rb") as f:
        write("fuzz_tokenize", "hello.bas", f.read())
    write("fuzz_tokenize", "plain.bas",
          '10 PRINT "カナ月┏━┓":REM ｶﾅ\r\n20 DATA 1,あ\r\n30 A=TAB(1)+INKEY$\n'.encode())
    write("fuzz_tokenize", "typed.bas", b' \t10\tprint "\xC3\xB1":rem print\n\t\n20 data a\tb\n')
    write("fuzz_tokenize", "no-number.bas", b"10 END\nEND\n")
    write("fuzz_tokenize", "long-line.bas", b'10 "' + b"A" * 260 + b'"\n')


# ---- Text for the web page's code page 932 converter ----------------------------------------

def cp932_seeds():
    """Each direction with kana, the characters glibc maps one way only, and a sequence
    cut at the end; the first byte picks the direction (odd: from UTF-8)."""
    text = '10 PRINT "ﾃｽﾄ" かな \u00a5 \u2014 \u2170\n'
    write("fuzz_cp932", "utf8-kana", b"\xff" + text.encode())
    write("fuzz_cp932", "cp932-kana", b"\xfe" + '10 PRINT "ﾃｽﾄ" かな ― \uf8f0'.encode("cp932") + b"\xed\x40")
    write("fuzz_cp932", "utf8-cut", b"\x09" + "かか".encode()[:5])
    write("fuzz_cp932", "cp932-cut", b"\x0a\x82")
    # A language tag between letters: iconv passes over it.
    write("fuzz_cp932", "utf8-language-tag", b"\x09A" + "\U000e0065".encode() + b"B")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    settings, recording, listing = program_output(sys.argv[1])
    clear_seeds()
    wave_seeds(recording)
    tape_seeds()
    robust_decoder_seeds()
    settings_seeds(settings)
    tokenize_seeds(listing)
    program_structure_seeds()
    take_merge_seeds()
    cp932_seeds()
    with tempfile.TemporaryDirectory() as scratch:
        picture = os.path.join(scratch, "Hibarion.bmp")
        subprocess.run([sys.executable, os.path.join(HERE, "..", "..", "tools", "make_skin.py"),
                        picture], check=True)
        with open(picture, "rb") as f:
            skin_seeds(f.read())


if __name__ == "__main__":
    main()
