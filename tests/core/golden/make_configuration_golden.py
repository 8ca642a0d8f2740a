#!/usr/bin/env python3
"""Writes the expected default settings blocks, straight from the block
layout table, for ConfigurationBlock_test.cpp to compare byte for byte.

The application state both blocks are made for (the test builds the same):
  - hardware channel count 3: ChannelSetup elements 0-2 have their start-up
    defaults, elements 3-15 are zero with empty connectors, element 16 has
    only its play rate 11025;
  - input "Mic", output "Computer", play-grid channel 5, record/play value 3;
  - placement slot i = (100i+1, 100i+2, 100i+3, 100i+4);
  - the initial recording-form settings;
  - current sample rate 44100.0.
The formant-plot font record (2908-2967) is left zero here: it is the
platform's default GUI font and the test lays its encoding over this region.

Usage: make_configuration_golden.py [output folder]
"""
import os
import struct
import sys

SIZE = 2976


class Block:
    def __init__(self):
        self.b = bytearray(SIZE)

    def i32(self, off, *values):
        for k, v in enumerate(values):
            struct.pack_into('<i', self.b, off + 4 * k, v)

    def f64(self, off, *values):
        for k, v in enumerate(values):
            struct.pack_into('<d', self.b, off + 8 * k, v)

    def text(self, off, size, s):
        data = s.encode('cp1252')[:size - 1]
        self.b[off:off + size] = data + b'\0' * (size - len(data))


# ChannelSetup records: (enabled, rate, cutoff, gain, connector)
SETUP = [(0, 0, 0, 0, '')] * 17
SETUP[0] = (1, 22050, 8000, 200, 'Mask')
SETUP[1] = (1, 22050, 150, 1, 'Mask')
SETUP[2] = (1, 22050, 150, 1, 'Mask')
SETUP[16] = (0, 11025, 0, 0, '')

PLACEMENTS = [(100 * i + 1, 100 * i + 2, 100 * i + 3, 100 * i + 4) for i in range(11)]
RECORDING_FORM = [22050, 1, 0, 300, 4, 0, 1, 128, 60, 10000, 1, 0, 0, 0, 1, 1023, 1]
CURRENT_RATE = 44100.0

# Values that follow from the rate 22050 every default writer uses.
R = 22050
W = int(256000 / R)          # 11
F = (R // 2000) * 1000       # 11000
L = 4 + R // 1000            # 26
assert (W, F, L) == (11, 11000, 26)


def application_part(blk, connectors):
    blk.text(0, 16, '2005')
    blk.i32(16, 5)
    blk.text(20, 16, 'Mic')
    blk.text(36, 32, 'Computer')   # the route text may run on into 52-67
    blk.i32(68, 3)
    for i, (en, rate, cut, gain, conn) in enumerate(SETUP):
        blk.i32(72 + 4 * i, en)
        blk.i32(140 + 4 * i, rate)
        blk.i32(208 + 4 * i, cut)
        blk.i32(276 + 4 * i, gain)
        if connectors and i < 16:
            blk.text(344 + 16 * i, 16, conn)
    for slot, p in enumerate(PLACEMENTS):
        blk.i32(856 + 16 * slot, *p)
    blk.i32(2768, *RECORDING_FORM)


def document_part(blk, start):
    blk.f64(1032, CURRENT_RATE if start else 22050.0)
    blk.f64(1040, 0.0, 0.0)
    blk.f64(1056, *((8.0, 6.0) if start else (6.0, 4.0)))
    blk.i32(1072, 1)                     # mouse read-out (last display int)
    blk.i32(1076, 1)                     # fourth
    blk.i32(1080, 0)                     # fifth
    blk.i32(1084, 1 if start else 0)     # sixth
    blk.i32(1088, 1)                     # first
    blk.i32(1092, 1000)
    blk.i32(1096, 3, 256, W, 10, F, 1, 80, 1)
    blk.f64(1128, 6.0, 4.0)
    blk.i32(1144, 0, 1, 1000, 1, 20, L, 1, 10)
    blk.i32(1176, *[30] * 16)
    blk.i32(1240, *[10] * 16)
    blk.i32(1304, *[0] * 16)
    blk.i32(1368, *[0] * 16)
    blk.i32(1432, *[5] * 16)
    blk.i32(1496, 64, 2, F, 55)
    blk.f64(1512, 0.98)
    blk.i32(1520, 1, L, 1)
    blk.f64(1536, 6.0, 4.0)
    blk.i32(1552, 0, 0, 0, 1, 1000, 1, 500)
    blk.f64(1584, 35.0, 10.0, 500.0, 50.0)
    blk.i32(1616, 500, 50, 1, 20, 1, 500, 1)
    blk.f64(1648, 1.0, 100.0, 1.0, 100.0)
    blk.f64(1680, 6.0, 4.0)
    blk.i32(1696, 1, 1, 1, 1, 1)
    blk.i32(1716, 0, 10000, 1, 1, 1)
    blk.f64(1736, *[0.0] * 16)
    blk.f64(1864, *[0.0] * 16)
    blk.f64(1992, *[1.0] * 16)
    blk.f64(2120, *[0.0] * 16)
    for i in range(16):
        blk.text(2248 + 32 * i, 32, 'normalized')
    blk.f64(2760, 10.0 if start else 1.0)
    blk.i32(2836, -1, 25)
    blk.i32(2844, *((0, 0) if start else (1, 1)))
    blk.i32(2852, *((0, 0, 1, 1, 1) if start else (0, 0, 0, 0, 0)))
    blk.i32(2872, 0, 1, 1, 1, 1, 1, 1600, 3000, 3000)
    blk.i32(2968, 0)                     # font colour


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    start = Block()
    application_part(start, connectors=True)
    document_part(start, start=True)
    doc = Block()
    application_part(doc, connectors=False)
    document_part(doc, start=False)
    with open(os.path.join(out, 'startup_defaults.cfg'), 'wb') as f:
        f.write(start.b)
    with open(os.path.join(out, 'document_defaults.cfg'), 'wb') as f:
        f.write(doc.b)


if __name__ == '__main__':
    main()
