#include "tool/run_settings.h"

#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "lut/lut_writers.h"
#include "tool/command_line.h"

#include <new>

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
    eOverwrite
};

constexpr struct {
    const char* name;
    EOption option;
} kOptions[] = {
    {"size", EOption::eSize},       {"jobs", EOption::eJobs},
    {"out", EOption::eOut},         {"to", EOption::eTo},
    {"cubrel", EOption::eCubrel},   {"noresampling", EOption::eNoResampling},
    {"strict", EOption::eStrict},   {"v", EOption::eVerbose},
    {"verbose", EOption::eVerbose}, {"overwrite", EOption::eOverwrite},
};

bool TakesValue(EOption option) {
    return option == EOption::eSize || option == EOption::eJobs || option == EOption::eOut ||
           option == EOption::eTo;
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

// Takes the value into the settings; false, with the cause, when it does not fit.
bool TakeValue(RunSettings& settings, EOption option, const CVxString& value, CVxString& cause) {
    switch (option) {
    case EOption::eSize:
        if (value.ToUInt32(settings.size))
            return true;
        break;
    case EOption::eJobs:
        if (!IsDecimal(value) || !value.ToUInt32(settings.jobs))
            break;
        if (settings.jobs > 0)
            return true;
        cause.Format("\"%s\" is not 1 or more", value.c_str());
        return false;
    case EOption::eTo:
        // The last of -to and -cubrel counts.
        settings.exportFormat = FindExportFormat(value);
        settings.cubrelMode = value.EqualsNoCase("cubrel");
        if (settings.exportFormat || settings.cubrelMode)
            return true;
        cause.Format("\"%s\" is not a format (%s)", value.c_str(), ExportFormatNames());
        return false;
    case EOption::eOut:
        settings.outFolder = value;
        if (!value.IsEmpty())
            return true;
        cause = "needs a folder";
        return false;
    default:
        return true;
    }
    cause.Format("\"%s\" is not a number", value.c_str());
    return false;
}

void SetFlag(RunSettings& settings, EOption option) {
    if (option == EOption::eCubrel) {
        settings.cubrelMode = true;
        settings.exportFormat = nullptr;
    } else if (option == EOption::eNoResampling)
        settings.resamplingAllowed = false;
    else if (option == EOption::eStrict)
        settings.strict = true;
    else if (option == EOption::eVerbose)
        settings.verbose = true;
    else if (option == EOption::eOverwrite)
        settings.overwrite = true;
}

} // namespace

EOptionResult ParseCommandLine(RunSettings& settings, std::vector<CVxString>& inputs,
                               OptionProblem& problem) {
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
            SetFlag(settings, option);
            continue;
        }
        if (!hasValue) {
            if (index + 1 >= count) {
                problem.cause = "needs a value";
                return EOptionResult::eBadValue;
            }
            value = CommandLineArg(++index);
        }
        if (!TakeValue(settings, option, value, problem.cause))
            return EOptionResult::eBadValue;
    }
    return EOptionResult::eAccepted;
}

bool ApplySizeRules(RunSettings& settings) {
    if (settings.exportFormat && settings.exportFormat->kind == EExportKind::eHald) {
        if (settings.size == 0)
            settings.size = 64;
        return HaldLevelForSize(settings.size) >= 4 && HaldLevelForSize(settings.size) <= 12;
    }
    if (settings.exportFormat) {
        if (settings.size == 0)
            settings.size = 33;
        return settings.size >= 2 && settings.size <= 129;
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
    copy->outFolder = settings.outFolder;
    copy->workingFolder = settings.workingFolder;
    if (!PrepareCubrelBuffer(*copy))
        return nullptr;
    return copy;
}
