#include "lut/ocio_quiet.h"

#include <OpenColorIO/OpenColorIO.h>

#include <mutex>

namespace OCIO = OCIO_NAMESPACE;

namespace {

std::mutex g_mutex;
unsigned g_scopes = 0;
OCIO::LoggingLevel g_hostLevel = OCIO::LOGGING_LEVEL_DEFAULT;

} // namespace

OcioQuietScope::OcioQuietScope() {
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_scopes++ == 0) {
        g_hostLevel = OCIO::GetLoggingLevel();
        OCIO::SetLoggingLevel(OCIO::LOGGING_LEVEL_NONE);
    }
}

OcioQuietScope::~OcioQuietScope() {
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_scopes == 0)
        OCIO::SetLoggingLevel(g_hostLevel);
}
