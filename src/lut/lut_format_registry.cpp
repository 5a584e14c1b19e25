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
constexpr std::string_view kCubeExtensions[] = {".cube"};
constexpr std::string_view kItxExtensions[] = {".itx"};
constexpr std::string_view kTruelightExtensions[] = {".cub"};
constexpr std::string_view kMeshExtensions[] = {".3dl"};
constexpr std::string_view kImageworks1dExtensions[] = {".spi1d"};
constexpr std::string_view kImageworks3dExtensions[] = {".spi3d"};
constexpr std::string_view kClfExtensions[] = {".clf"};
constexpr std::string_view kCtfExtensions[] = {".ctf"};
constexpr std::string_view kCdlExtensions[] = {".cc", ".ccc", ".cdl"};
constexpr std::string_view kCinespaceExtensions[] = {".csp"};
constexpr std::string_view kImageworksMatrixExtensions[] = {".spimtx"};
constexpr std::string_view kPandoraExtensions[] = {".mga", ".m3d"};
constexpr std::string_view kNukeExtensions[] = {".vf"};

// What OpenColorIO makes of a file that a reader of an extension refuses;
// without it, nothing.
#if GRADESHIFT_WITH_OCIO
constexpr LutPathReader* kOcioFallback = ReadOcioLut;
constexpr LutPathReader* kOcioReader = ReadOcioLut;
constexpr LutPathReader* kOcioLastResort = ReadUnrecognisedLutThroughOcio;
#else
constexpr LutPathReader* kOcioFallback = nullptr;
constexpr LutPathReader* kOcioReader = nullptr;
constexpr LutPathReader* kOcioLastResort = nullptr;
#endif

bool WriteCube(const LutFormat&, const LutToWrite& lut, ByteSink& out) {
    return WriteCubeLut(lut, out);
}

bool WriteResolveCube(const LutFormat&, const LutToWrite& lut, ByteSink& out) {
    return WriteResolveCubeLut(lut, out);
}

bool WriteSpi1d(const LutFormat&, const LutToWrite& lut, ByteSink& out) {
    return WriteSpi1dLut(lut, out);
}

bool WriteSpi3d(const LutFormat&, const LutToWrite& lut, ByteSink& out) {
    return WriteSpi3dLut(lut, out);
}

bool WriteThroughOcio(const LutFormat& format, const LutToWrite& lut, ByteSink& out) {
    return WriteOcioLut(format.ocio, lut, out);
}

bool WriteHald(const LutFormat&, const LutToWrite& lut, ByteSink& out) {
    return WriteHaldClut(lut.table, out);
}

// The marks of the formats' own notes (see lut_writers.h); in a PNG file, a
// text chunk ("tEXt", then keyword, NUL and text).
constexpr std::string_view kCommentMark = "# Written by Gradeshift\n";
constexpr std::string_view kDescriptionMark = "<Description>Written by Gradeshift</Description>";
constexpr std::string_view kMetadataMark = "BEGIN METADATA\nWritten by Gradeshift\n";
constexpr std::string_view kPngTextMark{"tEXtSoftware\0Gradeshift", 23};
constexpr std::string_view kHtmlMark = "<meta name=\"generator\" content=\"Gradeshift\">";

constexpr const char* kPngSignature = "\x89PNG\r\n\x1a\n";
// How the XML documents we write begin.
constexpr const char* kProcessListStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList ";
constexpr const char* kCorrectionStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorCorrection ";

using enum ELutRecognition;
using enum EOcioNote;

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
              .readPath = kOcioFallback,
              .toName = "spi1d",
              .toOrder = 10,
              .writtenExtension = ".spi1d",
              .writtenAs = "spi1d LUT",
              .holds1D = true,
              .write = WriteSpi1d,
              .signature = "Version",
              // The format has no comments: no place for a note.
              .mark = {}},
    LutFormat{.name = "Imageworks 3D",
              .extensions = kImageworks3dExtensions,
              .recognition = eByExtension,
              .order = 105,
              .read = ReadSpi3dLut,
              .readPath = kOcioFallback,
              .toName = "spi3d",
              .toOrder = 9,
              .writtenExtension = ".spi3d",
              .writtenAs = "spi3d LUT",
              .holds3D = true,
              .write = WriteSpi3d,
              .signature = "SPILUT",
              .mark = {}},
    LutFormat{.name = "CLF process list",
              .extensions = kClfExtensions,
              .recognition = eByExtension,
              .order = 110,
              .readPath = kOcioReader,
              .readThroughOcio = true,
              .toName = "clf",
              .toOrder = 4,
              .writtenExtension = ".clf",
              .writtenAs = "CLF LUT",
              .holds1D = true,
              .holds3D = true,
              .holdsInputRange = true,
              .holdsShaper = true,
              .write = WriteThroughOcio,
              .signature = kProcessListStart,
              .mark = kDescriptionMark,
              .throughOcio = true,
              .ocio = {.processListFormat = "Academy/ASC Common LUT Format", .note = eDescription}},
    LutFormat{.name = "CTF process list",
              .extensions = kCtfExtensions,
              .recognition = eByExtension,
              .order = 111,
              .readPath = kOcioReader,
              .readThroughOcio = true,
              .toName = "ctf",
              .toOrder = 5,
              .writtenExtension = ".ctf",
              .writtenAs = "CTF LUT",
              .holds1D = true,
              .holds3D = true,
              .holdsInputRange = true,
              .holdsShaper = true,
              .write = WriteThroughOcio,
              .signature = kProcessListStart,
              .mark = kDescriptionMark,
              .throughOcio = true,
              .ocio = {.processListFormat = "Color Transform Format", .note = eDescription}},
    LutFormat{.name = "ASC CDL",
              .extensions = kCdlExtensions,
              .recognition = eByExtension,
              .order = 120,
              .readPath = kOcioReader,
              .readThroughOcio = true,
              .listsCorrections = true,
              .toName = "cc",
              .toOrder = 11,
              .writtenExtension = ".cc",
              .writtenAs = "ASC CDL",
              .writesCdl = true,
              .signature = kCorrectionStart,
              .mark = kDescriptionMark,
              .helpNote = "ASC CDL of a per-channel look"},
    LutFormat{.name = "cinespace",
              .extensions = kCinespaceExtensions,
              .recognition = eByExtension,
              .order = 130,
              .readPath = kOcioReader,
              .readThroughOcio = true,
              .toName = "csp",
              .toOrder = 6,
              .writtenExtension = ".csp",
              .writtenAs = "cinespace LUT",
              .holds3D = true,
              .write = WriteThroughOcio,
              .signature = "CSPLUTV100",
              .mark = kMetadataMark,
              .throughOcio = true,
              .ocio = {.bakerFormat = "cinespace", .note = eMetadata},
              .helpNote = "cinespace"},
    LutFormat{.name = "Imageworks matrix",
              .extensions = kImageworksMatrixExtensions,
              .recognition = eByExtension,
              .order = 140,
              .readPath = kOcioReader,
              .readThroughOcio = true},
    LutFormat{.name = "Pandora",
              .extensions = kPandoraExtensions,
              .recognition = eByExtension,
              .order = 150,
              .readPath = kOcioReader,
              .readThroughOcio = true},
    LutFormat{.name = "Nuke",
              .extensions = kNukeExtensions,
              .recognition = eByExtension,
              .order = 160,
              .readPath = kOcioReader,
              .readThroughOcio = true},
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
              .textAfterByteOrderMark = true,
              .toName = "cube",
              .toOrder = 1,
              .writtenExtension = ".cube",
              .writtenAs = "cube LUT",
              .holds3D = true,
              .holdsInputRange = true,
              .write = WriteCube,
              .mark = kCommentMark},
    // The cube reader takes itx files by their contents.
    LutFormat{.name = "itx",
              .extensions = kItxExtensions,
              .order = 510,
              .toName = "itx",
              .toOrder = 8,
              .writtenExtension = ".itx",
              .writtenAs = "itx LUT",
              .holds3D = true,
              .write = WriteThroughOcio,
              .mark = kCommentMark,
              .throughOcio = true,
              .ocio = {.bakerFormat = "iridas_itx", .note = eFirstLine}},
    LutFormat{.name = "Truelight",
              .extensions = kTruelightExtensions,
              .order = 600,
              .read = ReadTruelightLut,
              .textAfterByteOrderMark = true,
              .toName = "cub",
              .toOrder = 7,
              .writtenExtension = ".cub",
              .writtenAs = "Truelight LUT",
              .holds3D = true,
              .write = WriteThroughOcio,
              .signature = "# Truelight Cube",
              .mark = kCommentMark,
              .throughOcio = true,
              .ocio = {.bakerFormat = "truelight", .note = eSecondLine},
              .helpNote = "Truelight"},
    LutFormat{.name = "3DL mesh",
              .extensions = kMeshExtensions,
              .order = 700,
              .read = Read3dlLut,
              .textAfterByteOrderMark = true,
              .toName = "3dl",
              .toOrder = 3,
              .writtenExtension = ".3dl",
              .writtenAs = "3DL LUT",
              .holds3D = true,
              .write = WriteThroughOcio,
              .mark = kCommentMark,
              .throughOcio = true,
              .ocio = {.bakerFormat = "flame", .note = eFirstLine}},
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
    // What OpenColorIO reads of a .lut that nothing before took: Houdini LUTs,
    // and Discreet tables of other lengths.
    LutFormat{.name = "Houdini and others, by OpenColorIO",
              .extensions = kLutExtensions,
              .recognition = eAsLastResort,
              .order = 900,
              .readPath = kOcioLastResort,
              .readThroughOcio = true},
    LutFormat{.name = "Resolve cube",
              .recognition = eNotRead,
              .order = 1000,
              .toName = "resolve-cube",
              .toOrder = 2,
              .writtenExtension = ".cube",
              .writtenAs = "Resolve cube LUT",
              .holds1D = true,
              .holds3D = true,
              .holdsInputRange = true,
              .holdsShaper = true,
              .write = WriteResolveCube,
              .mark = kCommentMark},
    LutFormat{.name = "Hald CLUT",
              .recognition = eNotRead,
              .order = 1010,
              .toName = "hald",
              .toOrder = 12,
              .writtenExtension = ".png",
              .writtenAs = "Hald CLUT",
              .holds3D = true,
              .write = WriteHald,
              .signature = kPngSignature,
              .mark = kPngTextMark,
              .helpNote = "16-bit Hald CLUT .png",
              .sizeRule = kHaldLevels},
};

// Whether this build reads the format.
constexpr bool IsRead(const LutFormat& format) {
    return format.recognition != eNotRead && (GRADESHIFT_WITH_OCIO || !format.readThroughOcio);
}

template <typename Keep, typename Before> constexpr auto Sorted(Keep keep, Before before) {
    constexpr size_t count = [] {
        size_t kept = 0;
        for (const LutFormat& format : kFormatTable)
            kept += Keep{}(format) ? 1 : 0;
        return kept;
    }();
    std::array<LutFormat, count> sorted{};
    size_t next = 0;
    for (const LutFormat& format : kFormatTable)
        if (keep(format))
            sorted[next++] = format;
    std::sort(sorted.begin(), sorted.end(), before);
    return sorted;
}

struct IsReadFormat {
    constexpr bool operator()(const LutFormat& format) const { return IsRead(format); }
};
struct IsWrittenFormat {
    constexpr bool operator()(const LutFormat& format) const { return format.toName != nullptr; }
};

// The formats read, in recognition order; the formats written, in -to's order.
constexpr auto kFormats = Sorted(
    IsReadFormat{}, [](const LutFormat& a, const LutFormat& b) { return a.order < b.order; });
constexpr auto kWrittenFormats =
    Sorted(IsWrittenFormat{},
           [](const LutFormat& a, const LutFormat& b) { return a.toOrder < b.toOrder; });

constexpr bool OrdersAreDistinct() {
    for (size_t i = 1; i < kFormats.size(); ++i)
        if (kFormats[i - 1].order == kFormats[i].order)
            return false;
    for (size_t i = 1; i < kWrittenFormats.size(); ++i)
        if (kWrittenFormats[i - 1].toOrder == kWrittenFormats[i].toOrder)
            return false;
    return true;
}
static_assert(OrdersAreDistinct(), "two LUT formats share a place in an order");

constexpr LutFormat kPreviewPicture{.name = "preview picture",
                                    .recognition = eNotRead,
                                    .writtenExtension = ".preview.png",
                                    .writtenAs = "Preview",
                                    .signature = kPngSignature,
                                    .mark = kPngTextMark};
constexpr LutFormat kReportPage{.name = "report page",
                                .recognition = eNotRead,
                                .writtenExtension = ".html",
                                .writtenAs = "Report",
                                .signature = "<!DOCTYPE html>",
                                .mark = kHtmlMark};

bool ListsExtension(const LutFormat& format, std::string_view extension) {
    return std::any_of(
        format.extensions.begin(), format.extensions.end(),
        [extension](std::string_view known) { return ascii::EqualsNoCase(extension, known); });
}

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

const LutFormat* OnlyFormatOfExtension(const CVxString& path) {
    const LutFormat* first = LutFormatOfExtension(path);
    if (!first)
        return nullptr;
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    const std::string_view text(extension.c_str(), extension.Length());
    for (const LutFormat& format : kFormats)
        if (&format != first && ListsExtension(format, text))
            return nullptr;
    return first;
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
        if (name.EqualsNoCase(format.toName))
            return &format;
    return nullptr;
}

std::string SizeRuleText(const ExportFormat& format) {
    std::string text = format.sizeRule.invalidText;
    const size_t name = text.find("{name}");
    if (name != std::string::npos)
        text.replace(name, 6, format.toName);
    return text;
}

bool FitsSizeRule(const ExportFormat& format, uint32_t size) {
    const LutSizeRule& rule = format.sizeRule;
    if (size < rule.minimum || size > rule.maximum)
        return false;
    if (!rule.squareOfLevel)
        return true;
    for (uint32_t level = 2; level * level <= size; ++level)
        if (level * level == size)
            return true;
    return false;
}

const ExportFormat& PreviewPictureFormat() {
    return kPreviewPicture;
}

const ExportFormat& ReportPageFormat() {
    return kReportPage;
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
            list += std::string(", ") + format.toName;
        return list;
    }();
    return names.c_str();
}
