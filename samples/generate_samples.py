#!/usr/bin/env python3
"""Writes sample LUTs and looks into the folder given as the only argument.

warm_grade_33.lut    a cube text file: a 33-point 3D lattice with a warm grade
truelight_17.lut     a Truelight cube file: an identity input table and a
                     17-point lattice with a cooler, flatter grade
curve_1d.lut         a cube text file holding a 1D table of 64 entries (a soft
                     S-curve); it is not a lattice, so the tool wraps it in a look
wrapped_warm.look    a minimal look whose base applies warm_grade_33.lut by name
stored_lut.look      a look that stores a baked 9-point lattice (a warm grade),
                     so its LUT can be converted even when it cannot be rendered
per_channel.look     a base grade that works on each channel alone: gains, an
                     offset, a gamma and contrast (rebuilt with a CDL and a 1D LUT)
tonal_ranges.look    shadows, mid-tones and highlights graded apart, with gammas
                     and a saturation per range
secondaries.look     two secondary corrections keyed on skin and sky tones, with
                     the key colour blurred

The output is the same on every run. The scripts beside this one,
generate_mesh_and_container.py (a 3DL mesh file and a binary container) and
generate_curve_sets.py (one curve-set file of each kind), are run on the same
folder as well.
"""

import os
import struct
import subprocess
import sys


def clamp(v):
    return max(0.0, min(1.0, v))


def warm(r, g, b):
    """Lift red, hold green, pull blue, with a touch of contrast."""
    def contrast(v):
        return v * v * (3.0 - 2.0 * v) * 0.3 + v * 0.7

    return (clamp(contrast(r) * 1.08 + 0.01), clamp(contrast(g) * 1.01),
            clamp(contrast(b) * 0.9 - 0.004))


def cool_flat(r, g, b):
    """Lower contrast and a slight blue cast."""
    return (clamp(0.05 + r * 0.88), clamp(0.05 + g * 0.9), clamp(0.07 + b * 0.92))


def s_curve(v):
    return v * v * (3.0 - 2.0 * v)


def lattice(points, grade):
    """Entries in lattice order, red fastest, blue slowest."""
    step = 1.0 / (points - 1)
    for b in range(points):
        for g in range(points):
            for r in range(points):
                yield grade(r * step, g * step, b * step)


def write_text(path, lines):
    with open(path, "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


def write_cube_3d(path, points, grade):
    lines = ["# Gradeshift sample: warm grade", 'TITLE "warm grade"',
             "LUT_3D_SIZE %d" % points]
    lines += ["%.6f %.6f %.6f" % rgb for rgb in lattice(points, grade)]
    write_text(path, lines)


def write_cube_1d(path, entries):
    lines = ["# Gradeshift sample: soft S-curve", "LUT_1D_SIZE %d" % entries]
    for i in range(entries):
        v = s_curve(i / (entries - 1))
        lines.append("%.6f %.6f %.6f" % (v, v, v))
    write_text(path, lines)


def write_truelight(path, points, grade):
    length = 16
    lines = ["# Truelight Cube v2.0", "# iDims 3", "# oDims 3",
             "# width %d %d %d" % (points, points, points), "# lutLength %d" % length,
             "# InputLUT"]
    lines += ["%.6f %.6f %.6f" % ((i / (length - 1),) * 3) for i in range(length)]
    lines.append("# Cube")
    lines += ["%.6f %.6f %.6f" % rgb for rgb in lattice(points, grade)]
    lines.append("# end")
    write_text(path, lines)


LOOK_HEAD = ['<?xml version="1.0" ?>', "<look>", "  <shaders>", "    <base>",
             '      <visible>"1"</visible>', "      <sublayer0>", '        <opacity>"1"</opacity>',
             "        <parameters>"]
LOOK_SHADERS_TAIL = ["        </parameters>", "      </sublayer0>", "    </base>", "  </shaders>"]


def write_wrapped_look(path, lut_name):
    lines = LOOK_HEAD + ['          <BaseLUT>"%s"</BaseLUT>' % lut_name] + LOOK_SHADERS_TAIL
    write_text(path, lines + ["</look>"])


def write_stored_look(path, points, grade):
    data = b"".join(struct.pack("<3f", *rgb) for rgb in lattice(points, grade))
    hex_text = data.hex().upper()
    lines = LOOK_HEAD + ['          <Saturation>"1"</Saturation>'] + LOOK_SHADERS_TAIL
    lines += ["  <LUT>", '    <size>"%d"</size>' % points, '    <data>"']
    lines[-1] += "".join("\n      " + hex_text[i:i + 64] for i in range(0, len(hex_text), 64))
    lines[-1] += '"'
    lines += ["    </data>", "  </LUT>", "</look>"]
    write_text(path, lines)


def write_base_look(path, parameters):
    """A look whose base sublayer 0 holds the given parameters (name, value)."""
    lines = LOOK_HEAD[:4] + ['      <rangeversion>"2"</rangeversion>'] + LOOK_HEAD[4:]
    lines += ['          <%s>"%s"</%s>' % (name, value, name) for name, value in parameters]
    write_text(path, lines + LOOK_SHADERS_TAIL + ["</look>"])


PER_CHANNEL = [("Gain.X", "0.15"), ("Gain.Z", "-0.2"), ("Offset.Y", "0.01"),
               ("Gamma.X", "-0.05"), ("Contrast", "0.2"), ("Pivot", "0.45")]

TONAL_RANGES = [("GainLow.Z", "0.3"), ("OffsetLow.X", "-0.02"), ("GammaMid.Y", "0.1"),
                ("GammaHigh.X", "-0.15"), ("GainHigh.X", "0.1"), ("SaturationLMH.X", "0.8"),
                ("SaturationLMH.Z", "1.2"), ("LowMid", "0.35"), ("MidHigh", "0.7")]

SECONDARIES = [("MiddleHLS1.X", "N25"), ("RangeHLS1.X", "N20"), ("ToleranceHLS1.X", "N15"),
               ("RangeHLS1.Y", "N0.4"), ("ToleranceHLS1.Y", "N0.2"),
               ("RangeHLS1.Z", "N0.3"), ("ToleranceHLS1.Z", "N0.2"),
               ("Gain1.X", "0.1"), ("Saturation123.X", "0.85"),
               ("MiddleHLS2.X", "N210"), ("RangeHLS2.X", "N25"), ("ToleranceHLS2.X", "N20"),
               ("RangeHLS2.Y", "N0.5"), ("ToleranceHLS2.Y", "N0.1"),
               ("RangeHLS2.Z", "N0.5"), ("ToleranceHLS2.Z", "N0.1"),
               ("Gain2.Z", "0.2"), ("Saturation123.Y", "1.15"), ("Blur123.X", "0.6"), ("Blur123.Y", "0.6")]


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: generate_samples.py OUTPUT_FOLDER\n")
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_cube_3d(os.path.join(folder, "warm_grade_33.lut"), 33, warm)
    write_truelight(os.path.join(folder, "truelight_17.lut"), 17, cool_flat)
    write_cube_1d(os.path.join(folder, "curve_1d.lut"), 64)
    write_wrapped_look(os.path.join(folder, "wrapped_warm.look"), "warm_grade_33.lut")
    write_stored_look(os.path.join(folder, "stored_lut.look"), 9, warm)
    write_base_look(os.path.join(folder, "per_channel.look"), PER_CHANNEL)
    write_base_look(os.path.join(folder, "tonal_ranges.look"), TONAL_RANGES)
    write_base_look(os.path.join(folder, "secondaries.look"), SECONDARIES)

    here = os.path.dirname(os.path.abspath(__file__))
    for script in ("generate_mesh_and_container.py", "generate_curve_sets.py"):
        subprocess.run([sys.executable, os.path.join(here, script), folder], check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
