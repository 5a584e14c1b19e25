// Builds that link OpenColorIO in, rather than loading it from its module,
// always have it.
#include "lut/ocio_reader.h"

std::string OcioUnavailableReason() {
    return std::string();
}
