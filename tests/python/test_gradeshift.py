"""The Python module against the command line, on the generated sample files.

Run by CTest with the interpreter the module was built for; the environment
names the program (GRADESHIFT_PROGRAM), the source tree (GRADESHIFT_SOURCE_DIR)
and the build tree (GRADESHIFT_BINARY_DIR), and PYTHONPATH leads to the module.
"""

import errno
import os
import pathlib
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

MISSING = ""
try:
    import numpy
    import gradeshift
except ImportError as error:
    MISSING = "the module cannot be imported: %s" % error

try:
    import PyOpenColorIO as OCIO
except ImportError:
    OCIO = None

PROGRAM = os.environ.get("GRADESHIFT_PROGRAM", "")
SOURCE_DIR = os.environ.get("GRADESHIFT_SOURCE_DIR", "")
BINARY_DIR = os.environ.get("GRADESHIFT_BINARY_DIR", "")

RESAMPLE_WARNING = ("  Warning: resampling the original LUT to a different size\n"
                    "  can severely reduce the quality of the resulting Cubrel LUT.\n")

# A look that reads but cannot render: its one layer names a shader nobody has.
UNKNOWN_SHADER_LOOK = ('<look>\n  <shaders>\n    <shader>\n      <name>"Studio.Missing"</name>\n'
                       '    </shader>\n  </shaders>\n</look>\n')

# That look with a 2-point stored lattice, red fastest, each node its own colour.
STORED_NODES = [(r * 0.5, g * 0.25, b * 0.75) for b in (0, 1) for g in (0, 1) for r in (0, 1)]
STORED_LUT_LOOK = ('<?xml version="1.0" ?>\n' + UNKNOWN_SHADER_LOOK.replace(
    "</look>", '<LUT>\n<size>"2"</size>\n<data>"%s"</data>\n</LUT>\n</look>' %
    struct.pack("<24f", *[v for node in STORED_NODES for v in node]).hex().upper()))

# A .cube file, which OpenColorIO reads: a 5-point lattice, red fastest.
CUBE_POINTS = 5


def cube_text():
    lines = ["LUT_3D_SIZE %d" % CUBE_POINTS]
    step = 1.0 / (CUBE_POINTS - 1)
    for b in range(CUBE_POINTS):
        for g in range(CUBE_POINTS):
            for r in range(CUBE_POINTS):
                lines.append("%.6f %.6f %.6f" % ((r * step) ** 0.8, g * step * 0.9 + 0.05,
                                                 (b * step) ** 1.3))
    return "\n".join(lines) + "\n"


def generate_samples(folder):
    script = os.path.join(SOURCE_DIR, "samples", "generate_samples.py")
    subprocess.run([sys.executable, script, folder], check=True)
    pathlib.Path(folder, "bent.cube").write_text(cube_text())


def run_program(arguments, cwd):
    return subprocess.run([PROGRAM] + arguments, cwd=cwd, capture_output=True, text=True)


def cubrel_codes(path, n):
    """The 10-bit codes of an n-point Cubrel file as an (n, n, n, 3) array [r, g, b]."""
    content = pathlib.Path(path).read_bytes()
    assert len(content) == 1024 + 4 * n ** 3 and content[:4] == b"3LUT", path
    words = numpy.frombuffer(content[1024:], dtype=">u4").astype(numpy.int64)
    channels = [(words >> shift) & 1023 for shift in (20, 10, 0)]
    return numpy.stack(channels, axis=-1).reshape(n, n, n, 3)


def quantised(values):
    """The codes the Cubrel writer stores: clamped, scaled by 1023, rounded half up."""
    values = numpy.nan_to_num(numpy.asarray(values, dtype=numpy.float32), nan=0.0)
    scaled = numpy.clip(values, 0, 1) * numpy.float32(1023) + numpy.float32(0.5)
    return numpy.floor(scaled).astype(numpy.int64)


def cube_values(path, n):
    """The lattice of an n-point .cube file of one 3D table as an (n, n, n, 3) array [r, g, b]."""
    with open(path) as text:
        rows = [line.split() for line in text if line[:1] in "-.0123456789"]
    values = numpy.array(rows, dtype=numpy.float32)
    return values.reshape(n, n, n, 3).transpose(2, 1, 0, 3)


def trilinear(lattice, colours):
    """colours (..., 3) through an (n, n, n, 3) lattice indexed [r, g, b], clamped to 0..1."""
    n = lattice.shape[0]
    position = numpy.clip(colours.astype(numpy.float64), 0, 1) * (n - 1)
    low = numpy.minimum(numpy.floor(position).astype(int), n - 2)
    t = position - low
    result = numpy.zeros(colours.shape)
    for corner in range(8):
        offset = [(corner >> axis) & 1 for axis in range(3)]
        weight = numpy.ones(colours.shape[:-1])
        for axis in range(3):
            weight *= t[..., axis] if offset[axis] else 1 - t[..., axis]
        node = lattice[low[..., 0] + offset[0], low[..., 1] + offset[1], low[..., 2] + offset[2]]
        result += weight[..., None] * node
    return result


# Starts a long call, says so, and says when Ctrl-C interrupted it. SIGINT is
# made to raise KeyboardInterrupt: a parent that ignores it (a background job)
# would leave it ignored here.
INTERRUPTED_CALL = r"""
import signal, sys, time, gradeshift
signal.signal(signal.SIGINT, signal.default_int_handler)
kind, path = sys.argv[1:3]
print("calling", flush=True)
try:
    if kind == "render":
        gradeshift.render(path, 256)
    else:
        gradeshift.convert(path, cubrel=True, size=129, jobs=2)
except KeyboardInterrupt:
    print("interrupted", time.monotonic(), flush=True)
else:
    print("finished", flush=True)
"""


def cubrel_output(name):
    """The file Cubrel mode writes for an input: NAME.lut beside it."""
    return os.path.splitext(name)[0] + ".lut"


@unittest.skipIf(MISSING, MISSING)
class ModuleTest(unittest.TestCase):

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="gradeshift-python-")
        self.addCleanup(shutil.rmtree, self.scratch)
        self.samples = os.path.join(self.scratch, "samples")
        os.mkdir(self.samples)
        generate_samples(self.samples)
        self.names = sorted(os.listdir(self.samples))

    def folder_copy(self, name):
        copy = os.path.join(self.scratch, name)
        shutil.copytree(self.samples, copy)
        return copy

    def cubrel_run(self, size):
        folder = self.folder_copy("cubrel%d" % size)
        # A folder stands for its looks and .lut files only.
        for argument in (folder, os.path.join(folder, "bent.cube")):
            result = run_program([argument, "-cubrel", "-size", str(size)], self.scratch)
            self.assertEqual(result.returncode, 0, result.stdout)
        return folder

    def test_render_gives_what_cubrel_mode_renders_and_to_writes(self):
        # A look renders what Cubrel mode quantises; a LUT file what -to cube writes.
        for size in (9, 33):
            converted = self.cubrel_run(size)
            exported = os.path.join(self.scratch, "exported%d" % size)
            os.mkdir(exported)
            result = run_program([self.samples, os.path.join(self.samples, "bent.cube"), "-to",
                                  "cube", "-size", str(size), "-out", exported], self.scratch)
            self.assertEqual(result.returncode, 0, result.stdout)
            for name in self.names:
                with self.subTest(name=name, size=size):
                    rendered = gradeshift.render(os.path.join(self.samples, name), size)
                    self.assertEqual(rendered.shape, (size, size, size, 3))
                    self.assertEqual(rendered.dtype, numpy.float32)
                    if name.endswith(".look"):
                        codes = cubrel_codes(os.path.join(converted, cubrel_output(name)), size)
                        self.assertLessEqual(numpy.abs(quantised(rendered) - codes).max(), 1)
                    else:
                        cube = os.path.join(exported, os.path.splitext(name)[0] + ".cube")
                        self.assertLessEqual(
                            numpy.abs(rendered - cube_values(cube, size)).max(), 1e-6)

    @unittest.skipIf(OCIO is None, "OpenColorIO's Python bindings (python3-pyopencolorio) "
                     "are not installed")
    def test_rendered_array_as_an_opencolorio_lut3d_transform(self):
        size = 17
        converted = self.cubrel_run(size)
        nodes = numpy.linspace(0, 1, size, dtype=numpy.float32)
        grid = numpy.stack(numpy.meshgrid(nodes, nodes, nodes, indexing="ij"), axis=-1)
        for name in ("tonal_ranges.look", "secondaries.look", "truelight_17.lut"):
            with self.subTest(name=name):
                rendered = gradeshift.render(os.path.join(self.samples, name), size)
                transform = OCIO.Lut3DTransform()
                transform.setGridSize(size)
                for r in range(size):
                    for g in range(size):
                        for b in range(size):
                            transform.setValue(r, g, b, *(float(v) for v in rendered[r, g, b]))
                processor = OCIO.Config.CreateRaw().getProcessor(transform)
                pixels = grid.reshape(-1, 3).copy()
                processor.getDefaultCPUProcessor().applyRGB(pixels)
                codes = cubrel_codes(os.path.join(converted, cubrel_output(name)), size)
                applied = quantised(pixels.reshape(size, size, size, 3))
                self.assertLessEqual(numpy.abs(applied - codes).max(), 1)

    def test_apply_takes_colours_through_the_lattice_of_render(self):
        # Colours inside and outside 0..1, as a picture and as a list; applied as -preview does.
        colours = numpy.random.default_rng(7).uniform(-0.2, 1.2, (6, 5, 3)).astype(numpy.float32)
        kept = colours.copy()
        for name, size in (("secondaries.look", 65), ("stored_lut.look", 9), ("bent.cube", 17)):
            with self.subTest(name=name, size=size):
                path = os.path.join(self.samples, name)
                applied = gradeshift.apply(path, colours, size)
                self.assertEqual((applied.shape, applied.dtype), (colours.shape, numpy.float32))
                numpy.testing.assert_array_equal(colours, kept)
                expected = trilinear(gradeshift.render(path, size), colours)
                numpy.testing.assert_allclose(applied, expected, atol=2e-6)
                listed = gradeshift.apply(path, colours.reshape(-1, 3), size)
                numpy.testing.assert_array_equal(listed, applied.reshape(-1, 3))
        for image, raised in ((colours.astype(numpy.float64), TypeError),
                              (colours[..., :2], ValueError)):
            with self.subTest(dtype=image.dtype, shape=image.shape):
                with self.assertRaises(raised):
                    gradeshift.apply(os.path.join(self.samples, "bent.cube"), image)
        with self.assertRaises(gradeshift.Error):
            gradeshift.apply(os.path.join(self.samples, "gone.cube"), colours)

    @unittest.skipIf(OCIO is None, "OpenColorIO's Python bindings (python3-pyopencolorio) "
                     "are not installed")
    def test_apply_agrees_with_opencolorio_on_a_lut_file(self):
        # The module quiets OpenColorIO only while it reads, and leaves the host's level.
        self.addCleanup(OCIO.SetLoggingLevel, OCIO.GetLoggingLevel())
        OCIO.SetLoggingLevel(OCIO.LOGGING_LEVEL_WARNING)
        # 5 points per axis: the nodes of a 17-point lattice hold the file's cells exactly.
        colours = numpy.random.default_rng(3).uniform(0, 1, (1000, 3)).astype(numpy.float32)
        path = os.path.join(self.samples, "bent.cube")
        transform = OCIO.FileTransform(path, interpolation=OCIO.INTERP_LINEAR)
        processor = OCIO.Config.CreateRaw().getProcessor(transform)
        expected = colours.copy()
        processor.getDefaultCPUProcessor().applyRGB(expected)
        numpy.testing.assert_allclose(gradeshift.apply(path, colours, 17), expected, atol=1e-5)
        self.assertEqual(gradeshift.load_lut(path).size, CUBE_POINTS)
        self.assertEqual(OCIO.GetLoggingLevel(), OCIO.LOGGING_LEVEL_WARNING)

    def test_render_falls_back_to_a_stored_lut_or_refuses(self):
        for name, text in (("unknown.look", UNKNOWN_SHADER_LOOK), ("garbage.look", "not a look"),
                           ("stored.look", STORED_LUT_LOOK)):
            pathlib.Path(self.scratch, name).write_text(text)
        lattice = gradeshift.render(os.path.join(self.scratch, "stored.look"), 2)
        for b in (0, 1):
            for g in (0, 1):
                for r in (0, 1):
                    self.assertEqual(list(lattice[r, g, b]), [r * 0.5, g * 0.25, b * 0.75])

        cases = [
            ("missing.look", 33, gradeshift.FileNotFound, "missing.look: No such file or directory"),
            ("garbage.look", 33, gradeshift.Error, "garbage.look: not a look or LUT file"),
            ("unknown.look", 33, gradeshift.Error,
             "unknown.look: Failed to load one or more shaders used in the look"),
            ("missing.cube", 33, gradeshift.FileNotFound, "missing.cube: No such file or directory"),
            ("unknown.look", 1, gradeshift.BadArgument, "size must be from 2 to 256, not 1"),
        ]
        for name, size, kind, message in cases:
            with self.subTest(name=name, size=size):
                path = os.path.join(self.scratch, name)
                with self.assertRaises(gradeshift.Error) as raised:
                    gradeshift.render(path, size)
                self.assertIs(type(raised.exception), kind)
                self.assertTrue(str(raised.exception).endswith(message), str(raised.exception))
                if kind is gradeshift.FileNotFound:
                    self.assertEqual((raised.exception.errno, raised.exception.filename),
                                     (errno.ENOENT, path))

    def test_load_lut_gives_the_file_as_written(self):
        sys.path.insert(0, os.path.join(SOURCE_DIR, "samples"))
        self.addCleanup(sys.path.pop, 0)
        import generate_samples as samples

        warm = gradeshift.load_lut(os.path.join(self.samples, "warm_grade_33.lut"))
        self.assertEqual((warm.size, warm.dimension, warm.pre_lut), (33, 3, None))
        self.assertEqual(warm.domain, ((0, 0, 0), (1, 1, 1)))
        self.assertEqual(warm.table.shape, (33, 33, 33, 3))
        for r, g, b in ((32, 0, 0), (0, 32, 0), (0, 0, 32), (5, 17, 29), (32, 32, 32)):
            expected = samples.warm(r / 32, g / 32, b / 32)
            numpy.testing.assert_allclose(warm.table[r, g, b], expected, atol=1e-5)

        curve = gradeshift.load_lut(os.path.join(self.samples, "curve_1d.lut"))
        self.assertEqual((curve.size, curve.dimension, curve.table.shape), (64, 1, (64, 3)))
        for entry in (0, 21, 63):
            self.assertAlmostEqual(curve.table[entry, 1], samples.s_curve(entry / 63), places=5)

        pathlib.Path(self.scratch, "noise.lut").write_bytes(b"\x01\x02\x00\x03 no LUT here")
        for name, kind, cause in (("noise.lut", gradeshift.Error, "not a look or LUT file"),
                                  ("missing.cube", gradeshift.FileNotFound, "No such file or directory")):
            with self.subTest(name=name), self.assertRaises(gradeshift.Error) as raised:
                gradeshift.load_lut(os.path.join(self.scratch, name))
            self.assertIs(type(raised.exception), kind)
            self.assertTrue(str(raised.exception).endswith(name + ": " + cause))

    def test_read_look_gives_what_the_rebuilt_look_stores(self):
        # The per-channel sample with its whites kept at or below 1, as a CDL clamps.
        dim = pathlib.Path(self.samples, "per_channel.look").read_text()
        for name, value in (("Gain.X", "-0.15"), ("Contrast", "0"), ("Offset.Y", "0"),
                            ("Gamma.X", "0.1")):
            dim = re.sub(r'<%s>"[^"]*"' % re.escape(name), '<%s>"%s"' % (name, value), dim)
        pathlib.Path(self.samples, "dim.look").write_text(dim)
        rebuilt = self.folder_copy("rebuilt")
        self.assertEqual(run_program([rebuilt], self.scratch).returncode, 0)
        written = pathlib.Path(rebuilt, "dim.look").read_text()
        asc = re.search(r"<ASC>(.*)</ASC>", written, re.S).group(1)

        def element(name):
            text = re.search(r"<%s>([^<]*)</%s>" % (name, name), asc).group(1)
            return tuple(float(v) for v in text.strip('"').split(","))

        look = gradeshift.read_look(os.path.join(self.samples, "dim.look"))
        self.assertTrue(look.per_channel)
        self.assertIsNone(look.cdl_refusal)
        for name in ("slope", "offset", "power"):
            numpy.testing.assert_allclose(getattr(look.cdl, name), element(name), atol=1e-5)
        look = gradeshift.read_look(os.path.join(self.samples, "per_channel.look"))
        self.assertEqual([layer.shader for layer in look.layers], ["VEXLAN.Base.1"])
        self.assertEqual(len(look.base), 12)
        self.assertEqual(look.base[0], {"Gain.X": 0.15, "Gain.Z": -0.2, "Offset.Y": 0.01,
                                        "Gamma.X": -0.05, "Contrast": 0.2, "Pivot": 0.45})
        self.assertEqual(look.lut_size, 0)

        # The CDL is what -to cc writes, or why it refuses: clipped whites here.
        cases = [("tonal_ranges.look", False, 0, "the look's channels affect each other"),
                 ("stored_lut.look", True, 9, None),
                 ("per_channel.look", True, 64, "values above 1 would be clipped")]
        for name, per_channel, lut_size, refusal in cases:
            folder = rebuilt if lut_size == 64 else self.samples
            with self.subTest(name=name, lut_size=lut_size):
                look = gradeshift.read_look(os.path.join(folder, name))
                self.assertEqual((look.per_channel, look.lut_size), (per_channel, lut_size))
                self.assertEqual((look.cdl is None, look.cdl_refusal), (refusal is not None, refusal))

        with self.assertRaises(gradeshift.Error) as raised:
            gradeshift.read_look(os.path.join(self.samples, "warm_grade_33.lut"))
        self.assertTrue(str(raised.exception).endswith("warm_grade_33.lut: a LUT file, not a look"))

    def test_convert_writes_and_says_what_the_command_line_does(self):
        pathlib.Path(self.samples, "unknown.look").write_text(UNKNOWN_SHADER_LOOK)
        pathlib.Path(self.samples, "noise.lut").write_bytes(b"\x01\x02\x00\x03 no LUT here")
        pathlib.Path(self.samples, "stored.look").write_text(STORED_LUT_LOOK)
        runs = [({"cubrel": True, "jobs": 1}, ["-cubrel"]),
                ({"cubrel": True, "size": 33, "resampling": False},
                 ["-cubrel", "-size", "33", "-noresampling"]),
                ({"jobs": 3}, []),
                ({"size": 16}, ["-size", "16"]),
                ({"cubrel": True, "out": "OUT"}, ["-cubrel", "-out", "OUT"]),
                ({"to": "cube", "size": 9}, ["-to", "cube", "-size", "9"]),
                ({"to": "cc", "out": "OUT"}, ["-to", "cc", "-out", "OUT"])]
        for index, (options, arguments) in enumerate(runs):
            with self.subTest(options=options):
                by_program = self.folder_copy("program%d" % index)
                by_module = self.folder_copy("module%d" % index)
                # An output folder of each run's own, inside its copy of the samples.
                if "out" in options:
                    options = dict(options, out=os.path.join(by_module, "out"))
                    arguments = [os.path.join(by_program, "out") if a == "OUT" else a
                                 for a in arguments]
                    os.mkdir(os.path.join(by_program, "out"))
                    os.mkdir(os.path.join(by_module, "out"))
                printed = run_program([by_program, "-v"] + arguments, self.scratch)
                results = gradeshift.convert(by_module, **options)

                blocks = "".join("\n%s:\n" % os.path.basename(result.input) +
                                 "".join("  %s\n" % line for line in result.messages)
                                 for result in results)
                expected = printed.stdout.replace(RESAMPLE_WARNING, "").replace(by_program, by_module)
                self.assertEqual("VEXLAN Gradeshift 2008\n\n" + blocks, expected)
                for folder, _, names in os.walk(by_program):
                    for name in names:
                        written = os.path.relpath(os.path.join(folder, name), by_program)
                        self.assertEqual(pathlib.Path(by_program, written).read_bytes(),
                                         pathlib.Path(by_module, written).read_bytes(), written)
                for folder in ("", "out"):
                    if os.path.isdir(os.path.join(by_program, folder)):
                        self.assertEqual(sorted(os.listdir(os.path.join(by_program, folder))),
                                         sorted(os.listdir(os.path.join(by_module, folder))))

                # A look that does not render is converted from its stored LUT where allowed.
                statuses = {os.path.basename(r.input): r.status for r in results}
                # An ASC CDL of it fails: a CDL is made from the render alone.
                expected = ("from stored LUT" if options.get("resampling", True) and
                            (options.get("cubrel") or "to" in options) and
                            options.get("to") != "cc" else "failed")
                self.assertEqual(statuses["stored.look"], expected)
                # What -v says on standard error of each file written or failed.
                said = printed.stderr.replace(by_program, by_module).splitlines()
                for result in results:
                    self.assertEqual(os.path.dirname(result.input), by_module)
                    if result.status in ("failed", "refused"):
                        self.assertIsNone(result.output)
                        self.assertIn("gradeshift: %s: %s" % (result.input, result.cause), said)
                    elif result.status == "from stored LUT":
                        self.assertEqual(result.warnings, ["shader not installed: Studio.Missing"])
                        written = "gradeshift: %s -> %s (" % (result.input, result.output)
                        self.assertTrue(any(line.startswith(written) and line.endswith(
                            ") from its stored LUT: shader not installed: Studio.Missing")
                            for line in said), written)
                    elif result.status == "converted":
                        self.assertIsNone(result.cause)
                        written = "gradeshift: %s -> %s (" % (result.input, result.output)
                        self.assertTrue(any(line.startswith(written) for line in said), written)
                        self.assertTrue(os.path.isfile(result.output), result.output)
                    # An ASC CDL is refused before the look is rendered.
                    if os.path.basename(result.input) == "unknown.look" and "to" not in options:
                        self.assertEqual((result.status, result.cause),
                                         ("failed", "shader not installed: Studio.Missing"))

    def test_convert_refuses_a_run_the_command_line_would_not_start(self):
        empty = os.path.join(self.scratch, "empty")
        os.mkdir(empty)
        bad, missing = gradeshift.BadArgument, gradeshift.FileNotFound
        cases = [
            ({"inputs": self.samples, "cubrel": True, "size": 32}, bad,
             "Invalid LUT size for Cubrel LUTs."),
            ({"inputs": self.samples, "jobs": 0}, bad, 'jobs: "0" is not 1 or more'),
            ({"inputs": empty}, gradeshift.Error, "No input files found."),
            ({"inputs": [empty, os.path.join(empty, "*.look")]}, gradeshift.Error,
             "No input files found."),
            ({"inputs": os.path.join(empty, "gone.look")}, missing,
             "Error: The input file (gone.look) could not be opened."),
            ({"inputs": []}, bad, "no input given"),
            ({"inputs": self.samples, "to": "tiff"}, bad, 'to: "tiff" is not a format (cubrel, '),
            ({"inputs": self.samples, "to": "cube", "cubrel": True}, bad,
             'cubrel=True and to="cube" ask for two formats'),
            ({"inputs": self.samples, "out": os.path.join(empty, "gone")}, missing,
             "out %s: No such file or directory" % os.path.join(empty, "gone")),
        ]
        for arguments, kind, message in cases:
            with self.subTest(arguments=arguments):
                with self.assertRaises(gradeshift.Error) as raised:
                    gradeshift.convert(**arguments)
                self.assertIs(type(raised.exception), kind)
                self.assertTrue(str(raised.exception).startswith(message),
                                str(raised.exception))
                if kind is missing:
                    self.assertEqual(raised.exception.filename,
                                     arguments.get("out", arguments["inputs"]))
        self.assertEqual(os.listdir(empty), [])

    def test_compare_and_describe_give_what_the_command_line_prints(self):
        import json
        bent = os.path.join(self.samples, "bent.cube")
        same = gradeshift.compare(bent, bent, size=9)
        self.assertTrue(same.within_tolerance)
        self.assertEqual((same.codes["all"]["rgb"]["max"], same.delta_e00["all"]["max"]), (0, 0))
        for a, b in (("secondaries.look", "bent.cube"), ("truelight_17.lut", "stored_lut.look")):
            with self.subTest(a=a, b=b):
                paths = [os.path.join(self.samples, name) for name in (a, b)]
                compared = gradeshift.compare(*paths, size=9, tolerance_de=2.0)
                printed = run_program(["-compare"] + paths + ["-size", "9", "-json",
                                                              "-tolerance-de", "2"], self.scratch)
                line = json.loads(printed.stdout)
                self.assertEqual(printed.returncode, 0 if compared.within_tolerance else 2)
                self.assertEqual((compared.codes, compared.delta_e00, compared.colours),
                                 (line["codes"], line["delta_e00"], line["colours"]))
                numpy.testing.assert_array_equal(compared.worst_inputs,
                                                 [w["input"] for w in line["worst"]])
                numpy.testing.assert_allclose(compared.worst_b, [w["b"] for w in line["worst"]],
                                              rtol=1e-6)
        for name in ("wrapped_warm.look", "mesh_uneven_shaper.lut"):
            with self.subTest(name=name):
                path = os.path.join(self.samples, name)
                printed = run_program(["-info", "-json", path], self.scratch)
                self.assertEqual(gradeshift.describe(path), json.loads(printed.stdout))
        with self.assertRaises(gradeshift.Error):
            gradeshift.compare(bent, os.path.join(self.samples, "gone.cube"))

    def test_paths_as_str_bytes_or_path_like_and_names_that_are_not_utf8(self):
        folder = os.fsencode(os.path.join(self.scratch, "names"))
        os.mkdir(folder)
        names = [b"caf\xe9.look", b"th\xe9.lut"]
        look, lut = [os.path.join(folder, name) for name in names]
        shutil.copy(os.path.join(self.samples, "tonal_ranges.look"), look)
        shutil.copy(os.path.join(self.samples, "warm_grade_33.lut"), lut)
        rendered = gradeshift.render(os.fsdecode(look), 9)
        # A str decoded as os.fsdecode does, bytes, and os.PathLike; what comes back is str.
        forms = [("str", os.fsdecode), ("bytes", os.fsencode),
                 ("PathLike", lambda path: pathlib.Path(os.fsdecode(path)))]
        for form, to_form in forms:
            with self.subTest(form=form):
                out = os.path.join(folder, form.encode())
                os.mkdir(out)
                results = gradeshift.convert(to_form(folder), to="cube", size=9, out=to_form(out))
                self.assertEqual(
                    [(os.fsencode(r.input), os.fsencode(r.output), r.status) for r in results],
                    [(os.path.join(folder, name),
                      os.path.join(out, os.path.splitext(name)[0] + b".cube"), "converted")
                     for name in names])
                self.assertEqual(sorted(os.listdir(out)), [b"caf\xe9.cube", b"th\xe9.cube"])
                numpy.testing.assert_array_equal(gradeshift.render(to_form(look), 9), rendered)
                self.assertEqual(gradeshift.apply(to_form(look), rendered, 9).shape, rendered.shape)
                self.assertEqual(gradeshift.load_lut(to_form(lut)).size, 33)
                self.assertEqual(len(gradeshift.read_look(to_form(look)).layers), 1)
                compared = gradeshift.compare(to_form(look), to_form(lut), size=5)
                self.assertEqual([os.fsencode(compared.a), os.fsencode(compared.b)], [look, lut])
                self.assertEqual(os.fsencode(gradeshift.describe(to_form(look))["path"]), look)
        for missing in (b"/missing/caf\xe9.look", "/missing/caf\udce9.look"):
            with self.subTest(missing=missing), self.assertRaises(FileNotFoundError) as raised:
                gradeshift.render(missing)
            self.assertIsInstance(raised.exception, gradeshift.Error)
            self.assertEqual(str(raised.exception), "/missing/caf\udce9.look: No such file or directory")
            self.assertEqual(raised.exception.filename, "/missing/caf\udce9.look")

    def test_ctrl_c_stops_a_call_and_leaves_no_file_half_written(self):
        heavy = os.path.join(self.samples, "secondaries.look")
        folder = os.path.join(self.scratch, "many")
        os.mkdir(folder)
        for index in range(32):
            shutil.copy(heavy, os.path.join(folder, "look%02d.look" % index))
        def call(kind, path, interrupt_after=None):
            """Seconds from the call's start to its end, or from the signal to its stop."""
            child = subprocess.Popen([sys.executable, "-c", INTERRUPTED_CALL, kind, path],
                                     stdout=subprocess.PIPE, text=True)
            self.addCleanup(child.kill)
            self.assertEqual(child.stdout.readline(), "calling\n")
            started = time.monotonic()
            if interrupt_after is None:
                self.assertEqual(child.communicate(timeout=300)[0].split(), ["finished"])
                return time.monotonic() - started
            time.sleep(interrupt_after)
            signalled = time.monotonic()
            child.send_signal(signal.SIGINT)
            said = child.communicate(timeout=300)[0].split()
            # "finished": the call ended before the signal came, too soon to tell anything.
            self.assertEqual(said[0], "interrupted", said)
            return float(said[1]) - signalled

        # The same call is timed whole first, so that a machine busy with other
        # work slows both alike: interrupted a third of the way in, it must stop
        # in well under the time it still had to run.
        for kind, path in (("render", heavy), ("convert", folder)):
            with self.subTest(kind=kind):
                whole = call(kind, path)
                for name in os.listdir(folder):
                    if name.endswith(".lut"):
                        os.remove(os.path.join(folder, name))
                stopped = call(kind, path, interrupt_after=whole / 3)
                self.assertLess(stopped, whole / 3, "whole call %.2f s" % whole)
        # The outputs written are whole; no temporary file (.NAME.gradeshift-PID-N.tmp) is left.
        fresh = os.path.join(self.scratch, "fresh")
        os.mkdir(fresh)
        gradeshift.convert(heavy, cubrel=True, size=129, out=fresh)
        expected = pathlib.Path(fresh, "secondaries.lut").read_bytes()
        left = sorted(os.listdir(folder))
        self.assertEqual([name for name in left if not name.endswith((".look", ".lut"))], [])
        for name in left:
            if name.endswith(".lut"):
                self.assertEqual(pathlib.Path(folder, name).read_bytes(), expected, name)

    def test_module_tells_its_version_classes_and_properties(self):
        printed = run_program(["--version"], self.scratch)
        self.assertEqual(printed.stdout, "Gradeshift %s\n" % gradeshift.__version__)
        for subclass, builtin in ((gradeshift.FileNotFound, FileNotFoundError),
                                  (gradeshift.BadArgument, ValueError)):
            self.assertEqual(subclass.__bases__, (gradeshift.Error, builtin))
        for cls in (gradeshift.Lut, gradeshift.Layer, gradeshift.Cdl, gradeshift.Look,
                    gradeshift.Result, gradeshift.Comparison):
            properties = [name for name, value in vars(cls).items() if isinstance(value, property)]
            self.assertGreater(len(properties), 2, cls)
            for name in properties:
                with self.subTest(cls=cls.__name__, property=name):
                    self.assertTrue(getattr(cls, name).__doc__)

    def test_calls_from_several_threads_agree_with_calls_one_after_another(self):
        names = ["secondaries.look", "tonal_ranges.look", "bent.cube", "warm_grade_33.lut"] * 2
        alone = [gradeshift.render(os.path.join(self.samples, name), 17) for name in names]
        together = [None] * len(names)

        def render(index):
            together[index] = gradeshift.render(os.path.join(self.samples, names[index]), 17)

        threads = [threading.Thread(target=render, args=(i,)) for i in range(len(names))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        for name, a, b in zip(names, alone, together):
            numpy.testing.assert_array_equal(a, b, err_msg=name)

    def test_an_installed_module_uses_its_own_installation(self):
        prefix = os.path.join(self.scratch, "prefix")
        subprocess.run(["cmake", "--install", BINARY_DIR, "--prefix", prefix],
                       check=True, capture_output=True)
        package_dir = os.path.join(prefix, "lib", "python3", "dist-packages")
        self.assertTrue(os.path.isfile(os.path.join(package_dir, "gradeshift.pyi")))
        script = ("import os, sys, gradeshift\n"
                  "before = dict(os.environ)\n"
                  "try:\n"
                  "    print(gradeshift.render(sys.argv[1], 9).shape)\n"
                  "except gradeshift.Error as error:\n"
                  "    print(error)\n"
                  "print(os.path.dirname(gradeshift.__file__) == sys.argv[2], "
                  "before == dict(os.environ))\n")
        look = os.path.join(self.samples, "tonal_ranges.look")
        environment = dict(os.environ, PYTHONPATH=package_dir)
        archive = os.path.join(prefix, "resources", "Resources.vxf")
        expected = ["(9, 9, 9, 3)\nTrue True\n",
                    "Resources.vxf not found in the installation around the module (%s/)\n"
                    "True True\n" % prefix]
        for index, output in enumerate(expected):
            if index == 1:
                os.remove(archive)
            with self.subTest(archive=index == 0):
                ran = subprocess.run([sys.executable, "-c", script, look, package_dir],
                                     cwd=self.scratch, env=environment, capture_output=True,
                                     text=True)
                self.assertEqual(ran.stdout, output, ran.stderr)


if __name__ == "__main__":
    unittest.main()
