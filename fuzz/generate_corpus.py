#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are small files of our own: the sample generators of samples/ at
small sizes, and short texts of each format written here. Every run writes the
same bytes; files of a target that the generator no longer writes are removed.

    python3 fuzz/generate_corpus.py [CORPUS_FOLDER]
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "samples"))

import generate_curve_sets as curve_sets  # noqa: E402
import generate_samples as samples  # noqa: E402


def text_of(lines):
    return ("\n".join(lines) + "\n").encode()


# --- LUT files -------------------------------------------------------------

def cube_3d(points, grade=samples.warm, extra=()):
    lines = ["# seed", 'TITLE "seed"'] + list(extra) + ["LUT_3D_SIZE %d" % points]
    lines += ["%.6f %.6f %.6f" % rgb for rgb in samples.lattice(points, grade)]
    return text_of(lines)


def cube_1d(entries):
    lines = ["LUT_1D_SIZE %d" % entries]
    for i in range(entries):
        v = samples.s_curve(i / (entries - 1))
        lines.append("%.6f %.6f %.6f" % (v, v * 0.9, v * 0.8))
    return text_of(lines)


def truelight(points, input_length, index_units=False):
    """An identity input table, or an S-curve in lattice index units (0 .. points - 1)."""
    lines = ["# Truelight Cube v2.0", "# iDims 3", "# oDims 3",
             "# width %d %d %d" % (points, points, points)]
    if input_length:
        def entry(x):
            return (points - 1) * samples.s_curve(x) if index_units else x
        lines += ["# lutLength %d" % input_length, "# InputLUT"]
        lines += ["%.6f %.6f %.6f" % ((entry(i / (input_length - 1)),) * 3)
                  for i in range(input_length)]
    lines.append("# Cube")
    lines += ["%.6f %.6f %.6f" % rgb for rgb in samples.lattice(points, samples.cool_flat)]
    lines.append("# end")
    return text_of(lines)


def cube_shaper(entries, points, lower_case=False):
    """A 1D shaper with its rows first, then the lattice, each with an input range."""
    lines = ["LUT_1D_SIZE %d" % entries, "LUT_1D_INPUT_RANGE -0.1 1.2",
             "LUT_3D_SIZE %d" % points, "LUT_3D_INPUT_RANGE 0 1"]
    lines += ["%.6f %.6f %.6f" % ((samples.s_curve(i / (entries - 1)),) * 3)
              for i in range(entries)]
    lines += ["%.6f %.6f %.6f" % rgb for rgb in samples.lattice(points, samples.warm)]
    text = text_of(lines)
    return text.lower() if lower_case else text


BYTE_ORDER_MARK = b"\xef\xbb\xbf"


def mesh_3dl(codes, bits=12, code_top=1023):
    """A shaper line of input codes, then one output triple per node, blue fastest."""
    top = (1 << bits) - 1
    lines = [" ".join(str(c) for c in codes)]
    for r in codes:
        for g in codes:
            for b in codes:
                out = samples.warm(r / code_top, g / code_top, b / code_top)
                lines.append(" ".join(str(round(v * top)) for v in out))
    return text_of(lines)


def discreet_1d(tables, length, depth=""):
    """A Discreet 1D table: a header, then each table's integer values."""
    header = "LUT: %d %d%s" % (tables, length, " " + depth if depth else "")
    lines = ["# seed", header]
    for c in range(tables):
        lines += [str(round(4095 * samples.s_curve(i / (length - 1)) ** (1 + 0.2 * c)))
                  for i in range(length)]
    return text_of(lines)


def houdini(kind):
    """A Houdini LUT of the kind: C (one curve for all channels), 3D, or 3D+1D."""
    lines = ["Version\t\t%d" % {"C": 1, "3D": 2, "3D+1D": 3}[kind], "Format\t\tany",
             "Type\t\t" + kind, "From\t\t0.0 1.0", "To\t\t0.0 1.0", "Black\t\t0", "White\t\t1",
             "Length\t\t" + {"C": "4", "3D": "2", "3D+1D": "2 4"}[kind], "LUT:"]
    ramp = ["\t%.6f" % samples.s_curve(i / 3) for i in range(4)]
    if kind == "C":
        return text_of(lines + ["RGB {"] + ramp + ["}"])
    if kind == "3D+1D":
        lines += ["Pre {"] + ramp + ["}", "3D {"]
    else:
        lines.append(" {")
    lines += ["\t%.6f %.6f %.6f" % rgb for rgb in samples.lattice(2, samples.warm)]
    return text_of(lines + [" }"])


def container(magic, size, channels, entries, domain=True):
    header = magic + struct.pack("<III", size, channels, 0)
    if magic == b"VTX2" and domain:
        header += struct.pack("<6f", 0.0, -0.5, 0.25, 2.0, 2.5, 1.0)
    payload = b"".join(struct.pack("<f", (i % 7) / 6.0) for i in range(entries * 3))
    return header + payload


def cubrel(exponent, big_endian):
    n = (1 << exponent) + 1
    order = ">" if big_endian else "<"
    data = bytearray(1024)
    data[0:4] = b"3LUT" if big_endian else b"TUL3"
    data[4:8] = struct.pack(order + "I", 1024)
    data[660:664] = b"\xff\xff\xff\xff"
    data[769 if big_endian else 768] = exponent
    for r in range(n):
        for g in range(n):
            for b in range(n):
                code = lambda v: round(v * 1023)  # noqa: E731
                word = (code(r / (n - 1)) << 20) | (code(g / (n - 1)) << 10) | code(b / (n - 1))
                data += struct.pack(order + "I", word)
    return bytes(data)


def stored_look(points):
    data = b"".join(struct.pack("<3f", *rgb) for rgb in samples.lattice(points, samples.warm))
    hex_text = data.hex().upper()
    lines = samples.LOOK_HEAD + ['          <Saturation>"1"</Saturation>']
    lines += samples.LOOK_SHADERS_TAIL
    lines += ["  <LUT>", '    <size>"%d"</size>' % points,
              '    <domainmin>"0,0,0"</domainmin>', '    <domainmax>"1,1,1"</domainmax>',
              '    <data>"']
    lines[-1] += "".join("\n      " + hex_text[i:i + 64] for i in range(0, len(hex_text), 64))
    lines[-1] += '"'
    lines += ["    </data>", "  </LUT>", "</look>"]
    return text_of(lines)


def curve_set_files():
    return {name[:-4] + ".txt": make().encode() for name, make in curve_sets.FILES.items()}


def lut_files():
    files = {
        "cube_3d_5.cube": cube_3d(5),
        "cube_3d_2_domain.cube": cube_3d(2, extra=["DOMAIN_MIN 0 0 0", "DOMAIN_MAX 1 2 4"]),
        "cube_1d_16.cube": cube_1d(16),
        "cube_1d_3d.cube": cube_1d(4) + cube_3d(2),
        "cube_range_before_size.cube": cube_3d(3, extra=["LUT_3D_INPUT_RANGE -0.125 1.125"]),
        "cube_shaper.cube": cube_shaper(5, 2),
        "cube_shaper_lower_case.cube": cube_shaper(4, 3, lower_case=True),
        "cube_byte_order_mark.cube": BYTE_ORDER_MARK + cube_3d(2),
        "truelight_3.txt": truelight(3, 4),
        "truelight_no_input.txt": truelight(2, 0),
        "truelight_index_units.txt": truelight(3, 4, index_units=True),
        "truelight_byte_order_mark.txt": BYTE_ORDER_MARK + truelight(2, 4),
        "mesh_even.3dl": mesh_3dl([0, 341, 682, 1023]),
        "mesh_uneven.3dl": mesh_3dl([0, 64, 300, 1023]),
        "mesh_10bit.3dl": mesh_3dl([0, 512, 1023], bits=10),
        "mesh_byte_order_mark.3dl": BYTE_ORDER_MARK + mesh_3dl([0, 100, 400, 1023]),
        "mesh_16bit_codes.3dl": mesh_3dl([0, 21845, 43690, 65535], bits=16, code_top=65535),
        "discreet_1d.txt": discreet_1d(3, 256, "4096"),
        "houdini_c.lut": houdini("C"),
        "houdini_3d.lut": houdini("3D"),
        "houdini_3d_1d.lut": houdini("3D+1D"),
        "vxtx_1d.bin": container(b"VXTX", 8, 1, 8),
        "vxtx_3d.bin": container(b"VXTX", 2, 3, 8),
        "vtx2_3d.bin": container(b"VTX2", 3, 3, 27),
        "cubrel_big_endian.bin": cubrel(3, True),
        "cubrel_little_endian.bin": cubrel(2, False),
        "stored_3.look": stored_look(3),
        "plain_words.txt": b"hello there\n",
    }
    files.update(curve_set_files())
    return files


# --- files read through OpenColorIO ----------------------------------------

SOP_SAT = ("<SOPNode><Slope>0.9 1 0.8</Slope><Offset>-0.05 0 0.1</Offset>"
           "<Power>0.8 1 1.25</Power></SOPNode><SatNode><Saturation>0.8</Saturation></SatNode>")


def correction(cid):
    return '<ColorCorrection id="%s">%s</ColorCorrection>' % (cid, SOP_SAT)


def process_list(root_attributes, nodes):
    return text_of(['<?xml version="1.0" encoding="UTF-8"?>',
                    '<ProcessList id="seed" %s>' % root_attributes] + nodes + ["</ProcessList>"])


def corners(scale=1):
    """The eight corners of an identity cube, blue fastest."""
    return ["%d %d %d" % (r * scale, g * scale, b * scale)
            for r in (0, 1) for g in (0, 1) for b in (0, 1)]


def ocio_files():
    depth = 'inBitDepth="32f" outBitDepth="32f"'
    return {
        "cdl.clf": process_list('compCLFversion="3"', [
            '<ASC_CDL %s style="Fwd">%s</ASC_CDL>' % (depth, SOP_SAT)]),
        "shaper_lut3d.ctf": process_list('version="1.7"', [
            '<LUT1D %s><Array dim="3 1">0 0.6 1</Array></LUT1D>' % depth,
            '<LUT3D %s interpolation="trilinear"><Array dim="2 2 2 3">' % depth]
            + corners() + ["</Array></LUT3D>"]),
        "grade.cc": text_of([correction("one")]),
        "grades.ccc": text_of(['<ColorCorrectionCollection xmlns="urn:ASC:CDL:v1.2">',
                               correction("first"), correction("second"),
                               "</ColorCorrectionCollection>"]),
        "grades.cdl": text_of(['<ColorDecisionList xmlns="urn:ASC:CDL:v1.2">',
                               "<ColorDecision>" + correction("first") + "</ColorDecision>",
                               "<ColorDecision>" + correction("second") + "</ColorDecision>",
                               "</ColorDecisionList>"]),
        "shaped.csp": text_of(["CSPLUTV100", "3D", ""] + ["3", "0 0.5 1", "0 0.7 1"] * 3
                              + ["", "2 2 2"] + [" ".join(reversed(c.split()))
                                                 for c in corners()]),
        "curve.spi1d": text_of(["Version 1", "From 0 1", "Length 4", "Components 1", "{",
                                "0", "0.4", "0.7", "1", "}"]),
        "cube.spi3d": text_of(["SPILUT 1.0", "3 3", "2 2 2"]
                              + ["%s %s" % (c, c) for c in corners()]),
        "matrix.spimtx": text_of(["0.7 0.2 0.1 1310", "0.1 0.8 0 0", "0 0.3 0.6 0"]),
        "cube.m3d": text_of(["channel 3d", "in 8", "out 1024", "format lut",
                             "values red green blue"]
                            + ["%d %s" % (i, c) for i, c in enumerate(corners(1023))]),
        "cube.mga": text_of(["channel 3d", "in 8", "out 1024", "format lut",
                             "values red green blue"]
                            + ["%d %s" % (i, c) for i, c in enumerate(corners(1023))]),
        "cube.vf": text_of(["#Inventor V2.1 ascii", "grid_size 2 2 2",
                            "global_transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1", "data"]
                           + corners()),
    }


# --- looks -----------------------------------------------------------------

MASK = """  <mask>
    <name>"oval"</name>
    <activecontour>"0"</activecontour>
    <width>"1920"</width>
    <height>"1080"</height>
    <contour>
      <positive>"1"</positive>
      <point>
        <inner>"catmull-rom,value:0.25,0.5@0"</inner>
        <innerprevtangent>"catmull-rom,value:0,0.1@0"</innerprevtangent>
        <innernexttangent>"catmull-rom,value:0,-0.1@0"</innernexttangent>
        <falloffexponent>"catmull-rom,value:1@0"</falloffexponent>
        <falloffweight>"catmull-rom,value:0.5@0"</falloffweight>
        <detached>linear,value:0@0</detached>
        <outer>"catmull-rom,value:0.2,0.5@0"</outer>
        <outerprevtangent>"catmull-rom,value:0,0.1@0"</outerprevtangent>
        <outernexttangent>"catmull-rom,value:0,-0.1@0"</outernexttangent>
        <spline>"linear,value:1@0"</spline>
        <smooth>"linear,value:1@0"</smooth>
      </point>
      <nextset>"12.5"</nextset>
      <point>
        <inner>"catmull-rom,value:0.75,0.5@0,value:0.7,0.4@10"</inner>
      </point>
    </contour>
  </mask>"""


def base_look(parameters, head_extra=(), tail=()):
    lines = samples.LOOK_HEAD[:4] + ['      <rangeversion>"2"</rangeversion>'] + list(head_extra)
    lines += samples.LOOK_HEAD[4:]
    lines += ['          <%s>"%s"</%s>' % (name, value, name) for name, value in parameters]
    return text_of(lines + samples.LOOK_SHADERS_TAIL + list(tail) + ["</look>"])


def shader_layers_look():
    return text_of([
        '<?xml version="1.0" ?>', "<look>", "  <shaders>",
        "    <shader>", '      <name>"Test.Lut"</name>', '      <visible>"1"</visible>',
        '      <opacity>"0.75"</opacity>', '      <mask>"1"</mask>',
        '      <vectormask>"2"</vectormask>', "      <parameters>",
        '        <Lut>"rotate.cube"</Lut>', "      </parameters>", "    </shader>",
        "    <base>", '      <visible>"0"</visible>', "      <sublayer5>",
        "        <parameters>", '          <Gain.Y>"0.1"</Gain.Y>', "        </parameters>",
        "      </sublayer5>", "    </base>",
        "    <shader>", '      <name>"Test.NoOp"</name>', "    </shader>",
        "    <shader>", '      <name>"VEXLAN.LUT.3D"</name>', "      <parameters>",
        '        <LUT>"identity.cube"</LUT>', "      </parameters>", "    </shader>",
        '    <grading1d>"yes"</grading1d>', "  </shaders>",
        "  <ASC>", '    <slope>"1,1,1"</slope>', '    <offset>"0,0,0"</offset>',
        '    <power>"1,1,1"</power>', "  </ASC>", "</look>"])


def look_files():
    return {
        "wrapped.look": text_of(samples.LOOK_HEAD + ['          <BaseLUT>"identity.cube"</BaseLUT>']
                                + samples.LOOK_SHADERS_TAIL + ["</look>"]),
        "stored_3.look": stored_look(3),
        "per_channel.look": base_look(samples.PER_CHANNEL),
        "tonal_ranges.look": base_look(samples.TONAL_RANGES),
        "secondaries.look": base_look(samples.SECONDARIES),
        "old_ranges.look": base_look(samples.SECONDARIES[:7]).replace(
            b'      <rangeversion>"2"</rangeversion>\n', b""),
        "masked.look": base_look(samples.PER_CHANNEL[:2], tail=MASK.split("\n")),
        "shader_layers.look": shader_layers_look(),
        "printer_lights.look": base_look([("PrinterLights", "0.1,0,-0.1"), ("LogPrinterLights", "1"),
                                          ("MatrixLUT", "ramp.cube"), ("GrayOut", "2")]),
        "minimal.look": b'<look><foo>"1"</foo></look>',
        "below_written_places.look": base_look([("Offset.Y", "0.00000001"), ("Gain.Z", "-20."),
                                                ("Contrast", "0.2")]),
    }


# --- other texts -----------------------------------------------------------

SETTINGS = b"""<?xml version="1.0" encoding="utf-8"?>
<!-- written by hand -->
<values>
  <ColorTransforms>
    <LUTPath1>"Z:\\luts"</LUTPath1>
    <LUTPath2 >  "%HOME%/more luts"  </lutpath2 >
    <AlwaysUpsampleToPoT>"yes"</AlwaysUpsampleToPoT>
  </ColorTransforms>
  <ShadersPath>"shaders"</ShadersPath>
  <a><b><c>"-12"</c></b></a>
  <Size>"12x"</Size>
  <Size>"4294967296"</Size>
  <Empty></Empty>
</values>
<Other><Key>"outside"</Key></Other>
"""


def settings_files():
    return {
        "settings.xml": SETTINGS,
        "log10bit.xml": curve_sets.log10bit().encode(),
        "numbers.xml": b'<values><a>"1e308"</a><a.b>"-0"</a.b><Size>"0x10"</Size></values>\n',
    }


def archive(entries):
    """VXRF header, a directory of (tag, name, payload) and the payloads after it."""
    offset = 12 + 40 * len(entries)
    directory = b""
    payloads = b""
    for tag, name, payload in entries:
        directory += tag + name.encode().ljust(32, b"\0") + struct.pack("<I", offset + len(payloads))
        payloads += payload
    return b"VXRF" + struct.pack("<II", 100, len(entries)) + directory + payloads


def archive_files():
    image = struct.pack("<III", 2, 2, 32) + bytes(range(16))
    return {
        "resources.vxf": archive([(b"DATA", "BuildInfo.txt", b"build 1\n"),
                                  (b"DATA", "ProductName.txt", b"Gradeshift\n")]),
        "fonts_images.vxf": archive([(b"FONT", "DejaVuSans", b"\0\1\0\0font"),
                                     (b"JPEG", "Logo", b"\xff\xd8\xff\xe0" + bytes(8)),
                                     (b"SBMP", "_notfound", image),
                                     (b"DATA", "a", b"")]),
    }


SCRIPTS = {
    "arithmetic.txt": "r = 8 - 2 + 1; g = 2 * -3 + 1; b = (1 < 2 && 3 > 2) ? 1 : 0;\n",
    "functions.txt": ("out.x = pow(in, 0.9); out.y = clamp(in * 2, 0, 1);\n"
                      "out.z = inrange(in, 0.25, 0.75) + abs(-1) + floor(2.5) + ceil(2.5);\n"
                      "w = sqrt(4) + exp(0) + log(1) + sin(0) + cos(0) + atan(1) + ldexp(1, 3);\n"
                      "v = min(1, 2) + max(1, 2) + round(1.5) + trunc(-1.5) + int(2.7) + bool(2);\n"),
    "control.txt": ("i = 0; s = 0;\nwhile (i < 10) {\n    i = i + 1;\n    if (i == 3) continue;\n"
                    "    if (i > 8) break;\n    s = s + i;\n} else_branch = 0;\n"
                    "if (s > 20) { t = 1; } else { t = 2; }\n"),
    "bits.txt": "a = 5.7 | 2.2; b = 6 ^ 3; c = -6.9 & 7; d = ~0; e = -16 >> 2; f = 1 << 33;\n",
    "vectors.txt": "gain.x = gain.y * 2; gain.w = -gain.x; color.r = 1; color.g = color.r / 3;\n",
    "comments.txt": "// a comment\n/* a block\n comment */ r = 1; /* end */\n",
    "curve_script.txt": curve_sets.script().replace("<VEXLANScript>", "").replace(
        "</VEXLANScript>", "").replace("red", "r").replace("green", "g").replace("blue", "b"),
}


DEFINITIONS = {
    "lut_layer.txt": ('<shader name="Test.Lut">\n'
                      '<texturelist name="Lut" unit="1" extern="1" default=""/>\n'
                      '</shader>\nVEXLAN.LUT.3D'),
    "tables.txt": ('<shader name="Test.Tables" secondpass="Test.Second" bypassLUT="true" '
                   'noopwhendefault=1>\n'
                   '<lut name="lut1" unit="5"/>\n'
                   '<lookup lut="lut1" function="LowMidHigh" swizzle="0r,0g,0b" '
                   'variables="lowMid,midHigh"/>\n'
                   '<lookup lut="lut1" function="HLSRange" swizzle="1r,2r,3r" '
                   'variables="enableHLS1,middleHLS1,rangeHLS1,toleranceHLS1"/>\n'
                   '<lookup lut="lut1" function="Gamma" swizzle="4a,5a,6a" variables="gamma.x,gamma.y"/>\n'
                   '<extern name="lowMid" default="0.5" noop="1"/>\n'
                   '<extern name="midHigh" default="0.5" noop="1"/>\n'
                   '<extern name="enableHLS1" default="1,1,1" noop="1"/>\n'
                   '<extern name="middleHLS1" default="180,0.5,0.5" noop="1"/>\n'
                   '<extern name="rangeHLS1" default="0,0,0" noop="1"/>\n'
                   '<extern name="toleranceHLS1" default="0,0,0" noop="1"/>\n'
                   '<extern name="gamma" default="1,2,3,4"/>\n'
                   '<extern name="luminance.y" default="0.587" noop="1"/>\n'
                   '<VEXLANScript>\nlowMid = clamp(lowMid, 0, midHigh);\n'
                   'gamma.x = pow(3, gamma.x);\n</VEXLANScript>\n</shader>\n'),
    "textures.txt": ('<shader name="Test.Textures">\n'
                     '<texture name="Grain" unit="2" type="2d" wrap="repeat" interpolate="0" '
                     'default="grain.cube"/>\n'
                     '<texture name="Rect" unit="3" type="rect" wrapx="repeat" default=""/>\n'
                     '<texture name="Cube" unit="4" type="3d"/>\n'
                     '<texturelist name="Extra" unit="1" extern="0" default="identity.cube"/>\n'
                     '</shader>\nVEXLAN.NoOp'),
    "panels.txt": ('<shader name="Test.Panels">\n'
                   '<checkbox name="Enable" default="1"/>\n<slider name="Amount" default="0.25"/>\n'
                   '<colorwheel name="Lift" default="0.1, 0.2, 0.3"/>\n'
                   '<rangewheel name="middle" enable="enable" range="range" tolerance="tol" '
                   'invert="inv" defaultrange="1, 2, 3"/>\n'
                   '<hwvector name="a,b,c" default="1, 2, 3"/>\n<tabbar variables="t1,t2"/>\n'
                   '<VEXLANScript>\nAmount = Amount * Enable;\n</VEXLANScript>\n</shader>\n'),
}


# Inputs that once broke a reader, kept so that every run tries them again.
SLOW_CURVE_SCRIPT = ("<VEXLANScript>\ni = 0; while (i < 3000000) { i = i + 1; }\n"
                     "red = in; green = in; blue = in;\n</VEXLANScript>\n")

REGRESSIONS = {
    "curve_set_fuzzer": {"script_just_under_the_step_limit.txt": SLOW_CURVE_SCRIPT},
    "lut_load_fuzzer": {"curve_script_just_under_the_step_limit.txt": SLOW_CURVE_SCRIPT},
    "shader_definition_fuzzer": {
        "table_without_lookups.txt": '<shader name="x"><lut name="t" unit="1"/></shader>\n',
    },
}


PIPELINES = {
    "grading.txt": "buffer|*grading1",
    "two_gradings.txt": "buffer|*grading1|*grading2|*pop|*noop 0.5",
    "lut.txt": "buffer|rotate.cube|*lut",
    "lut_1d.txt": "buffer|ramp.cube|*lut|identity.cube|*lut",
    "over.txt": "small|buffer|*over|*mask|*overp|?|*fade 0.25",
    "transforms.txt": "buffer|*xform|*panscan|*flipV|*flip|*stretch 0.5 left|*stretch 1 top",
    "rgb.txt": "*rgb 0.25,0.5,0.75,1|buffer|*fade 0.5",
    "errors.txt": "buffer|junk.bin|*lut",
    "empty_lut.txt": "buffer|empty.cube|*lut|absent.cube",
    "readout.txt": " buffer | *EMPTY | *readout | *pop ",
}


PATHS = {
    "wildcards.txt": "*.look;*.lut,shot_??.cube\nshot_01.cube",
    "no_match.txt": "a*b*c*\nabxbyc",
    "drive.txt": "*\nZ:\\folder\\sub\\name.ext",
    "server.txt": "\\\\server\\share\\*.*\n\\\\server\\share\\file.look",
    "quoted.txt": "\"*.lut\"\n\"C:/looks/warm grade.look\"",
    "env.txt": "%HOME%\\*\n%HOME%\\frames\\shot_%04d.dpx",
    "relative.txt": "..\\*\n..\\..\\up\\.hidden",
}


def encoded(files):
    return {name: data if isinstance(data, bytes) else data.encode() for name, data in files.items()}


def corpus():
    looks = look_files()
    return {
        "lut_load_fuzzer": lut_files(),
        "xml_reader_fuzzer": {**looks, **settings_files()},
        "look_fuzzer": looks,
        "look_render_fuzzer": looks,
        "settings_fuzzer": settings_files(),
        "resource_archive_fuzzer": archive_files(),
        "shader_script_fuzzer": encoded(SCRIPTS),
        "shader_definition_fuzzer": encoded(DEFINITIONS),
        "render_pipeline_fuzzer": encoded(PIPELINES),
        "curve_set_fuzzer": {**curve_set_files(), "cube_1d_16.cube": cube_1d(16),
                             "cube_3d_2.cube": cube_3d(2),
                             "curve_byte_order_mark.txt": BYTE_ORDER_MARK + b"BypassLUT = 1\n"},
        "paths_fuzzer": encoded(PATHS),
        "ocio_reader_fuzzer": ocio_files(),
    }


def main():
    files_of = corpus()
    for target, files in REGRESSIONS.items():
        files_of[target].update(encoded(files))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus")
    for target, files in files_of.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for stale in set(os.listdir(folder)) - set(files):
            os.remove(os.path.join(folder, stale))
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
