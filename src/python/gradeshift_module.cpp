// The Python module: a thin binding over the tool's run and the render
// layer's lattice. It holds no logic of its own beyond turning values into
// Python objects and failures into gradeshift.Error.

#include "foundation/file_access.h"
#include "foundation/parallel_bands.h"
#include "foundation/paths.h"
#include "inspect/comparison_report.h"
#include "inspect/file_comparison.h"
#include "inspect/file_description.h"
#include "inspect/image_transform.h"
#include "inspect/json_writer.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "platform/environment.h"
#include "platform/path_mapping.h"
#include "render/compositing_engine.h"
#include "render/file_lattice.h"
#include "render/look_character.h"
#include "render/render_environment.h"
#include "tool/batch_results.h"
#include "tool/output_path.h"
#include "tool/run_environment.h"
#include "tool/run_settings.h"
#include "tool/run_setup.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace {

// Raised as gradeshift.Error, its text the cause.
struct ModuleError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The installation around the module, whose file lies in
// lib/python3/dist-packages/ under the installation's base folder.
CVxString ModuleBaseFolder() {
    static const int anchor = 0;
    CVxString folder = FolderOf(CVxString(platform::ObjectFilePath(&anchor).c_str()));
    for (int level = 0; level < 3; ++level)
        folder = ParentFolder(folder);
    return folder;
}

// Read once, at the first call that needs it, and shared by every call on any
// thread as a run's environment is shared by its files. Never destroyed: a
// thread may still use it while the interpreter exits.
struct Installation {
    SystemFileAccess files;
    RunEnvironment environment;
    Installation() : environment(files, ModuleBaseFolder()) {}
};

Installation& TheInstallation() {
    static Installation* installation = new Installation;
    return *installation;
}

std::string SystemPath(const CVxString& path) {
    std::string posix;
    if (!platform::ToPosixPath(path.View(), posix))
        return std::string(path.c_str());
    return posix;
}

LutFiles InstallationLuts(Installation& installation) {
    return LutFiles{installation.files, installation.environment.LutFolders(),
                    installation.environment.AlwaysUpsample()};
}

void RequireResources(const Installation& installation) {
    if (!installation.environment.Resources())
        throw ModuleError("Resources.vxf not found in the installation around the module (" +
                          SystemPath(ModuleBaseFolder()) + ")");
}

CVxString FrameworkPath(const std::filesystem::path& path) {
    return CVxString(path.string().c_str());
}

[[noreturn]] void FailOn(const std::filesystem::path& path, const std::string& cause) {
    throw ModuleError(path.string() + ": " + cause);
}

// An n-point lattice, red fastest, as an array indexed [r, g, b, channel].
std::unique_ptr<float[]> IndexedByRed(const float* nodes, uint32_t n, uint32_t channels) {
    const size_t count = size_t{n} * n * n;
    std::unique_ptr<float[]> table(new float[count * 3]);
    size_t node = 0;
    for (size_t b = 0; b < n; ++b)
        for (size_t g = 0; g < n; ++g)
            for (size_t r = 0; r < n; ++r, ++node) {
                float* out = table.get() + ((r * n + g) * n + b) * 3;
                const float* in = nodes + node * channels;
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
    return table;
}

py::array_t<float> OwningArray(std::unique_ptr<float[]> data, std::vector<py::ssize_t> shape) {
    float* values = data.release();
    py::capsule owner(values, [](void* pointer) { delete[] static_cast<float*>(pointer); });
    return py::array_t<float>(shape, values, owner);
}

// ---- render ----

py::array_t<float> Render(const std::filesystem::path& path, uint32_t size) {
    if (size < 2 || size > 256)
        throw ModuleError("size must be from 2 to 256, not " + std::to_string(size));
    std::unique_ptr<float[]> table;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        RequireResources(installation);
        // Each call reads files as they are now: OpenColorIO would serve what it parsed before.
        ClearOcioCaches();
        FileLattice lattice =
            LatticeOfFile(installation.environment.Shaders(), InstallationLuts(installation),
                          FrameworkPath(path), size);
        if (!lattice.rgb)
            FailOn(path, lattice.failure);
        table = IndexedByRed(lattice.rgb.get(), size, 3);
    }
    const py::ssize_t n = size;
    return OwningArray(std::move(table), {n, n, n, 3});
}

// ---- apply ----

// The colours of `image`, shape (..., 3) float32, through the file's transform
// as -preview applies it: a lattice of `size` points, trilinear.
py::array_t<float> Apply(const std::filesystem::path& path, const py::array& image, uint32_t size) {
    if (size < 2 || size > 129)
        throw ModuleError("size must be from 2 to 129, not " + std::to_string(size));
    if (!image.dtype().is(py::dtype::of<float>()))
        throw py::type_error("image must be a float32 array, not " +
                             py::str(image.dtype()).cast<std::string>());
    if (image.ndim() < 1 || image.shape(image.ndim() - 1) != 3)
        throw py::value_error("image must have the shape (..., 3)");
    // A contiguous copy when the array is a strided view; the caller's array is never written.
    const auto in = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(image);
    const size_t count = static_cast<size_t>(in.size()) / 3;
    std::unique_ptr<float[]> out(new float[count * 3]);
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        RequireResources(installation);
        ClearOcioCaches();
        const FileLattice lattice =
            LatticeOfFile(installation.environment.Shaders(), InstallationLuts(installation),
                          FrameworkPath(path), size);
        if (!lattice.rgb)
            FailOn(path, lattice.failure);
        ApplyLattice({lattice.rgb.get(), size}, in.data(), out.get(), count, DefaultThreadCount());
    }
    return OwningArray(std::move(out),
                       std::vector<py::ssize_t>(image.shape(), image.shape() + image.ndim()));
}

// ---- load_lut ----

struct PyLut {
    uint32_t size = 0;
    int dimension = 0;
    py::tuple domain;
    py::array_t<float> table;
    py::object preLut = py::none();
};

PyLut ToPython(const CVxLUT& lut) {
    PyLut out;
    out.size = lut.m_size;
    out.dimension = lut.m_is3D ? 3 : 1;
    out.domain =
        py::make_tuple(py::make_tuple(lut.m_domainMin[0], lut.m_domainMin[1], lut.m_domainMin[2]),
                       py::make_tuple(lut.m_domainMax[0], lut.m_domainMax[1], lut.m_domainMax[2]));
    const py::ssize_t n = lut.m_size;
    if (lut.m_is3D) {
        out.table = OwningArray(IndexedByRed(lut.m_data, lut.m_size, 4), {n, n, n, 3});
    } else {
        std::unique_ptr<float[]> rows(new float[size_t{lut.m_size} * 3]);
        for (size_t entry = 0; entry < lut.m_size; ++entry)
            std::copy(lut.m_data + entry * 4, lut.m_data + entry * 4 + 3, rows.get() + entry * 3);
        out.table = OwningArray(std::move(rows), {n, 3});
    }
    if (lut.m_preLUT)
        out.preLut = py::cast(ToPython(*lut.m_preLUT));
    return out;
}

PyLut LoadLut(const std::filesystem::path& path) {
    CVxLUT lut;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        const LutFiles luts{installation.files, installation.environment.LutFolders(),
                            installation.environment.AlwaysUpsample()};
        ClearOcioCaches();
        if (!lut.Load(luts, FrameworkPath(path), false,
                      CVxLUT::EDimensionRequirement::eAnyDimension, true) ||
            lut.IsEmpty())
            FailOn(path, "Error loading LUT");
    }
    return ToPython(lut);
}

// ---- read_look ----

struct PyLayer {
    std::string shader;
    bool enabled = true;
    bool visible = true;
    float opacity = 1;
    py::dict parameters;
};

struct PyCdl {
    py::tuple slope, offset, power;
};

struct PyLook {
    std::vector<PyLayer> layers;
    py::object base = py::none();
    uint32_t lutSize = 0;
    bool perChannel = false;
    py::object cdl = py::none();
    py::object cdlRefusal = py::none();
};

py::dict Parameters(const CVxShaderParamStorage& layer) {
    py::dict parameters;
    for (uint32_t index = 0; index < layer.ParamCount(); ++index) {
        const CVxShaderParam* param = layer.GetParam(index);
        if (param->IsDouble)
            parameters[param->Name.c_str()] = param->dValue;
        else
            parameters[param->Name.c_str()] = param->Value.c_str();
    }
    return parameters;
}

py::tuple Triple(const double values[3]) {
    return py::make_tuple(values[0], values[1], values[2]);
}

PyLook ToPython(const ParsedLook& look, const LookChannels& channels) {
    const CVxGradingParamStorage& grading = look.grading;
    PyLook out;
    for (uint32_t index = 0; index < grading.LayerCount(); ++index) {
        const CVxShaderParamStorage* layer = grading.Layer(index);
        out.layers.push_back(PyLayer{layer->Name().c_str(), layer->Enabled(), layer->Visible(),
                                     layer->Opacity(), Parameters(*layer)});
    }
    if (grading.HasBase()) {
        py::list sublayers;
        for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k)
            sublayers.append(Parameters(*grading.BaseSublayer(k)));
        out.base = sublayers;
    }
    out.lutSize = look.storedSize;
    out.perChannel = channels.perChannel;
    if (const std::optional<CdlValues>& cdl = channels.cdl)
        out.cdl = py::cast(PyCdl{Triple(cdl->slope), Triple(cdl->offset), Triple(cdl->power)});
    if (channels.cdlRefusal)
        out.cdlRefusal = py::str(channels.cdlRefusal);
    return out;
}

PyLook ReadLookFile(const std::filesystem::path& path) {
    std::unique_ptr<ParsedLook> look;
    LookChannels channels;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        CVxString text;
        const CVxString framework = FrameworkPath(path);
        if (!ReadTextFile(installation.files, framework, text))
            FailOn(path, "Error reading file");
        look = ReadLook(text);
        if (!look)
            FailOn(path, "Not a valid .look file");
        // The CDL that -to cc writes, checked against the look's render.
        const LutFiles luts{installation.files, installation.environment.LutFolders(),
                            installation.environment.AlwaysUpsample()};
        CVxSoftwareCompositingEngine engine(
            RenderEnvironment{installation.environment.Shaders(), luts});
        channels = DescribeLookChannels(engine, look->grading, luts, FolderOf(framework));
    }
    return ToPython(*look, channels);
}

// ---- convert ----

struct PyResult {
    std::string input;
    std::optional<std::string> output;
    std::string status;
    std::vector<std::string> messages;
    std::optional<std::string> cause;
    std::vector<std::string> warnings;
};

const char* StatusName(EFileOutcome outcome) {
    switch (outcome) {
    case EFileOutcome::eConverted:
        return "converted";
    case EFileOutcome::eFromStoredLut:
        return "from stored LUT";
    case EFileOutcome::eUnchanged:
        return "unchanged";
    case EFileOutcome::eRefused:
        return "refused";
    default:
        return "failed";
    }
}

PyResult ToPython(const FileResult& result) {
    PyResult out{SystemPath(result.input), std::nullopt, StatusName(result.outcome),
                 result.messages,          std::nullopt, result.warnings};
    if (!result.written.empty())
        out.output = result.written;
    if (result.outcome == EFileOutcome::eFailed || result.outcome == EFileOutcome::eRefused)
        out.cause = result.cause;
    return out;
}

std::vector<std::filesystem::path> InputArguments(const py::object& inputs) {
    if (py::isinstance<py::str>(inputs) || py::hasattr(inputs, "__fspath__"))
        return {inputs.cast<std::filesystem::path>()};
    std::vector<std::filesystem::path> arguments;
    for (const py::handle input : inputs)
        arguments.push_back(input.cast<std::filesystem::path>());
    return arguments;
}

// The problem in the words the command line uses, its options named by the
// keywords of convert().
std::string ProblemText(const RunProblem& problem) {
    switch (problem.kind) {
    case ERunProblem::eBadValue:
        return problem.option + ": " + problem.text;
    case ERunProblem::eOutFolder:
        return "out " + problem.option + ": " + problem.text;
    case ERunProblem::eFileOption:
        return problem.option + ": " + problem.text;
    case ERunProblem::eBadSize:
        return OneLine(problem.text);
    default:
        return problem.text;
    }
}

RunRequest ConvertRequest(const std::vector<std::filesystem::path>& arguments, bool cubrel,
                          const std::optional<std::string>& to, std::optional<uint32_t> size,
                          const py::object& out, std::optional<uint32_t> jobs, bool resampling) {
    RunRequest request;
    for (const std::filesystem::path& argument : arguments)
        request.inputs.push_back(FrameworkPath(argument));
    request.cubrel = cubrel;
    if (to)
        request.to = CVxString(to->c_str());
    request.size = size.value_or(0);
    request.jobs = jobs;
    request.resampling = resampling;
    if (!out.is_none())
        request.outFolder = FrameworkPath(out.cast<std::filesystem::path>());
    return request;
}

std::vector<PyResult> Convert(const py::object& inputs, bool cubrel,
                              const std::optional<std::string>& to, std::optional<uint32_t> size,
                              const py::object& out, std::optional<uint32_t> jobs,
                              bool resampling) {
    const RunRequest request =
        ConvertRequest(InputArguments(inputs), cubrel, to, size, out, jobs, resampling);
    std::vector<FileResult> results;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        RequireResources(installation);
        const RunSetUp run = SetUpRun(request, installation.files);
        if (run.problem)
            throw ModuleError(ProblemText(*run.problem));
        results =
            ConvertToResults(run.files, run.settings, installation.environment, installation.files);
    }
    std::vector<PyResult> converted;
    for (const FileResult& result : results)
        converted.push_back(ToPython(result));
    return converted;
}

// ---- compare and describe ----

struct PyComparison {
    std::string a, b;
    uint32_t size = 0;
    py::dict colours, codes, deltaE;
    py::array_t<float> worstInputs, worstA, worstB;
    py::array_t<double> worstDeltaE;
    double tolerance = 1.0;
    py::object toleranceDeltaE = py::none();
    bool withinTolerance = true;
};

py::array_t<float> WorstColours(const std::vector<WorstColour>& worst,
                                float (WorstColour::*field)[3]) {
    std::unique_ptr<float[]> values(new float[std::max<size_t>(worst.size(), 1) * 3]);
    for (size_t i = 0; i < worst.size(); ++i)
        std::copy((worst[i].*field), (worst[i].*field) + 3, values.get() + i * 3);
    return OwningArray(std::move(values), {py::ssize_t(worst.size()), 3});
}

PyComparison Compare(const std::filesystem::path& a, const std::filesystem::path& b, uint32_t size,
                     double tolerance, std::optional<double> toleranceDeltaE) {
    if (size < 2 || size > 129)
        throw ModuleError("size must be from 2 to 129, not " + std::to_string(size));
    FileComparison compared;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        RequireResources(installation);
        ClearOcioCaches();
        compared = CompareFiles(installation.environment.Shaders(), InstallationLuts(installation),
                                FrameworkPath(a), FrameworkPath(b), size,
                                ComparisonTolerance{tolerance, toleranceDeltaE});
    }
    if (!compared.comparison)
        FailOn(compared.failedFile == FrameworkPath(a) ? a : b, compared.failure);
    const Comparison& comparison = *compared.comparison;
    JsonWriter json;
    WriteComparisonJson(json, comparison, {a.string(), b.string(), size});
    const py::dict fields = py::module_::import("json").attr("loads")(json.Text());
    PyComparison out;
    out.a = a.string();
    out.b = b.string();
    out.size = size;
    out.colours = fields["colours"];
    out.codes = fields["codes"];
    out.deltaE = fields["delta_e00"];
    out.worstInputs = WorstColours(comparison.worst, &WorstColour::input);
    out.worstA = WorstColours(comparison.worst, &WorstColour::outputA);
    out.worstB = WorstColours(comparison.worst, &WorstColour::outputB);
    std::vector<double> deltas;
    for (const WorstColour& colour : comparison.worst)
        deltas.push_back(colour.deltaE);
    out.worstDeltaE = py::array_t<double>(py::ssize_t(deltas.size()), deltas.data());
    out.tolerance = tolerance;
    if (toleranceDeltaE)
        out.toleranceDeltaE = py::float_(*toleranceDeltaE);
    out.withinTolerance = comparison.withinTolerance;
    return out;
}

py::object Describe(const std::filesystem::path& path) {
    std::string text;
    {
        py::gil_scoped_release unlocked;
        Installation& installation = TheInstallation();
        RequireResources(installation);
        ClearOcioCaches();
        const CVxString framework = FrameworkPath(path);
        if (!FileExists(installation.files, framework))
            FailOn(path, "No such file or directory");
        JsonWriter json;
        WriteDescriptionJson(json, DescribeFile(installation.environment.Shaders(),
                                                InstallationLuts(installation), framework,
                                                path.string()));
        text = json.Text();
    }
    return py::module_::import("json").attr("loads")(text);
}

} // namespace

PYBIND11_MODULE(gradeshift, module) {
    module.doc() =
        "Gradeshift from Python: render looks and LUT files into NumPy arrays, read looks and\n"
        "LUTs, and convert files as the command line does.\n\n"
        "The module reads the installation it belongs to (its resource archive, settings and\n"
        "shaders) from its own location, and leaves the process's environment alone.";

    static py::exception<ModuleError> error(module, "Error", PyExc_RuntimeError);
    error.doc() = "A call that could not be carried out; the text says why.";
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const ModuleError& failure) {
            error(failure.what());
        }
    });

    py::class_<PyLut>(module, "Lut", "A LUT file as read: a 3D lattice or a 1D table.")
        .def_readonly("size", &PyLut::size, "Points per axis (lattice) or entries (1D table).")
        .def_readonly("dimension", &PyLut::dimension, "3 for a lattice, 1 for a 1D table.")
        .def_readonly("domain", &PyLut::domain,
                      "((min_r, min_g, min_b), (max_r, max_g, max_b)): the input range.")
        .def_readonly("table", &PyLut::table,
                      "float32 array: (n, n, n, 3) indexed [r, g, b] for a lattice, (n, 3) for a "
                      "1D table.")
        .def_readonly("pre_lut", &PyLut::preLut, "The 1D Lut applied to the input first, or None.")
        .def("__repr__", [](const PyLut& lut) {
            return "<gradeshift.Lut " + std::to_string(lut.dimension) + "D size " +
                   std::to_string(lut.size) + (lut.preLut.is_none() ? "" : " with pre-LUT") + ">";
        });

    py::class_<PyLayer>(module, "Layer", "One shader layer of a look.")
        .def_readonly("shader", &PyLayer::shader, "The shader's name.")
        .def_readonly("enabled", &PyLayer::enabled)
        .def_readonly("visible", &PyLayer::visible)
        .def_readonly("opacity", &PyLayer::opacity)
        .def_readonly("parameters", &PyLayer::parameters,
                      "Parameter name to value: a float, or a str for a text value.")
        .def("__repr__",
             [](const PyLayer& layer) { return "<gradeshift.Layer " + layer.shader + ">"; });

    py::class_<PyCdl>(module, "Cdl", "Slope, offset and power per channel (r, g, b).")
        .def_readonly("slope", &PyCdl::slope)
        .def_readonly("offset", &PyCdl::offset)
        .def_readonly("power", &PyCdl::power)
        .def("__repr__", [](const PyCdl& cdl) {
            return "<gradeshift.Cdl slope=" + py::repr(cdl.slope).cast<std::string>() +
                   " offset=" + py::repr(cdl.offset).cast<std::string>() +
                   " power=" + py::repr(cdl.power).cast<std::string>() + ">";
        });

    py::class_<PyLook>(module, "Look", "What a look file holds.")
        .def_readonly("layers", &PyLook::layers,
                      "The layers, bottom first; the base grading counts as one (its current "
                      "sublayer).")
        .def_readonly("base", &PyLook::base,
                      "The base grading's values, one dict per sublayer, or None without a base.")
        .def_readonly("lut_size", &PyLook::lutSize,
                      "Points per axis of the stored 3D LUT, 0 when none is stored.")
        .def_readonly("per_channel", &PyLook::perChannel,
                      "True when every channel goes through its own curve (1D LUT files that the "
                      "look names included).")
        .def_readonly("cdl", &PyLook::cdl,
                      "The ASC CDL that holds the look within one 10-bit code, as -to cc writes "
                      "it; None when the look is no CDL.")
        .def_readonly("cdl_refusal", &PyLook::cdlRefusal,
                      "Why the look is no ASC CDL (\"the look's channels affect each other\", "
                      "\"values above 1 would be clipped\", ...), as -to cc says it; None when it "
                      "is one, or when the look does not render.")
        .def("__repr__", [](const PyLook& look) {
            return "<gradeshift.Look " + std::to_string(look.layers.size()) + " layers, LUT size " +
                   std::to_string(look.lutSize) + ">";
        });

    py::class_<PyResult>(module, "Result", "What became of one input file of convert().")
        .def_readonly("input", &PyResult::input, "The input file.")
        .def_readonly("output", &PyResult::output, "The file written, or None.")
        .def_readonly("status", &PyResult::status,
                      "\"converted\", \"from stored LUT\" (a look that did not render, converted "
                      "from its stored LUT), \"unchanged\", \"failed\" or \"refused\" (the run "
                      "declined to write it; cause says why).")
        .def_readonly("warnings", &PyResult::warnings,
                      "Why a look was converted from its stored LUT: each LUT file not found or "
                      "not loaded, each shader not installed; empty otherwise.")
        .def_readonly("messages", &PyResult::messages,
                      "The file's message lines, as the command line prints them.")
        .def_readonly("cause", &PyResult::cause,
                      "Why the file failed or was refused, in a few words, or None.")
        .def("__repr__", [](const PyResult& result) {
            return "<gradeshift.Result " + result.input + ": " + result.status + ">";
        });

    module.def(
        "render", &Render, py::arg("path"), py::arg("size") = 33,
        "The transform of a look or any readable LUT file at a size-point lattice: float32,\n"
        "shape (size, size, size, 3), indexed [r, g, b]. A look is rendered (the values\n"
        "that Cubrel mode quantises); a LUT file is applied at the nodes as tools apply it,\n"
        "linear in its 1D tables and trilinear in its lattice (what -to writes); a look that\n"
        "does not render gives its stored LUT, applied likewise. Raises gradeshift.Error\n"
        "when the file cannot be read, or the look neither renders nor holds a stored LUT.");
    module.def("apply", &Apply, py::arg("path"), py::arg("image"), py::arg("size") = 65,
               "The colours of image (a float32 array of shape (..., 3): an RGB picture or a list\n"
               "of colours) through the transform of a look or LUT file, as -preview applies it:\n"
               "the file evaluated at a size-point lattice as render() does, then trilinear\n"
               "interpolation, inputs clamped to 0..1. A new float32 array of the same shape;\n"
               "image is left as it is.");
    module.def("load_lut", &LoadLut, py::arg("path"),
               "Reads a LUT file as it is, without resampling.");
    py::class_<PyComparison>(module, "Comparison",
                             "How two transforms differ: see compare() and docs/inspect.md.")
        .def_readonly("a", &PyComparison::a, "The first file.")
        .def_readonly("b", &PyComparison::b, "The second file.")
        .def_readonly("size", &PyComparison::size, "Points per axis of the lattice compared at.")
        .def_readonly("colours", &PyComparison::colours,
                      "Colours compared: {'nodes': n, 'centres': n, 'all': n}.")
        .def_readonly("codes", &PyComparison::codes,
                      "Differences in 10-bit codes, |a - b| x 1023, not rounded: "
                      "codes[set][channel] is {'max', 'mean', 'p99_9'}, set 'nodes', 'centres' "
                      "or 'all', channel 'r', 'g', 'b' or 'rgb'.")
        .def_readonly("delta_e00", &PyComparison::deltaE,
                      "CIEDE2000 differences, RGB read as sRGB display values (IEC 61966-2-1, "
                      "D65) clamped to 0..1: delta_e00[set] is {'max', 'mean', 'p99_9'}.")
        .def_readonly("worst_inputs", &PyComparison::worstInputs,
                      "float32 (k, 3): the inputs of largest dE00, largest first (k <= 5).")
        .def_readonly("worst_a", &PyComparison::worstA, "float32 (k, 3): a's outputs there.")
        .def_readonly("worst_b", &PyComparison::worstB, "float32 (k, 3): b's outputs there.")
        .def_readonly("worst_delta_e00", &PyComparison::worstDeltaE, "float64 (k,): their dE00.")
        .def_readonly("tolerance", &PyComparison::tolerance, "The tolerance in 10-bit codes.")
        .def_readonly("tolerance_delta_e00", &PyComparison::toleranceDeltaE,
                      "The tolerance in dE00, or None.")
        .def_readonly("within_tolerance", &PyComparison::withinTolerance,
                      "True when every difference is within the tolerances.")
        .def("__repr__", [](const PyComparison& comparison) {
            return "<gradeshift.Comparison " + comparison.a + " / " + comparison.b + ": " +
                   (comparison.withinTolerance ? "within" : "beyond") + " tolerance>";
        });

    module.def("read_look", &ReadLookFile, py::arg("path"),
               "Reads a look: layers, base grading, stored LUT size, CDL.");
    module.def("compare", &Compare, py::arg("a"), py::arg("b"), py::arg("size") = 33,
               py::arg("tolerance") = 1.0, py::arg("tolerance_de") = py::none(),
               "Compares the transforms of two files (looks and LUT files of any format) as\n"
               "gradeshift -compare does, at the nodes of a size-point lattice and the\n"
               "centres of its cells; returns a Comparison.");
    module.def("describe", &Describe, py::arg("path"),
               "What a look or LUT file is, as gradeshift -info -json prints it: a dict.");
    module.def("convert", &Convert, py::arg("inputs"), py::kw_only(), py::arg("cubrel") = false,
               py::arg("to") = py::none(), py::arg("size") = py::none(),
               py::arg("out") = py::none(), py::arg("jobs") = py::none(),
               py::arg("resampling") = true,
               "Converts files as the command line does, printing nothing: inputs is a path\n"
               "(file, folder or wildcard) or a list of them. One Result per file, in order; a\n"
               "file that fails is a result. out names the folder the outputs go into (beside\n"
               "the inputs when None). to names a format as -to does (cubrel=True is\n"
               "to=\"cubrel\"). Raises gradeshift.Error where the command line exits\n"
               "with 1: a bad size or jobs, an output folder that cannot be written, no\n"
               "resource archive, no input found.");
}
