#include "lut/lut_format_registry.h"

#include "lut/lut_writers.h"
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
constexpr std::string_view kImageworks1dExtensions[] = {".spi1d"};
constexpr std::string_view kImageworks3dExtensions[] = {".spi3d"};

// What OpenColorIO makes of a file that a reader of an extension refuses;
// without it, nothing.
#if GRADESHIFT_WITH_OCIO
constexpr LutPathReader* kOcioFallback = ReadOcioLut;
#else
constexpr LutPathReader* kOcioFallback = nullptr;
#endif
#if GRADESHIFT_WITH_OCIO
constexpr std::string_view kProcessListExtensions[] = {".clf", ".ctf"};
constexpr std::string_view kCdlExtensions[] = {".cc", ".ccc", ".cdl"};
constexpr std::string_view kCinespaceExtensions[] = {".csp"};
constexpr std::string_view kImageworksMatrixExtensions[] = {".spimtx"};
constexpr std::string_view kPandoraExtensions[] = {".mga", ".m3d"};
constexpr std::string_view kNukeExtensions[] = {".vf"};
#endif

using enum ELutRecognition;

// The table in any order; the orders sort it. The formats chosen by their
// extension come first, as it decides before any bytes are read: our own
// readers, then OpenColorIO's. The text readers follow the binary ones, which
// recognise their files by a few bytes at the start.
constexpr std::array kFormatTable = {
    LutFormat{.name = "Imageworks 1D",
              .extensions = kImageworks1dExtensions,
              .recognition = eByExtension,
              .order = 100,
              .read = ReadSpi1dLut,
              .readPath = kOcioFallback},
    LutFormat{.name = "Imageworks 3D",
              .extensions = kImageworks3dExtensions,
              .recognition = eByExtension,
              .order = 105,
              .read = ReadSpi3dLut,
              .readPath = kOcioFallback},
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
    LutFormat{.name = "Imageworks matrix",
              .extensions = kImageworksMatrixExtensions,
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
              .read = ReadCurveSetLut},
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

template <EOcioWriteFormat kFormat> bool WriteThroughOcio(const LutToWrite& lut, ByteSink& out) {
    return WriteOcioLut(kFormat, lut, out);
}

bool WriteHald(const LutToWrite& lut, ByteSink& out) {
    return WriteHaldClut(lut.table, out);
}

// The marks of the formats' own notes (see lut_writers.h); in a PNG file, a
// text chunk ("tEXt", then keyword, NUL and text).
constexpr std::string_view kCommentMark = "# Written by Gradeshift\n";
constexpr std::string_view kDescriptionMark = "<Description>Written by Gradeshift</Description>";
constexpr std::string_view kMetadataMark = "BEGIN METADATA\nWritten by Gradeshift\n";
constexpr std::string_view kPngTextMark{"tEXtSoftware\0Gradeshift", 23};

// How the XML documents we write begin.
constexpr const char* kProcessListStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList ";
constexpr const char* kCorrectionStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorCorrection ";

constexpr ExportFormat kWrittenFormats[] = {
    {.name = "cube",
     .extension = ".cube",
     .writtenAs = "cube LUT",
     .kind = EExportKind::eCube,
     .holds3D = true,
     .holdsInputRange = true,
     .write = WriteCubeLut,
     .mark = kCommentMark},
    {.name = "resolve-cube",
     .extension = ".cube",
     .writtenAs = "Resolve cube LUT",
     .kind = EExportKind::eResolveCube,
     .holds1D = true,
     .holds3D = true,
     .holdsInputRange = true,
     .holdsShaper = true,
     .write = WriteResolveCubeLut,
     .mark = kCommentMark},
    {.name = "3dl",
     .extension = ".3dl",
     .writtenAs = "3DL LUT",
     .kind = EExportKind::e3dl,
     .holds3D = true,
     .write = WriteThroughOcio<EOcioWriteFormat::e3dl>,
     .mark = kCommentMark,
     .throughOcio = true},
    {.name = "clf",
     .extension = ".clf",
     .writtenAs = "CLF LUT",
     .kind = EExportKind::eClf,
     .holds1D = true,
     .holds3D = true,
     .holdsInputRange = true,
     .holdsShaper = true,
     .write = WriteThroughOcio<EOcioWriteFormat::eClf>,
     .signature = kProcessListStart,
     .mark = kDescriptionMark,
     .throughOcio = true},
    {.name = "ctf",
     .extension = ".ctf",
     .writtenAs = "CTF LUT",
     .kind = EExportKind::eCtf,
     .holds1D = true,
     .holds3D = true,
     .holdsInputRange = true,
     .holdsShaper = true,
     .write = WriteThroughOcio<EOcioWriteFormat::eCtf>,
     .signature = kProcessListStart,
     .mark = kDescriptionMark,
     .throughOcio = true},
    {.name = "csp",
     .extension = ".csp",
     .writtenAs = "cinespace LUT",
     .kind = EExportKind::eCinespace,
     .holds3D = true,
     .write = WriteThroughOcio<EOcioWriteFormat::eCinespace>,
     .signature = "CSPLUTV100",
     .mark = kMetadataMark,
     .throughOcio = true,
     .helpNote = "cinespace"},
    {.name = "cub",
     .extension = ".cub",
     .writtenAs = "Truelight LUT",
     .kind = EExportKind::eTruelight,
     .holds3D = true,
     .write = WriteThroughOcio<EOcioWriteFormat::eTruelight>,
     .signature = "# Truelight Cube",
     .mark = kCommentMark,
     .throughOcio = true,
     .helpNote = "Truelight"},
    {.name = "itx",
     .extension = ".itx",
     .writtenAs = "itx LUT",
     .kind = EExportKind::eItx,
     .holds3D = true,
     .write = WriteThroughOcio<EOcioWriteFormat::eItx>,
     .mark = kCommentMark,
     .throughOcio = true},
    {.name = "spi3d",
     .extension = ".spi3d",
     .writtenAs = "spi3d LUT",
     .kind = EExportKind::eSpi3d,
     .holds3D = true,
     .write = WriteSpi3dLut,
     .signature = "SPILUT",
     // The format has no comments: no place for a note.
     .mark = {}},
    {.name = "spi1d",
     .extension = ".spi1d",
     .writtenAs = "spi1d LUT",
     .kind = EExportKind::eSpi1d,
     .holds1D = true,
     .write = WriteSpi1dLut,
     .signature = "Version",
     // The format has no comments: no place for a note.
     .mark = {}},
    {.name = "cc",
     .extension = ".cc",
     .writtenAs = "ASC CDL",
     .kind = EExportKind::eCdl,
     .signature = kCorrectionStart,
     .mark = kDescriptionMark,
     .helpNote = "ASC CDL of a per-channel look"},
    {.name = "hald",
     .extension = ".png",
     .writtenAs = "Hald CLUT",
     .kind = EExportKind::eHald,
     .holds3D = true,
     .write = WriteHald,
     .signature = "\x89PNG\r\n\x1a\n",
     .mark = kPngTextMark,
     .helpNote = "16-bit Hald CLUT .png"},
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
    return format && format->recognition == ELutRecognition::eByExtension && !format->read;
}

bool ListsCorrections(const CVxString& path) {
    const LutFormat* format = LutFormatOfExtension(path);
    return format && format->listsCorrections;
}

std::span<const ExportFormat> ExportFormats() {
    return kWrittenFormats;
}

const ExportFormat* FindExportFormat(const CVxString& name) {
    for (const ExportFormat& format : kWrittenFormats)
        if (name.EqualsNoCase(format.name))
            return &format;
    return nullptr;
}

bool CarriesOurMark(const ExportFormat& format, std::string_view head) {
    head = head.substr(0, kMarkWindow);
    return !format.mark.empty() &&
           (format.signature == nullptr || head.starts_with(format.signature)) &&
           head.find(format.mark) != std::string_view::npos;
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
