#!/usr/bin/env python3
"""Writes two sample LUT files into the folder given as the only argument.

mesh_uneven_shaper.lut  a 3DL mesh file: a line of 17 unevenly spaced input
                        code values (denser in the shadows), then 17^3 lines of
                        12-bit output triples, blue varying fastest. The loader
                        turns the uneven line into a 1D pre-LUT.
container_warm.lut      a VTX2 container: a 17-point 3D lattice of float RGB
                        entries (red fastest) with a warm grade and an explicit
                        domain of [0, 1].

The output is the same on every run.
"""

import os
import struct
import sys

POINTS = 17


def warm(red, green, blue):
    """A gentle warm grade: lift red, hold green, pull blue, slight contrast."""
    def contrast(v):
        return v * v * (3.0 - 2.0 * v) * 0.25 + v * 0.75

    return (min(1.0, contrast(red) * 1.06 + 0.01),
            contrast(green),
            max(0.0, contrast(blue) * 0.92 - 0.005))


def shaper_codes():
    # Quadratic spacing from 0 to 1023: strictly ascending and far from even.
    return [round(1023 * (k / (POINTS - 1)) ** 2) for k in range(POINTS)]


def write_mesh(path):
    codes = shaper_codes()
    lines = [" ".join(str(c) for c in codes)]
    for r in range(POINTS):
        for g in range(POINTS):
            for b in range(POINTS):
                out = warm(codes[r] / 1023.0, codes[g] / 1023.0, codes[b] / 1023.0)
                lines.append(" ".join(str(round(v * 4095)) for v in out))
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_container(path):
    header = b"VTX2" + struct.pack("<III", POINTS, 3, 0)
    domain = struct.pack("<6f", 0.0, 0.0, 0.0, 1.0, 1.0, 1.0)
    payload = bytearray()
    step = 1.0 / (POINTS - 1)
    for b in range(POINTS):
        for g in range(POINTS):
            for r in range(POINTS):
                payload += struct.pack("<3f", *warm(r * step, g * step, b * step))
    with open(path, "wb") as f:
        f.write(header + domain + bytes(payload))


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: generate_mesh_and_container.py OUTPUT_FOLDER\n")
        return 2
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)
    write_mesh(os.path.join(folder, "mesh_uneven_shaper.lut"))
    write_container(os.path.join(folder, "container_warm.lut"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
