#include "tool/run_settings.h"

#include "lut/cubrel_writer.h"
#include "lut/lut.h"
#include "tool/command_line.h"

#include <new>

EOptionResult ParseOptions(RunSettings& settings, CVxString& offending) {
    const uint32_t count = CommandLineArgs().Count();
    for (uint32_t index = 2; index < count; ++index) {
        const CVxString argument = CommandLineArg(index);
        if (argument.EqualsNoCase("-size")) {
            if (index + 1 >= count || !CommandLineArg(index + 1).ToUInt32(settings.size))
                return EOptionResult::eBadValue;
            ++index;
        } else if (argument.EqualsNoCase("-jobs")) {
            if (index + 1 >= count || !CommandLineArg(index + 1).ToUInt32(settings.jobs) ||
                settings.jobs == 0)
                return EOptionResult::eBadValue;
            ++index;
        } else if (argument.EqualsNoCase("-strict")) {
            settings.strict = true;
        } else if (argument.EqualsNoCase("-cubrel")) {
            settings.cubrelMode = true;
        } else if (argument.EqualsNoCase("-noresampling")) {
            settings.resamplingAllowed = false;
        } else {
            offending = argument;
            return EOptionResult::eUnknownArgument;
        }
    }
    return EOptionResult::eAccepted;
}

bool ApplySizeRules(RunSettings& settings) {
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
    copy->resamplingAllowed = settings.resamplingAllowed;
    copy->size = settings.size;
    copy->jobs = settings.jobs;
    copy->strict = settings.strict;
    if (!PrepareCubrelBuffer(*copy))
        return nullptr;
    return copy;
}
