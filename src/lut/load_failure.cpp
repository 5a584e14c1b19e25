#include "lut/load_failure.h"

#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"

#include <cerrno>
#include <cstring>

std::string WhyNotALutFile(FileAccess& files, const CVxString& path) {
    uint8_t first = 0;
    if (!files.ReadHead(path, &first, 1))
        return FileExists(files, path) ? "empty file" : std::strerror(ENOENT);
    // A format that OpenColorIO reads has its reasons for refusing a file.
    if (IsOcioLutFile(path)) {
        OcioFileTransform transform;
        if (!transform.Open(files, path) && !transform.Failure().empty())
            return transform.Failure();
    }
    return "not a look or LUT file";
}
