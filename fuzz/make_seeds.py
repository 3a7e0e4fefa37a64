#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_rawfile into tests/fixtures/raw (run from the repository root)."""
import os
import struct

OUT = os.path.join("tests", "fixtures", "raw")


def header(channels, samples, **f):
    h = bytearray(256)
    struct.pack_into("<HII", h, 0, channels, f.get("created", samples), samples)
    h[10] = 8
    h[11] = f.get("sine", 0)
    struct.pack_into("<Hi", h, 12, f.get("clock", 10000), f.get("divider", 2))
    h[19] = f.get("ext", 0)
    h[20] = f.get("mode", 0)
    h[21] = f.get("half", 0)
    struct.pack_into("<Hii", h, 22, f.get("vscale", 1000), f.get("start", 0), f.get("width", samples))
    h[40], h[41] = 20, 1
    h[42] = f.get("detector", 0)
    return bytes(h)


def channel(i, samples, cursor=0, gain=0):
    head = struct.pack("<HBBi8x", gain, 0, i + 1, cursor)
    body = bytes(((k * 37 + i * 11) ^ (k >> 3)) & 0xFF for k in range(samples))
    return head + body


def record(channels, samples, cursors=None, **f):
    out = b"ZORIVRAW" + header(channels, samples, **f)
    for i in range(channels):
        out += channel(i, samples, (cursors or [0] * channels)[i], gain=i)
    return out


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {
        "empty-record.raw": record(0, 0),
        "one-channel.raw": record(1, 40, [5], sine=1),
        "two-channels-detector.raw": record(2, 300, [10, 299], detector=1, mode=3, half=4, width=100, start=50),
        "five-channels-envdiff.raw": record(5, 64, [0, 1, 2, 63, 64], mode=4, half=126, vscale=3000),
        "hostile-window.raw": record(3, 50, [-7, 1 << 30, 25], start=-(1 << 31), width=(1 << 31) - 1,
                                     vscale=65535, mode=200, half=255, divider=-(1 << 31), clock=0, sine=1),
        "hostile-narrow.raw": record(2, 20, [3, 4], start=(1 << 31) - 1, width=-3, vscale=0, mode=6, half=127,
                                     divider=0, clock=65535, sine=1),
        "cut-7-bytes.raw": record(1, 10)[:7],
        "cut-magic-only.raw": record(1, 10)[:8],
        "cut-263-bytes.raw": record(1, 10)[:263],
        "cut-channel-header.raw": record(2, 10)[:264 + 8],
        "cut-last-samples.raw": record(3, 30)[:-1],
        "wrong-magic.raw": b"ZORIVRAX" + record(1, 10)[8:],
        "six-channels.raw": b"ZORIVRAW" + header(6, 2) + channel(0, 2) * 6,
        "samples-163841.raw": b"ZORIVRAW" + header(1, 163841) + channel(0, 32),
        # Channels that span several blocks of 32768 samples; few channels keep the files small.
        "blocks-40000-detector.raw": record(2, 40000, [32767, 39999], detector=1, mode=5, half=30,
                                            start=32000, width=1500, sine=1),
        "blocks-65537.raw": record(1, 65537, [65536], mode=2, start=65000, width=537, vscale=2500),
        "blocks-163840.raw": record(1, 163840, [163839], mode=6, half=126, start=131000, width=32840),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
