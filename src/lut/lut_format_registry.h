#pragma once

#include "lut/lut_formats.h"
#include "lut/lut_writers.h"

#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Every LUT format the program knows, each one entry of one table: how Load
// recognises and reads it (in which order, which inputs the tool takes as LUT
// files), how -to writes it (its file, what it holds, its size rule, its mark,
// its writer), and what the help says of it. A format read and written is one
// entry. Adding a format is its entry plus its reader or writer.

// How Load tells a format's files from the others.
enum class ELutRecognition : uint8_t {
    // The bytes decide: the format is tried when it has no probe or its probe
    // matches, and its reader may hand the file on (eNotRecognised).
    eByContents,
    // The extension alone chooses the format, and the verdict is final: the
    // format's reader of the bytes reads the file, or else OpenColorIO opens
    // it by path.
    eByExtension,
    // Tried once no format before it took the file, and only when the caller
    // of Load allows a fallback; a failure hands the file on.
    eAsLastResort,
    // Only written; Load never reads it as such.
    eNotRead,
};

// True when the first bytes of a file may be of the format.
using LutProbe = bool(const uint8_t* data, size_t size);

struct LutToWrite;
class ByteSink;
struct LutFormat;

// Appends the whole file to the sink (the writers of lut_writers.h); false
// when the format cannot hold the transform or the sink fails.
using LutWriter = bool(const LutFormat& format, const LutToWrite& lut, ByteSink& out);

// The sizes -to FORMAT takes: points per axis from minimum to maximum, or
// with `squareOfLevel` the squares of Hald levels in that range.
struct LutSizeRule {
    uint32_t defaultSize;
    uint32_t minimum, maximum;
    bool squareOfLevel;
    // What a size out of the rule says, "{name}" standing for the format's -to name.
    const char* invalidText;
};

inline constexpr LutSizeRule kPointsPerAxis = {
    33, 2, 129, false,
    "Invalid LUT size for {name} files. The size is the number of points per axis\n"
    "and the allowed range is 2 to 129."};
inline constexpr LutSizeRule kHaldLevels = {
    64, 16, 144, true,
    "Invalid size for Hald CLUTs. The size has to be the square of a level\n"
    "(e.g. 8*8=64) and the allowed range is 16 to 144."};

struct LutFormat {
    // As the help text shows it.
    std::string_view name;

    // ---- reading ----
    // With their dot, in lower case; compared in any letter case. An input
    // under one of them is a LUT file.
    std::span<const std::string_view> extensions = {};
    ELutRecognition recognition = ELutRecognition::eByContents;
    // Place in the recognition order, lowest first; no two formats share one.
    uint16_t order = 0;
    LutProbe* probe = nullptr;           // eByContents; none: the reader itself decides
    LutReader* read = nullptr;           // of the bytes: any recognition; none: another
                                         // format's reader takes its files by their contents
    NamedLutReader* readNamed = nullptr; // eByContents, for a reader that needs the file's name
    // By the path: eByExtension (after `read`, for a file it refuses) and eAsLastResort.
    LutPathReader* readPath = nullptr;
    // Read through OpenColorIO alone: a build without it does not read the format.
    bool readThroughOcio = false;
    // A text format: its reader starts after a UTF-8 byte-order mark.
    bool textAfterByteOrderMark = false;
    // A file lists colour corrections (ASC CDL) of which the first is read.
    bool listsCorrections = false;

    // ---- writing (-to) ----
    // As -to takes it, in any letter case; null for a format only read.
    const char* toName = nullptr;
    // Place in -to's list, lowest first.
    uint16_t toOrder = 0;
    const char* writtenExtension = nullptr; // of the file written
    const char* writtenAs = nullptr;        // "F" of the line "  F written successfully"
    bool holds1D = false;                   // a per-channel transform is written as a 1D table
    bool holds3D = false;                   // any other transform is written as a lattice
    // A lattice over another input range than 0 to 1 is written with that range.
    bool holdsInputRange = false;
    // A LUT file's 1D shaper is written before its lattice, rather than
    // applied into the lattice's values.
    bool holdsShaper = false;
    LutWriter* write = nullptr;
    // An ASC CDL, written from a look's grading rather than from a table.
    bool writesCdl = false;
    // The first bytes of every file of the format; null for text without a
    // fixed start.
    const char* signature = nullptr;
    // What every file of the format that this program writes holds in its
    // first kMarkWindow bytes, where the format has room for a note that
    // readers pass over (a comment line, a Description, a PNG text chunk);
    // empty where it has none. A run replaces an existing file only when it
    // has the signature and the mark (CarriesOurMark).
    std::string_view mark = {};
    // OpenColorIO writes it, as `ocio` says: a build without OpenColorIO cannot.
    bool throughOcio = false;
    OcioWriting ocio = {};
    // What the help says of the format after its -to name, in brackets; null for nothing.
    const char* helpNote = nullptr;
    LutSizeRule sizeRule = kPointsPerAxis;
};

// A format as -to writes it.
using ExportFormat = LutFormat;

// Every format of this build in recognition order. A build without
// OpenColorIO has none of the formats read through it.
std::span<const LutFormat> LutFormats();

// CVxLUT::Load, telling which format read the file: null when none did.
const LutFormat* LoadLutFile(CVxLUT& lut, const LutFiles& source, const CVxString& path,
                             bool upsampleToPowerOfTwo,
                             CVxLUT::EDimensionRequirement dimensionRequirement,
                             bool allowCurveFallback);

// The first format in recognition order that lists the file's extension (in
// any letter case); null when none does.
const LutFormat* LutFormatOfExtension(const CVxString& path);

// The format that lists the file's extension when no other does (".lut" is
// listed by several); null otherwise.
const LutFormat* OnlyFormatOfExtension(const CVxString& path);

// An input under a LUT format's extension is converted as a LUT file.
bool IsLutFile(const CVxString& path);

// True when the file's extension chooses a format that only OpenColorIO reads.
bool IsOcioLutFile(const CVxString& path);

// True when the file's extension chooses a format whose files list corrections.
bool ListsCorrections(const CVxString& path);

// Every format -to takes but cubrel, in the order the help lists them.
std::span<const ExportFormat> ExportFormats();

// The format of that -to name, or null.
const ExportFormat* FindExportFormat(const CVxString& name);

// The format's size rule's text, its name in it.
std::string SizeRuleText(const ExportFormat& format);
// Whether -size N fits the format's rule.
bool FitsSizeRule(const ExportFormat& format, uint32_t size);

// The files that a run writes besides LUTs and looks, which carry the same
// kind of mark: a -preview picture (NAME.preview.png) and a -report page.
const ExportFormat& PreviewPictureFormat();
const ExportFormat& ReportPageFormat();

// Where a written file's mark is looked for.
inline constexpr size_t kMarkWindow = 4096;
// Whether the first bytes of a file (at most kMarkWindow) are those of a file
// of the format that this program wrote: the format's signature and our mark.
bool CarriesOurMark(const ExportFormat& format, std::string_view head);
// The names -to takes, "cubrel" first, separated by ", ".
const char* ExportFormatNames();

// Entries of the 1D table written for a per-channel transform.
inline constexpr uint32_t kExport1DSize = 4096;
