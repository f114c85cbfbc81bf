#!/usr/bin/env python3
"""encode_sound.py IN.wav OUT.flac|OUT.ogg: a 16-bit WAV file written again as FLAC or
Ogg Vorbis through libsndfile, the library the command-line program reads them with."""
import ctypes
import sys
import wave

SF_FORMAT_FLAC, SF_FORMAT_OGG = 0x170000, 0x200000
SF_FORMAT_PCM_16, SF_FORMAT_VORBIS = 0x0002, 0x0060
SFM_WRITE = 0x20


class SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def main():
    source, target = sys.argv[1:3]
    with wave.open(source, "rb") as w:
        if w.getsampwidth() != 2:
            sys.exit("encode_sound.py: the input must be 16-bit")
        rate, channels, frames = w.getframerate(), w.getnchannels(), w.getnframes()
        data = w.readframes(frames)
    library = ctypes.CDLL("libsndfile.so.1")
    library.sf_open.restype = ctypes.c_void_p
    library.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SfInfo)]
    library.sf_writef_short.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int64]
    library.sf_close.argtypes = [ctypes.c_void_p]
    kind = SF_FORMAT_FLAC | SF_FORMAT_PCM_16 if target.endswith(".flac") else SF_FORMAT_OGG | SF_FORMAT_VORBIS
    info = SfInfo(0, rate, channels, kind, 0, 0)
    sound = library.sf_open(target.encode(), SFM_WRITE, ctypes.byref(info))
    if not sound:
        sys.exit(f"encode_sound.py: libsndfile cannot write {target}")
    written = library.sf_writef_short(sound, data, frames)
    library.sf_close(sound)
    if written != frames:
        sys.exit(f"encode_sound.py: {target} was cut short")


main()
