#include "tool/run_settings.h"

#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_writers.h"
#include "tool/command_line.h"
#include "tool/run_setup.h"

#include <cmath>
#include <new>
#include <optional>

namespace {

enum class EOption : uint8_t {
    eNone,
    eSize,
    eJobs,
    eOut,
    eTo,
    eCubrel,
    eNoResampling,
    eStrict,
    eVerbose,
    eOverwrite,
    eCompare,
    eInfo,
    eJson,
    eTolerance,
    eToleranceDe,
    ePreview,
    eReport,
    eImage
};

constexpr struct {
    const char* name;
    EOption option;
} kOptions[] = {
    {"size", EOption::eSize},
    {"jobs", EOption::eJobs},
    {"out", EOption::eOut},
    {"to", EOption::eTo},
    {"cubrel", EOption::eCubrel},
    {"noresampling", EOption::eNoResampling},
    {"strict", EOption::eStrict},
    {"v", EOption::eVerbose},
    {"verbose", EOption::eVerbose},
    {"overwrite", EOption::eOverwrite},
    {"compare", EOption::eCompare},
    {"info", EOption::eInfo},
    {"json", EOption::eJson},
    {"tolerance", EOption::eTolerance},
    {"tolerance-de", EOption::eToleranceDe},
    {"preview", EOption::ePreview},
    {"report", EOption::eReport},
    {"image", EOption::eImage},
};

bool TakesValue(EOption option) {
    switch (option) {
    case EOption::eSize:
    case EOption::eJobs:
    case EOption::eOut:
    case EOption::eTo:
    case EOption::eTolerance:
    case EOption::eToleranceDe:
    case EOption::eReport:
    case EOption::eImage:
        return true;
    default:
        return false;
    }
}

// A tolerance: a decimal number, 0 or more.
bool TakeTolerance(const CVxString& value, std::optional<double>& tolerance) {
    double number = 0.0;
    if (!value.ToDouble(number, 0.0) || !std::isfinite(number))
        return false;
    tolerance = number;
    return true;
}

// "-name" or "--name", or "--name=value" with the value split off; `name` is the
// option as typed, without its value.
EOption Recognise(const CVxString& argument, CVxString& name, bool& hasValue, CVxString& value) {
    const bool doubleDash = argument.StartsWith("--", true);
    name = argument;
    hasValue = false;
    const int equals = argument.Find('=');
    if (doubleDash && equals > 0) {
        name = argument.Left(static_cast<uint32_t>(equals));
        value = argument.Mid(static_cast<uint32_t>(equals) + 1);
        hasValue = true;
    }
    const CVxString bare = name.Mid(doubleDash ? 2 : 1);
    for (const auto& known : kOptions)
        if (bare.EqualsNoCase(known.name))
            return known.option;
    return EOption::eNone;
}

bool IsDecimal(const CVxString& text) {
    return !text.IsEmpty() && text.ConsistsOnly("0123456789");
}

// Takes the value into the request; false, with the cause, when it is not a
// value of the option's kind at all. Whether it fits the run is SetUpRun's.
bool TakeValue(RunRequest& request, EOption option, const CVxString& typed, const CVxString& value,
               CVxString& cause) {
    uint32_t number = 0;
    switch (option) {
    case EOption::eSize:
        if (value.ToUInt32(request.size))
            return true;
        break;
    case EOption::eJobs:
        if (!IsDecimal(value) || !value.ToUInt32(number))
            break;
        request.jobs = number;
        request.jobsOption = typed;
        return true;
    case EOption::eTo:
        // The last of -to and -cubrel counts.
        request.to = value;
        request.toOption = typed;
        request.cubrel = false;
        return true;
    case EOption::eOut:
        request.outFolder = value;
        if (!value.IsEmpty())
            return true;
        cause = "needs a folder";
        return false;
    case EOption::eTolerance:
        if (TakeTolerance(value, request.tolerance))
            return true;
        break;
    case EOption::eToleranceDe:
        if (TakeTolerance(value, request.toleranceDe))
            return true;
        break;
    case EOption::eReport:
    case EOption::eImage:
        (option == EOption::eReport ? request.reportFile : request.imageFile) = value;
        if (!value.IsEmpty())
            return true;
        cause = "needs a file";
        return false;
    default:
        return true;
    }
    cause.Format("\"%s\" is not a number", value.c_str());
    return false;
}

void SetFlag(RunRequest& request, EOption option) {
    if (option == EOption::eCubrel) {
        request.cubrel = true;
        request.to.reset();
    } else if (option == EOption::eNoResampling)
        request.resampling = false;
    else if (option == EOption::eStrict)
        request.strict = true;
    else if (option == EOption::eVerbose)
        request.verbose = true;
    else if (option == EOption::eOverwrite)
        request.overwrite = true;
    else if (option == EOption::eCompare)
        request.compare = true;
    else if (option == EOption::eInfo)
        request.info = true;
    else if (option == EOption::eJson)
        request.json = true;
    else if (option == EOption::ePreview)
        request.preview = true;
}

} // namespace

EOptionResult ParseCommandLine(RunRequest& request, OptionProblem& problem) {
    std::vector<CVxString>& inputs = request.inputs;
    const uint32_t count = CommandLineArgs().Count();
    bool optionsEnded = false;
    for (uint32_t index = 1; index < count; ++index) {
        const CVxString argument = CommandLineArg(index);
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument.IsEmpty() || argument[0] != '-') {
            inputs.push_back(argument);
            continue;
        }
        CVxString value;
        bool hasValue = false;
        const EOption option = Recognise(argument, problem.option, hasValue, value);
        if (option == EOption::eNone) {
            problem.option = argument;
            if (index == 1) {
                inputs.push_back(argument);
                continue;
            }
            return EOptionResult::eUnknownArgument;
        }
        if (!TakesValue(option)) {
            if (hasValue) {
                problem.cause = "takes no value";
                return EOptionResult::eBadValue;
            }
            SetFlag(request, option);
            continue;
        }
        if (!hasValue) {
            if (index + 1 >= count) {
                problem.cause = "needs a value";
                return EOptionResult::eBadValue;
            }
            value = CommandLineArg(++index);
        }
        if (!TakeValue(request, option, problem.option, value, problem.cause))
            return EOptionResult::eBadValue;
    }
    return EOptionResult::eAccepted;
}

const ExportFormat* OutputFormat(const RunSettings& settings) {
    if (settings.exportFormat)
        return settings.exportFormat;
    return settings.preview ? &PreviewPictureFormat() : nullptr;
}

bool ApplySizeRules(RunSettings& settings) {
    if (settings.inspection == EInspection::eInfo)
        return true;
    if (settings.preview) {
        if (settings.size == 0)
            settings.size = 65;
        return settings.size >= 2 && settings.size <= 129;
    }
    if (settings.inspection == EInspection::eCompare) {
        if (settings.size == 0)
            settings.size = 33;
        return settings.size >= 2 && settings.size <= 129;
    }
    if (const ExportFormat* format = settings.exportFormat) {
        if (settings.size == 0)
            settings.size = format->sizeRule.defaultSize;
        return FitsSizeRule(*format, settings.size);
    }
    if (settings.cubrelMode) {
        if (settings.size == 0)
            settings.size = 17;
        return settings.size >= 9 && settings.size <= 129 && IsPowerOfTwo(settings.size - 1);
    }
    if (settings.size == 0)
        settings.size = 64;
    return settings.size >= 8 && settings.size <= 256 && IsPowerOfTwo(settings.size);
}

bool PrepareCubrelBuffer(RunSettings& settings) {
    if (!settings.cubrelMode)
        return true;
    settings.cubrelBuffer.reset(new (std::nothrow) uint8_t[CubrelFileSize(settings.size)]);
    if (!settings.cubrelBuffer)
        return false;
    PrepareCubrelHeader(settings.cubrelBuffer.get(), settings.size);
    return true;
}

std::unique_ptr<RunSettings> CopyForAnotherThread(const RunSettings& settings) {
    auto copy = std::make_unique<RunSettings>();
    copy->cubrelMode = settings.cubrelMode;
    copy->exportFormat = settings.exportFormat;
    copy->resamplingAllowed = settings.resamplingAllowed;
    copy->size = settings.size;
    copy->jobs = settings.jobs;
    copy->strict = settings.strict;
    copy->verbose = settings.verbose;
    copy->overwrite = settings.overwrite;
    copy->inspection = settings.inspection;
    copy->preview = settings.preview;
    copy->previewPicture = settings.previewPicture;
    copy->reportFile = settings.reportFile;
    copy->json = settings.json;
    copy->tolerance = settings.tolerance;
    copy->toleranceDe = settings.toleranceDe;
    copy->outFolder = settings.outFolder;
    copy->workingFolder = settings.workingFolder;
    copy->stop = settings.stop;
    if (!PrepareCubrelBuffer(*copy))
        return nullptr;
    return copy;
}
