#include "tool/output_path.h"

#include "foundation/paths.h"
#include "lut/ocio_reader.h"
#include "tool/export_formats.h"

bool IsLutFileUnderOwnExtension(const CVxString& path) {
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    for (const char* known : {".cube", ".3dl", ".cub", ".itx"})
        if (extension.Compare(known, CVxString::ePath) == 0)
            return true;
    return IsOcioLutFile(path);
}

CVxString OutputPathFor(const CVxString& input, bool cubrelMode, const ExportFormat* format) {
    CVxString drive, folder, baseName, extension;
    SplitPath(input, &drive, &folder, &baseName, &extension);
    const char* written = format ? format->extension : cubrelMode ? ".lut" : ".look";
    if (extension.Compare(written, CVxString::ePath) == 0)
        return input;
    CVxString output;
    MakePath(output, drive, folder, baseName, CVxString(written));
    return output;
}
