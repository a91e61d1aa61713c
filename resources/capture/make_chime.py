#!/usr/bin/python3
"""Writes success.wav: the decode page's success chime, a two-tone ding
(E6 then A6 with a soft decay), 16-bit mono PCM at 11,025 Hz, 0.73 s."""
import math
import struct
import sys

RATE = 11025
SECONDS = 0.73


def sample(i):
    t = i / RATE
    tones = [(1318.5, 0.0), (1760.0, 0.12)]  # frequency, start time
    value = 0.0
    for freq, start in tones:
        if t >= start:
            u = t - start
            attack = min(1.0, u / 0.005)
            value += 0.45 * attack * math.exp(-u * 6.0) * math.sin(2 * math.pi * freq * u)
    fade = min(1.0, (SECONDS - t) / 0.02)  # no click at the end
    return int(max(-1.0, min(1.0, value * fade)) * 32767)


def main(path):
    count = int(RATE * SECONDS)
    data = b"".join(struct.pack("<h", sample(i)) for i in range(count))
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as f:
        f.write(header + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "success.wav")
