#!/usr/bin/env python3
"""Writes one small curve-set file of each kind into the folder given as the only argument.

No LUT reader recognises these texts, so loading any of them samples its curves
into a 1D table of 1024 entries.

curve_conversion.lut  log-to-linear conversion settings for all channels
                      (reference white 600, a soft clip of 20)
curve_log10bit.lut    the same conversion per channel, as a settings document
                      with a Log10Bit group (red warmer, blue cooler)
curve_table.lut       an integer table: a LUT header, then 64 ten-bit values
                      for each of three channels (a soft S-curve, tinted)
curve_expression.lut  curve expressions: a spline, a monotone spline, a
                      Hermite curve with given angles and a linear master
curve_columns.lut     columns of 8-bit red, green and blue values, one line
                      per input level (a gentle contrast curve)
curve_script.lut      a script that computes red, green and blue from "in"

The output is the same on every run.
"""

import os
import sys


def s_curve(v):
    return v * v * (3.0 - 2.0 * v)


def conversion():
    return "ReferenceWhite = 600\nSoftClip = 20\nGammaDisplay = 2.2\nGammaLog = 1.7\n"


def log10bit():
    keys = [("ReferenceWhiteR", "640"), ("ReferenceWhiteG", "660"), ("ReferenceWhiteB", "685"),
            ("ReferenceBlackR", "95"), ("ReferenceBlackG", "95"), ("ReferenceBlackB", "100"),
            ("GammaLogR", "1.7"), ("GammaLogG", "1.7"), ("GammaLogB", "1.6"),
            ("SoftClipR", "10"), ("SoftClipG", "10"), ("SoftClipB", "0")]
    lines = ['<?xml version="1.0" ?>', "", "<values>", "  <Log10Bit>"]
    lines += ['    <%s>"%s"</%s>' % (key, value, key) for key, value in keys]
    lines += ["  </Log10Bit>", "</values>", ""]
    return "\n".join(lines)


def table():
    count = 64
    gains = (1.0, 0.97, 0.92)
    lines = ["# a soft S-curve with a warm tint", "LUT: 3 %d" % count]
    for gain in gains:
        for i in range(count):
            v = s_curve(i / (count - 1)) * gain
            lines.append(str(int(round(v * 1023))))
    return "\n".join(lines) + "\n"


def expression():
    return ("Lookup(1,\n"
            "  CSpline(1, 0@0, 0.3@0.25, 0.7@0.75, 1@1),\n"
            "  JSpline(0, 0@0, 0.2@0.25, 0.8@0.75, 1@1),\n"
            "  Hermite(0, (0, 0, 40)@0, (0.5, 45, 45)@0.5, (1, 55, 0)@1),\n"
            "  Linear(0, 0@0, 1@1))\n")


def columns():
    lines = []
    for k in range(256):
        v = k / 255.0
        contrast = s_curve(v) * 0.4 + v * 0.6
        lines.append("%d %d %d" % (round(contrast * 255), round(v * 255),
                                   round((contrast * 0.9 + 0.1 * v) * 255)))
    return "\n".join(lines) + "\n"


def script():
    return ("<VEXLANScript>\n"
            "// a lift of the shadows, stronger in blue\n"
            "red = pow(in, 0.9);\n"
            "green = pow(in, 0.95);\n"
            "blue = in + 0.05 * (1 - in);\n"
            "</VEXLANScript>\n")


FILES = {
    "curve_conversion.lut": conversion,
    "curve_log10bit.lut": log10bit,
    "curve_table.lut": table,
    "curve_expression.lut": expression,
    "curve_columns.lut": columns,
    "curve_script.lut": script,
}


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: generate_curve_sets.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, text in FILES.items():
        with open(os.path.join(folder, name), "w", newline="\n") as out:
            out.write(text())


if __name__ == "__main__":
    main()
