#include "tool/run_settings.h"

#include "lut/lut.h"
#include "platform/ascii.h"
#include "tool/command_line.h"

#include <cerrno>
#include <cstdlib>

bool ParseSizeValue(const CVxString& text, uint32_t& size) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long magnitude = std::strtoull(start, &end, 10);
    if (end == start || *end != '\0')
        return false;
    const char* digits = start;
    while (ascii::IsCSpace(*digits))
        ++digits;
    const bool negative = *digits == '-';
    // strtoull already negated a leading minus; undo that to see the magnitude.
    const unsigned long long absolute = negative ? 0ull - magnitude : magnitude;
    if (errno == ERANGE || absolute > 0xFFFFFFFFull) {
        size = 0xFFFFFFFFu;
        return true;
    }
    const uint32_t value = static_cast<uint32_t>(absolute);
    size = negative ? 0u - value : value;
    return true;
}

EOptionResult ParseOptions(RunSettings& settings, CVxString& offending) {
    const uint32_t count = CommandLineArgs().Count();
    for (uint32_t index = 2; index < count; ++index) {
        const CVxString argument = CommandLineArg(index);
        if (argument.EqualsNoCase("-size")) {
            if (index + 1 >= count || !ParseSizeValue(CommandLineArg(index + 1), settings.size))
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
