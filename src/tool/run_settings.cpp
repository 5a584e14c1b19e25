#include "tool/run_settings.h"

#include "lut/lut.h"
#include "tool/command_line.h"

EOptionResult ParseOptions(RunSettings& settings, CVxString& offending) {
    const uint32_t count = CommandLineArgs().Count();
    for (uint32_t index = 2; index < count; ++index) {
        const CVxString argument = CommandLineArg(index);
        if (argument.EqualsNoCase("-size")) {
            if (index + 1 >= count || !CommandLineArg(index + 1).ToUInt32(settings.size))
                return EOptionResult::eBadSize;
            ++index;
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
