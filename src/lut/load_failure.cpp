#include "lut/load_failure.h"

#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"

std::string WhyReadFileIsNotALut(FileAccess& files, const CVxString& path) {
    // A format that OpenColorIO reads has its reasons for refusing a file.
    if (IsOcioLutFile(path)) {
        OcioFileTransform transform;
        if (!transform.Open(files, path) && !transform.Failure().empty())
            return transform.Failure();
    }
    // No reader took a file under the extension of one format alone: a
    // damaged or misnamed file of that format, which is more use to say.
    if (const LutFormat* format = OnlyFormatOfExtension(path))
        return "not a valid " + std::string(format->name) + " file";
    return "not a look or LUT file";
}

std::string WhyNotALutFile(FileAccess& files, const CVxString& path) {
    uint8_t first = 0;
    if (const FileStatus read = files.ReadHead(path, &first, 1); !read)
        return read.cause;
    return WhyReadFileIsNotALut(files, path);
}
