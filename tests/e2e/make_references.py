#!/usr/bin/env python3
"""Makes the end-to-end suite's input files and what the host build writes for them.

Usage: make_references.py HOST_HIBARION DATA_DIR EXAMPLE.p6

DATA_DIR/sample.p6     a small BASIC program on tape; beside it a copy of the example
DATA_DIR/default/      the host program's outputs with the default settings:
                       sample_.wav, sample.txt, sample_.P6 (sample_.wav decoded), the
                       example's recording and listing, and the default Hibarion.ini
DATA_DIR/changed/      its outputs with the settings the dialog test sets (first tone
                       1.5 s, output ratio 2.00, 1/16 speed, no listing): sample_.wav,
                       tone.P6 (default sample_.wav decoded) and the Hibarion.ini saved
                       at exit
The Windows program must write the same bytes for the same drops.
"""
import os
import shutil
import subprocess
import sys


def basic_program():
    """A tape image: header, the name on tape, program lines, the end mark."""
    header = bytes([0xD3] * 10) + b"HIBARI"
    lines = [
        (10, bytes([0x95]) + b'"HELLO"'),                       # PRINT "HELLO"
        (20, bytes([0x8E]) + b" " + bytes([0xC3, 0xBD, 0xC4])),  # REM and kana
        (30, bytes([0x83]) + b"1,2:" + bytes([0x95])),           # DATA keeps the rest literal
        (40, bytes([0x14, 0x31, 0x14, 0x40]) + b"A"),            # semigraphics
        (50, bytes([0x88]) + b"10"),
    ]
    body = b""
    address = 0xC41E
    for number, text in lines:
        address += 5 + len(text)
        body += address.to_bytes(2, "little") + number.to_bytes(2, "little") + text + b"\0"
    return header + body + bytes(12)


def run(tool_dir, *names):
    # The program answers 1 when a file gave a message: only the files count here.
    subprocess.run([os.path.join(tool_dir, "hibarion"), *names], cwd=tool_dir,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    for name in names:
        if not os.path.exists(os.path.join(tool_dir, name)):
            sys.exit("missing input " + name)


def require(folder, *names):
    for name in names:
        if not os.path.isfile(os.path.join(folder, name)):
            sys.exit("the host program did not write %s/%s" % (folder, name))


def changed_settings(default_ini):
    """The default settings file with the values the dialog test types in."""
    lines = default_ini.split(b"\r\n")
    values = {1: b"1.5", 3: b"2.00", 4: b" 16.0", 5: b"0"}
    for index, value in values.items():
        key = lines[index].split(b"=", 1)[0]
        lines[index] = key + b"=" + value
    return b"\r\n".join(lines)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    tool, data, example = sys.argv[1], sys.argv[2], sys.argv[3]
    shutil.rmtree(data, ignore_errors=True)
    os.makedirs(data)
    shutil.copy(example, data)
    example_name = os.path.basename(example)
    example_stem = example_name[:-3]
    sample = os.path.join(data, "sample.p6")
    with open(sample, "wb") as out:
        out.write(basic_program())

    default = os.path.join(data, "default")
    os.makedirs(default)
    shutil.copy(tool, default)
    shutil.copy(sample, default)
    shutil.copy(example, default)
    run(default, "sample.p6", example_name)
    run(default, "sample_.wav")
    require(default, "sample_.wav", "sample.txt", "sample_.P6", "Hibarion.ini",
            example_stem + "_.wav", example_stem + ".txt")

    changed = os.path.join(data, "changed")
    os.makedirs(changed)
    shutil.copy(tool, changed)
    shutil.copy(sample, changed)
    shutil.copy(os.path.join(default, "sample_.wav"), os.path.join(changed, "tone.wav"))
    with open(os.path.join(default, "Hibarion.ini"), "rb") as source:
        ini = changed_settings(source.read())
    with open(os.path.join(changed, "Hibarion.ini"), "wb") as out:
        out.write(ini)
    run(changed, "sample.p6", "tone.wav")
    require(changed, "sample_.wav", "tone.P6")
    if os.path.exists(os.path.join(changed, "sample.txt")):
        sys.exit("the host program listed with listings off")


if __name__ == "__main__":
    main()
