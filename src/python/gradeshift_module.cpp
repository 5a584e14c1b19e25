// The Python module: a thin binding over the tool's run and the render
// layer's lattice. It holds no logic of its own beyond turning values into
// Python objects, failures into gradeshift.Error and its subclasses, and
// Python's signals into the stop request of the work under way.

#include "foundation/file_access.h"
#include "foundation/parallel_bands.h"
#include "foundation/paths.h"
#include "foundation/stop_request.h"
#include "inspect/comparison_report.h"
#include "inspect/file_comparison.h"
#include "inspect/file_description.h"
#include "inspect/image_transform.h"
#include "inspect/json_writer.h"
#include "look/look_reader.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/load_failure.h"
#include "lut/lut.h"
#include "lut/lut_files.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "platform/environment.h"
#include "platform/large_buffer.h"
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
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace {

// Which gradeshift.Error a failure raises: the class itself, or the subclass
// that is also Python's own exception for the case.
enum class EFailure : uint8_t { eError, eFileNotFound, eBadArgument };

// Raised as gradeshift.Error or a subclass. The text is the cause, with paths
// in the bytes the system gives them; `file` is the file that is not there.
struct ModuleError : std::runtime_error {
    explicit ModuleError(const std::string& text, EFailure failureKind = EFailure::eError,
                         std::string missingFile = {})
        : std::runtime_error(text), kind(failureKind), file(std::move(missingFile)) {}
    EFailure kind;
    std::string file;
};

[[noreturn]] void BadArgument(const std::string& text) {
    throw ModuleError(text, EFailure::eBadArgument);
}

// Bytes as Python decodes file names (os.fsdecode): paths, and texts that
// may hold them, come back as str that os.fsencode turns into the same bytes.
py::str FsText(const std::string& bytes) {
    PyObject* text = PyUnicode_DecodeFSDefaultAndSize(bytes.data(), py::ssize_t(bytes.size()));
    if (!text)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::list FsTexts(const std::vector<std::string>& lines) {
    py::list texts;
    for (const std::string& line : lines)
        texts.append(FsText(line));
    return texts;
}

// ---- calls that a signal stops ----

// How often a call waiting for its work lets Python run its signal handlers.
constexpr std::chrono::milliseconds kSignalCheckInterval{50};

// With the GIL: Python runs the handlers of the signals that arrived; the
// exception that one raised (KeyboardInterrupt for Ctrl-C), if any.
std::optional<py::error_already_set> SignalException() {
    const py::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() == 0)
        return std::nullopt;
    return py::error_already_set();
}

// Runs work(stop) with the GIL released. Python runs signal handlers on its
// main thread only, so the work runs on a thread of its own while the calling
// thread waits and lets Python handle signals every kSignalCheckInterval.
// When a handler raises, the work's stop is requested, and the exception is
// raised once the work has ended (a stopped render commits nothing; files a
// stopped convert wrote are whole). A failure of the work is raised here.
template <typename Work> void WithoutGil(Work&& work) {
    StopRequest stop{false};
    std::exception_ptr failure;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    const auto run = [&] {
        try {
            work(static_cast<const StopRequest&>(stop));
        } catch (...) {
            failure = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        ended.notify_all();
    };
    const auto isDone = [&] { return done; };
    std::optional<py::error_already_set> raised;
    {
        const py::gil_scoped_release unlocked;
        std::thread worker;
        try {
            worker = std::thread(run);
        } catch (const std::system_error&) {
            run();
        }
        std::unique_lock<std::mutex> hold(lock);
        while (!ended.wait_for(hold, kSignalCheckInterval, isDone)) {
            hold.unlock();
            raised = SignalException();
            hold.lock();
            if (raised) {
                stop = true;
                ended.wait(hold, isDone);
            }
        }
        hold.unlock();
        if (worker.joinable())
            worker.join();
    }
    if (raised)
        throw std::move(*raised);
    if (failure)
        std::rethrow_exception(failure);
}

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

// What the renders of one call need; `stop` ends them early.
RenderEnvironment CallRender(Installation& installation, const StopRequest& stop) {
    return RenderEnvironment{installation.environment.Shaders(), InstallationLuts(installation),
                             &stop};
}

void RequireResources(const Installation& installation) {
    if (!installation.environment.Resources())
        throw ModuleError("Resources.vxf not found in the installation around the module (" +
                          SystemPath(ModuleBaseFolder()) + ")");
}

CVxString FrameworkPath(const std::filesystem::path& path) {
    return CVxString(path.string().c_str());
}

// "PATH: CAUSE". The readers say why a file failed in words; whether the path
// names anything at all is asked once the call has failed, so that a file
// that is not there raises FileNotFoundError, as Python's own calls do.
[[noreturn]] void FailOn(Installation& installation, const std::filesystem::path& path,
                         const std::string& cause) {
    const std::string text = path.string() + ": " + cause;
    if (installation.files.Lookup(FrameworkPath(path)) == EPathKind::eMissing)
        throw ModuleError(text, EFailure::eFileNotFound, path.string());
    throw ModuleError(text);
}

void CheckSize(uint32_t size, uint32_t largest) {
    if (size < 2 || size > largest)
        BadArgument("size must be from 2 to " + std::to_string(largest) + ", not " +
                    std::to_string(size));
}

// An n-point lattice, red fastest, as an array indexed [r, g, b, channel].
// Arrays handed to NumPy come from large pages: a table of many megabytes
// then costs a page fault every 2 MB at its first touch, not every 4 KB.
struct FreeFloats {
    void operator()(float* values) const { std::free(values); }
};
using FloatArray = std::unique_ptr<float[], FreeFloats>;

FloatArray NewFloats(size_t count) {
    if (count > size_t(-1) / sizeof(float))
        throw std::bad_alloc();
    void* memory = platform::AllocateLargeBuffer(std::max<size_t>(count, 1) * sizeof(float));
    if (!memory)
        throw std::bad_alloc();
    return FloatArray(static_cast<float*>(memory));
}

// The nodes of an n-point lattice, red fastest, `channels` floats each, as a
// table indexed [r][g][b] of three. Each green plane is turned in tiles, so
// that reads and writes both stay within a few pages; the planes are shared
// between the cores, and a stop request is looked at between them (the table
// is then incomplete, and the call fails).
FloatArray IndexedByRed(const float* nodes, uint32_t n, uint32_t channels,
                        const StopRequest* stop = nullptr) {
    constexpr size_t kTile = 16;
    FloatArray table = NewFloats(size_t{n} * n * n * 3);
    float* const out = table.get();
    ParallelBands(n, DefaultThreadCount(), [&](uint32_t, uint32_t firstGreen, uint32_t endGreen) {
        for (size_t g = firstGreen; g < endGreen && !StopRequested(stop); ++g)
            for (size_t b0 = 0; b0 < n; b0 += kTile)
                for (size_t r0 = 0; r0 < n; r0 += kTile)
                    for (size_t b = b0; b < std::min<size_t>(b0 + kTile, n); ++b)
                        for (size_t r = r0; r < std::min<size_t>(r0 + kTile, n); ++r) {
                            const float* in = nodes + ((b * n + g) * n + r) * channels;
                            std::copy_n(in, 3, out + ((r * n + g) * n + b) * 3);
                        }
    });
    return table;
}

py::array_t<float> OwningArray(FloatArray data, std::vector<py::ssize_t> shape) {
    float* values = data.release();
    py::capsule owner(values, [](void* pointer) { std::free(pointer); });
    return py::array_t<float>(shape, values, owner);
}

// ---- render ----

// The file's transform at a size-point lattice, or the call fails saying why.
FileLattice RenderedLattice(const std::filesystem::path& path, uint32_t size,
                            const StopRequest& stop) {
    Installation& installation = TheInstallation();
    RequireResources(installation);
    // Each call reads files as they are now: OpenColorIO would serve what it parsed before.
    ClearOcioCaches();
    FileLattice lattice = LatticeOfFile(CallRender(installation, stop), FrameworkPath(path), size);
    if (!lattice.rgb)
        FailOn(installation, path, FailureCause(lattice));
    return lattice;
}

py::array_t<float> Render(const std::filesystem::path& path, uint32_t size) {
    CheckSize(size, 256);
    FloatArray table;
    WithoutGil([&](const StopRequest& stop) {
        const FileLattice lattice = RenderedLattice(path, size, stop);
        table = IndexedByRed(lattice.rgb.get(), size, 3, &stop);
    });
    const py::ssize_t n = size;
    return OwningArray(std::move(table), {n, n, n, 3});
}

// ---- apply ----

// The colours of `image`, shape (..., 3) float32, through the file's transform
// as -preview applies it: a lattice of `size` points, trilinear.
py::array_t<float> Apply(const std::filesystem::path& path, const py::array& image, uint32_t size) {
    CheckSize(size, 129);
    if (!image.dtype().is(py::dtype::of<float>()))
        throw py::type_error("image must be a float32 array, not " +
                             py::str(image.dtype()).cast<std::string>());
    if (image.ndim() < 1 || image.shape(image.ndim() - 1) != 3)
        BadArgument("image must have the shape (..., 3)");
    // A contiguous copy when the array is a strided view; the caller's array is never written.
    const auto in = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(image);
    const size_t count = static_cast<size_t>(in.size()) / 3;
    FloatArray out = NewFloats(count * 3);
    WithoutGil([&](const StopRequest& stop) {
        const FileLattice lattice = RenderedLattice(path, size, stop);
        ApplyLattice({lattice.rgb.get(), size}, in.data(), out.get(), count, DefaultThreadCount(),
                     &stop);
    });
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
        FloatArray rows = NewFloats(size_t{lut.m_size} * 3);
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
    WithoutGil([&](const StopRequest&) {
        Installation& installation = TheInstallation();
        ClearOcioCaches();
        if (!lut.Load(InstallationLuts(installation), FrameworkPath(path), false,
                      CVxLUT::EDimensionRequirement::eAnyDimension, true) ||
            lut.IsEmpty())
            FailOn(installation, path, WhyNotALutFile(installation.files, FrameworkPath(path)));
    });
    return ToPython(lut);
}

// ---- read_look ----

struct PyLayer {
    py::str shader;
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
            parameters[FsText(param->Name.c_str())] = param->dValue;
        else
            parameters[FsText(param->Name.c_str())] = FsText(param->Value.c_str());
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
        out.layers.push_back(PyLayer{FsText(layer->Name().c_str()), layer->Enabled(),
                                     layer->Visible(), layer->Opacity(), Parameters(*layer)});
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
    WithoutGil([&](const StopRequest& stop) {
        Installation& installation = TheInstallation();
        CVxString text;
        const CVxString framework = FrameworkPath(path);
        if (const FileStatus read = ReadTextFile(installation.files, framework, text); !read)
            FailOn(installation, path, read.cause);
        look = ReadLook(text);
        if (!look)
            FailOn(installation, path,
                   IsLutFile(framework) ? "a LUT file, not a look" : WhyNotALook(text));
        // The CDL that -to cc writes, checked against the look's render.
        const RenderEnvironment render = CallRender(installation, stop);
        CVxSoftwareCompositingEngine engine(render);
        channels = DescribeLookChannels(engine, look->grading, render.luts, FolderOf(framework));
    });
    return ToPython(*look, channels);
}

// ---- convert ----

struct PyResult {
    py::str input;
    py::object output = py::none();
    py::str status;
    py::list messages;
    py::object cause = py::none();
    py::list warnings;
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
    PyResult out;
    out.input = FsText(SystemPath(result.input));
    out.status = StatusName(result.outcome);
    out.messages = FsTexts(result.messages);
    out.warnings = FsTexts(result.warnings);
    if (!result.written.empty())
        out.output = FsText(result.written);
    if (result.outcome == EFileOutcome::eFailed || result.outcome == EFileOutcome::eRefused)
        out.cause = FsText(result.cause);
    return out;
}

// One path (str, bytes or os.PathLike), or an iterable of them.
std::vector<std::filesystem::path> InputArguments(const py::object& inputs) {
    if (py::isinstance<py::str>(inputs) || py::isinstance<py::bytes>(inputs) ||
        py::hasattr(inputs, "__fspath__"))
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

ModuleError ProblemError(const RunProblem& problem) {
    const std::string text = ProblemText(problem);
    if (problem.error == ENOENT)
        return ModuleError(text, EFailure::eFileNotFound, problem.option);
    switch (problem.kind) {
    case ERunProblem::eBadValue:
    case ERunProblem::eTwoFormats:
    case ERunProblem::eBadSize:
    case ERunProblem::eNoInput:
        return ModuleError(text, EFailure::eBadArgument);
    default:
        return ModuleError(text);
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
    WithoutGil([&](const StopRequest& stop) {
        Installation& installation = TheInstallation();
        RequireResources(installation);
        RunSetUp run = SetUpRun(request, installation.files);
        if (run.problem)
            throw ProblemError(*run.problem);
        run.settings.stop = &stop;
        results =
            ConvertToResults(run.files, run.settings, installation.environment, installation.files);
    });
    std::vector<PyResult> converted;
    for (const FileResult& result : results)
        converted.push_back(ToPython(result));
    return converted;
}

// ---- compare and describe ----

struct PyComparison {
    py::str a, b;
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
    FloatArray values = NewFloats(worst.size() * 3);
    for (size_t i = 0; i < worst.size(); ++i)
        std::copy((worst[i].*field), (worst[i].*field) + 3, values.get() + i * 3);
    return OwningArray(std::move(values), {py::ssize_t(worst.size()), 3});
}

PyComparison Compare(const std::filesystem::path& a, const std::filesystem::path& b, uint32_t size,
                     double tolerance, std::optional<double> toleranceDeltaE) {
    CheckSize(size, 129);
    FileComparison compared;
    WithoutGil([&](const StopRequest& stop) {
        Installation& installation = TheInstallation();
        RequireResources(installation);
        ClearOcioCaches();
        compared = CompareFiles(CallRender(installation, stop), FrameworkPath(a), FrameworkPath(b),
                                size, ComparisonTolerance{tolerance, toleranceDeltaE});
        if (!compared.comparison)
            FailOn(installation, compared.failedFile == FrameworkPath(a) ? a : b, compared.failure);
    });
    const Comparison& comparison = *compared.comparison;
    JsonWriter json;
    WriteComparisonJson(json, comparison, {a.string(), b.string(), size});
    const py::dict fields = py::module_::import("json").attr("loads")(json.Text());
    PyComparison out;
    out.a = FsText(a.string());
    out.b = FsText(b.string());
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
    WithoutGil([&](const StopRequest&) {
        Installation& installation = TheInstallation();
        RequireResources(installation);
        ClearOcioCaches();
        const CVxString framework = FrameworkPath(path);
        if (!FileExists(installation.files, framework))
            FailOn(installation, path, "No such file or directory");
        JsonWriter json;
        WriteDescriptionJson(json, DescribeFile(installation.environment.Shaders(),
                                                InstallationLuts(installation), framework,
                                                path.string()));
        text = json.Text();
    });
    // JSON holds text only: the path as the caller's str, in place of its UTF-8 text.
    py::dict described = py::module_::import("json").attr("loads")(text);
    described["path"] = FsText(path.string());
    return described;
}

// ---- exceptions ----

// The subclasses of gradeshift.Error that are Python's own exceptions too.
PyObject* g_fileNotFound = nullptr;
PyObject* g_badArgument = nullptr;

PyObject* AddErrorClass(py::module_& module, const char* name, py::handle error, PyObject* builtin,
                        const char* doc, const py::dict& members) {
    const std::string qualified = std::string("gradeshift.") + name;
    const py::tuple bases = py::make_tuple(error, py::handle(builtin));
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), members.ptr());
    if (!type)
        throw py::error_already_set();
    module.add_object(name, py::handle(type));
    return type;
}

void RaiseFileNotFound(const ModuleError& failure) {
    const py::handle type(g_fileNotFound);
    const py::object raised = type(FsText(failure.what()));
    raised.attr("errno") = ENOENT;
    raised.attr("strerror") = py::module_::import("os").attr("strerror")(ENOENT);
    raised.attr("filename") = FsText(failure.file);
    PyErr_SetObject(g_fileNotFound, raised.ptr());
}

} // namespace

PYBIND11_MODULE(gradeshift, module) {
    module.doc() =
        "Gradeshift from Python: render looks and LUT files into NumPy arrays, read looks and\n"
        "LUTs, and convert files as the command line does.\n\n"
        "The module reads the installation it belongs to (its resource archive, settings and\n"
        "shaders) from its own location, and leaves the process's environment alone, and\n"
        "OpenColorIO's logging level too.\n\n"
        "Paths are str, bytes or os.PathLike, as for open(); paths and texts that may hold\n"
        "them come back as str decoded as os.fsdecode does, so that os.fsencode gives the\n"
        "bytes of the name on disk.\n\n"
        "Failures raise gradeshift.Error (a RuntimeError), whose text says why; a file that\n"
        "is not there raises gradeshift.FileNotFound, also a FileNotFoundError, and an\n"
        "argument out of range gradeshift.BadArgument, also a ValueError.\n\n"
        "Ctrl-C (any signal whose handler raises) stops render, apply, compare and convert\n"
        "within a fraction of a second: the call raises KeyboardInterrupt, no file is left\n"
        "half written, and the files convert wrote before stay whole.\n\n"
        "__version__ is the version of Gradeshift, as gradeshift --version prints it.";

    module.attr("__version__") = GRADESHIFT_VERSION;

    static py::exception<ModuleError> error(module, "Error", PyExc_RuntimeError);
    error.doc() = "A call that could not be carried out; the text says why.";
    // str() of a FileNotFound is its text, as of any Error, not OSError's "[Errno 2] ..." form.
    py::dict ownText;
    ownText["__str__"] = py::handle(PyExc_BaseException).attr("__str__");
    g_fileNotFound = AddErrorClass(
        module, "FileNotFound", error, PyExc_FileNotFoundError,
        "A file or folder that the call needs is not there: also a FileNotFoundError, with\n"
        "errno ENOENT and filename the path (a str).",
        ownText);
    g_badArgument = AddErrorClass(
        module, "BadArgument", error, PyExc_ValueError,
        "An argument out of its range or not one of its choices: also a ValueError.", py::dict());
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const ModuleError& failure) {
            if (failure.kind == EFailure::eFileNotFound)
                RaiseFileNotFound(failure);
            else if (failure.kind == EFailure::eBadArgument)
                PyErr_SetObject(g_badArgument, FsText(failure.what()).ptr());
            else
                PyErr_SetObject(error.ptr(), FsText(failure.what()).ptr());
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
        .def_readonly("enabled", &PyLayer::enabled,
                      "False when the layer is switched off: it then does nothing.")
        .def_readonly("visible", &PyLayer::visible,
                      "False when the layer is hidden: it then does nothing either.")
        .def_readonly("opacity", &PyLayer::opacity,
                      "How much of the layer's effect is mixed in, 0 to 1.")
        .def_readonly("parameters", &PyLayer::parameters,
                      "Parameter name to value: a float, or a str for a text value.")
        .def("__repr__", [](const PyLayer& layer) {
            return py::str("<gradeshift.Layer {}>").format(layer.shader);
        });

    py::class_<PyCdl>(module, "Cdl", "Slope, offset and power per channel (r, g, b).")
        .def_readonly("slope", &PyCdl::slope, "(r, g, b): the factors, applied first.")
        .def_readonly("offset", &PyCdl::offset, "(r, g, b): added after the slope.")
        .def_readonly("power", &PyCdl::power,
                      "(r, g, b): the exponents, applied last, to values clamped to 0..1.")
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
        .def_readonly("input", &PyResult::input, "The input file, a str (see the module's help).")
        .def_readonly("output", &PyResult::output, "The file written, a str, or None.")
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
            return py::str("<gradeshift.Result {}: {}>").format(result.input, result.status);
        });

    module.def(
        "render", &Render, py::arg("path"), py::arg("size") = 33,
        "The transform of a look or any readable LUT file at a size-point lattice: float32,\n"
        "shape (size, size, size, 3), indexed [r, g, b]. A look is rendered (the values\n"
        "that Cubrel mode quantises); a LUT file is applied at the nodes as tools apply it,\n"
        "linear in its 1D tables and trilinear in its lattice (what -to writes); a look that\n"
        "does not render gives its stored LUT, applied likewise. Raises FileNotFound when\n"
        "the file is not there, BadArgument for a size out of 2..256, Error when the file\n"
        "cannot be read, or the look neither renders nor holds a stored LUT.");
    module.def("apply", &Apply, py::arg("path"), py::arg("image"), py::arg("size") = 65,
               "The colours of image (a float32 array of shape (..., 3): an RGB picture or a list\n"
               "of colours) through the transform of a look or LUT file, as -preview applies it:\n"
               "the file evaluated at a size-point lattice as render() does, then trilinear\n"
               "interpolation, inputs clamped to 0..1. A new float32 array of the same shape;\n"
               "image is left as it is. Raises TypeError for another dtype, BadArgument for\n"
               "another shape or a size out of 2..129, and as render() does for the file.");
    module.def("load_lut", &LoadLut, py::arg("path"),
               "Reads a LUT file as it is, without resampling. Raises FileNotFound when the\n"
               "file is not there, Error when it is no LUT.");
    py::class_<PyComparison>(
        module, "Comparison",
        "How two transforms differ: see compare() and docs/comparing-and-previewing.md.")
        .def_readonly("a", &PyComparison::a, "The first file, a str.")
        .def_readonly("b", &PyComparison::b, "The second file, a str.")
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
            return py::str("<gradeshift.Comparison {} / {}: {} tolerance>")
                .format(comparison.a, comparison.b,
                        comparison.withinTolerance ? "within" : "beyond");
        });

    module.def("read_look", &ReadLookFile, py::arg("path"),
               "Reads a look: layers, base grading, stored LUT size, CDL.");
    module.def("compare", &Compare, py::arg("a"), py::arg("b"), py::arg("size") = 33,
               py::arg("tolerance") = 1.0, py::arg("tolerance_de") = py::none(),
               "Compares the transforms of two files (looks and LUT files of any format) as\n"
               "gradeshift -compare does, at the nodes of a size-point lattice and the\n"
               "centres of its cells; returns a Comparison. Raises as render() does for either\n"
               "file, BadArgument for a size out of 2..129.");
    module.def("describe", &Describe, py::arg("path"),
               "What a look or LUT file is, as gradeshift -info -json prints it: a dict, its\n"
               "'path' the path as a str. Raises FileNotFound when the file is not there.");
    module.def("convert", &Convert, py::arg("inputs"), py::kw_only(), py::arg("cubrel") = false,
               py::arg("to") = py::none(), py::arg("size") = py::none(),
               py::arg("out") = py::none(), py::arg("jobs") = py::none(),
               py::arg("resampling") = true,
               "Converts files as the command line does, printing nothing: inputs is a path\n"
               "(file, folder or wildcard) or a list of them. One Result per file, in order; a\n"
               "file that fails is a result. out names the folder the outputs go into (beside\n"
               "the inputs when None). to names a format as -to does (cubrel=True is\n"
               "to=\"cubrel\"). Raises gradeshift.Error where the command line exits\n"
               "with 1: BadArgument for a bad size, jobs or to, or two formats;\n"
               "FileNotFound for an input or output folder that is not there; Error for an\n"
               "output folder that cannot be written, no resource archive, no input found.");
}
