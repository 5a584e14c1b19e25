#include "lut/lut_format_registry.h"

#include "lut/ocio_reader.h"

#include "foundation/paths.h"
#include "platform/ascii.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

bool HasVxtxMagic(const uint8_t* data, size_t size) {
    return size > 16 && (std::memcmp(data, "VXTX", 4) == 0 || std::memcmp(data, "VTX2", 4) == 0);
}

// A file of 808 bytes or fewer cannot hold a Cubrel header and lattice.
bool IsCubrelFile(const uint8_t* data, size_t size) {
    return size > 808 && HasCubrelMagic(data, size);
}

constexpr std::string_view kLutExtensions[] = {".lut"};
constexpr std::string_view kCubeExtensions[] = {".cube", ".itx"};
constexpr std::string_view kTruelightExtensions[] = {".cub"};
constexpr std::string_view kMeshExtensions[] = {".3dl"};
#if GRADESHIFT_WITH_OCIO
constexpr std::string_view kProcessListExtensions[] = {".clf", ".ctf"};
constexpr std::string_view kCdlExtensions[] = {".cc", ".ccc", ".cdl"};
constexpr std::string_view kCinespaceExtensions[] = {".csp"};
constexpr std::string_view kImageworksExtensions[] = {".spi1d", ".spi3d", ".spimtx"};
constexpr std::string_view kPandoraExtensions[] = {".mga", ".m3d"};
constexpr std::string_view kNukeExtensions[] = {".vf"};
#endif

using enum ELutRecognition;

// The table in any order; the orders sort it. OpenColorIO's formats come first:
// their extension decides before any bytes are read. The text readers follow
// the binary ones, which recognise their files by a few bytes at the start.
constexpr std::array kFormatTable = {
#if GRADESHIFT_WITH_OCIO
    LutFormat{.name = "CLF and CTF process lists",
              .extensions = kProcessListExtensions,
              .recognition = eByExtension,
              .order = 110,
              .readPath = ReadOcioLut},
    LutFormat{.name = "ASC CDL",
              .extensions = kCdlExtensions,
              .recognition = eByExtension,
              .order = 120,
              .readPath = ReadOcioLut,
              .listsCorrections = true},
    LutFormat{.name = "cinespace",
              .extensions = kCinespaceExtensions,
              .recognition = eByExtension,
              .order = 130,
              .readPath = ReadOcioLut},
    LutFormat{.name = "Imageworks 1D, 3D and matrix",
              .extensions = kImageworksExtensions,
              .recognition = eByExtension,
              .order = 140,
              .readPath = ReadOcioLut},
    LutFormat{.name = "Pandora",
              .extensions = kPandoraExtensions,
              .recognition = eByExtension,
              .order = 150,
              .readPath = ReadOcioLut},
    LutFormat{.name = "Nuke",
              .extensions = kNukeExtensions,
              .recognition = eByExtension,
              .order = 160,
              .readPath = ReadOcioLut},
#endif
    LutFormat{.name = "VXTX and VTX2 containers",
              .extensions = kLutExtensions,
              .order = 200,
              .probe = HasVxtxMagic,
              .read = ReadVxtxLut},
    LutFormat{.name = "Cubrel",
              .extensions = kLutExtensions,
              .order = 300,
              .probe = IsCubrelFile,
              .read = ReadCubrelLut},
    // A look read as a LUT file gives its stored LUT; an input look stays a
    // look, so the format lists no extension.
    LutFormat{.name = "LUT stored in a look",
              .extensions = {},
              .order = 400,
              .probe = LooksLikeLookDocument,
              .read = ReadLookLut},
    LutFormat{.name = "cube",
              .extensions = kCubeExtensions,
              .order = 500,
              .read = ReadCubeLut,
              .textAfterByteOrderMark = true},
    LutFormat{.name = "Truelight",
              .extensions = kTruelightExtensions,
              .order = 600,
              .read = ReadTruelightLut,
              .textAfterByteOrderMark = true},
    LutFormat{.name = "3DL mesh",
              .extensions = kMeshExtensions,
              .order = 700,
              .read = Read3dlLut,
              .textAfterByteOrderMark = true},
    LutFormat{.name = "Discreet 1D",
              .extensions = kLutExtensions,
              .order = 750,
              .readNamed = ReadDiscreet1dLut,
              .textAfterByteOrderMark = true},
    LutFormat{.name = "curve set",
              .extensions = kLutExtensions,
              .recognition = eAsLastResort,
              .order = 800,
              .readPath = ReadCurveSetLut},
#if GRADESHIFT_WITH_OCIO
    // What OpenColorIO reads of a .lut that nothing before took: Houdini LUTs,
    // and Discreet tables of other lengths.
    LutFormat{.name = "Houdini and others, by OpenColorIO",
              .extensions = kLutExtensions,
              .recognition = eAsLastResort,
              .order = 900,
              .readPath = ReadUnrecognisedLutThroughOcio},
#endif
};

constexpr auto kFormats = [] {
    auto formats = kFormatTable;
    std::sort(formats.begin(), formats.end(),
              [](const LutFormat& a, const LutFormat& b) { return a.order < b.order; });
    return formats;
}();

constexpr bool OrdersAreDistinct() {
    for (size_t i = 1; i < kFormats.size(); ++i)
        if (kFormats[i - 1].order == kFormats[i].order)
            return false;
    return true;
}
static_assert(OrdersAreDistinct(), "two LUT formats share a place in the recognition order");

bool ListsExtension(const LutFormat& format, std::string_view extension) {
    return std::any_of(
        format.extensions.begin(), format.extensions.end(),
        [extension](std::string_view known) { return ascii::EqualsNoCase(extension, known); });
}

constexpr ExportFormat kWrittenFormats[] = {
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

std::span<const LutFormat> LutFormats() {
    return kFormats;
}

const LutFormat* LutFormatOfExtension(const CVxString& path) {
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    const std::string_view text(extension.c_str(), extension.Length());
    if (text.empty())
        return nullptr;
    for (const LutFormat& format : kFormats)
        if (ListsExtension(format, text))
            return &format;
    return nullptr;
}

bool IsLutFile(const CVxString& path) {
    return LutFormatOfExtension(path) != nullptr;
}

bool IsOcioLutFile(const CVxString& path) {
    const LutFormat* format = LutFormatOfExtension(path);
    return format && format->recognition == ELutRecognition::eByExtension;
}

bool ListsCorrections(const CVxString& path) {
    const LutFormat* format = LutFormatOfExtension(path);
    return format && format->listsCorrections;
}

const ExportFormat* FindExportFormat(const CVxString& name) {
    for (const ExportFormat& format : kWrittenFormats)
        if (name.EqualsNoCase(format.name))
            return &format;
    return nullptr;
}

const char* ExportFormatNames() {
    static const std::string names = [] {
        std::string list = "cubrel";
        for (const ExportFormat& format : kWrittenFormats)
            list += std::string(", ") + format.name;
        return list;
    }();
    return names.c_str();
}
