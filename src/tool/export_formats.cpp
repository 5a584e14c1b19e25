#include "tool/export_formats.h"

namespace {

constexpr ExportFormat kFormats[] = {
    {"cube", ".cube", "cube LUT", EExportKind::eCube, true, true},
    {"3dl", ".3dl", "3DL LUT", EExportKind::e3dl, false, true},
    {"clf", ".clf", "CLF LUT", EExportKind::eClf, true, true},
    {"ctf", ".ctf", "CTF LUT", EExportKind::eCtf, true, true},
    {"csp", ".csp", "cinespace LUT", EExportKind::eCinespace, false, true},
    {"cub", ".cub", "Truelight LUT", EExportKind::eTruelight, false, true},
    {"itx", ".itx", "itx LUT", EExportKind::eItx, false, true},
    {"spi3d", ".spi3d", "spi3d LUT", EExportKind::eSpi3d, false, true},
    {"spi1d", ".spi1d", "spi1d LUT", EExportKind::eSpi1d, true, false},
    {"cc", ".cc", "ASC CDL", EExportKind::eCdl, false, false},
    {"hald", ".png", "Hald CLUT", EExportKind::eHald, false, true},
};

} // namespace

const ExportFormat* FindExportFormat(const CVxString& name) {
    for (const ExportFormat& format : kFormats)
        if (name.EqualsNoCase(format.name))
            return &format;
    return nullptr;
}

const char* ExportFormatNames() {
    return "cubrel, cube, 3dl, clf, ctf, csp, cub, itx, spi3d, spi1d, cc, hald";
}
