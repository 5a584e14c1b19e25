#pragma once

#include "lut/lut_formats.h"

#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Every LUT format the program knows: one table of the formats read (what
// Load tries and in which order, which inputs the tool takes as LUT files,
// what its help lists) and one of the formats written (what -to takes).
// Adding a format is one entry plus its reader or writer.

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
};

// True when the first bytes of a file may be of the format.
using LutProbe = bool(const uint8_t* data, size_t size);

struct LutFormat {
    // As the help text shows it.
    std::string_view name;
    // With their dot, in lower case; compared in any letter case. An input
    // under one of them is a LUT file.
    std::span<const std::string_view> extensions;
    ELutRecognition recognition = ELutRecognition::eByContents;
    // Place in the recognition order, lowest first; no two formats share one.
    uint16_t order = 0;
    LutProbe* probe = nullptr;           // eByContents; none: the reader itself decides
    LutReader* read = nullptr;           // of the bytes: any recognition
    NamedLutReader* readNamed = nullptr; // eByContents, for a reader that needs the file's name
    // By the path: eByExtension (after `read`, for a file it refuses) and eAsLastResort.
    LutPathReader* readPath = nullptr;
    // A text format: its reader starts after a UTF-8 byte-order mark.
    bool textAfterByteOrderMark = false;
    // A file lists colour corrections (ASC CDL) of which the first is read.
    bool listsCorrections = false;
};

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

// An input under a LUT format's extension is converted as a LUT file.
bool IsLutFile(const CVxString& path);

// True when the file's extension chooses a format that only OpenColorIO reads.
bool IsOcioLutFile(const CVxString& path);

// True when the file's extension chooses a format whose files list corrections.
bool ListsCorrections(const CVxString& path);

// The formats the program writes besides its own (Cubrel LUTs and looks), by
// the name -to takes: what each file is called, what its success line calls
// it, and which transforms it holds. The writers are in lut_writers.h.
enum class EExportKind : uint8_t {
    eCube,
    eResolveCube,
    e3dl,
    eClf,
    eCtf,
    eCinespace,
    eTruelight,
    eItx,
    eSpi3d,
    eSpi1d,
    eCdl,
    eHald,
};

struct LutToWrite;
class ByteSink;

// Appends the whole file to the sink (the writers of lut_writers.h); false
// when the format cannot hold the transform or the sink fails.
using LutWriter = bool(const LutToWrite& lut, ByteSink& out);

struct ExportFormat {
    const char* name;      // as -to takes it, in any letter case
    const char* extension; // of the file written
    const char* writtenAs; // "F" of the line "  F written successfully"
    EExportKind kind;
    bool holds1D = false; // a per-channel transform is written as a 1D table
    bool holds3D = false; // any other transform is written as a lattice
    // A lattice over another input range than 0 to 1 is written with that range.
    bool holdsInputRange = false;
    // A LUT file's 1D shaper is written before its lattice, rather than
    // applied into the lattice's values.
    bool holdsShaper = false;
    // Null for the ASC CDL, which is written from a look's grading.
    LutWriter* write = nullptr;
    // The first bytes of every file of the format; null for text without a
    // fixed start.
    const char* signature = nullptr;
    // What every file of the format that this program writes holds in its
    // first kMarkWindow bytes, where the format has room for a note that
    // readers pass over (a comment line, a Description, a PNG text chunk);
    // empty where it has none. A run replaces an existing file only when it
    // has the signature and the mark (CarriesOurMark).
    std::string_view mark;
    // OpenColorIO writes it: a build without OpenColorIO cannot.
    bool throughOcio = false;
    // What the help says of the format after its name, in brackets; null for nothing.
    const char* helpNote = nullptr;
};

// Every format -to takes but cubrel, in the order the help lists them.
std::span<const ExportFormat> ExportFormats();

// The format of that name, or null.
const ExportFormat* FindExportFormat(const CVxString& name);

// Where a written file's mark is looked for.
inline constexpr size_t kMarkWindow = 4096;
// Whether the first bytes of a file (at most kMarkWindow) are those of a file
// of the format that this program wrote: the format's signature and our mark.
bool CarriesOurMark(const ExportFormat& format, std::string_view head);
// The names -to takes, "cubrel" first, separated by ", ".
const char* ExportFormatNames();

// Entries of the 1D table written for a per-channel transform.
inline constexpr uint32_t kExport1DSize = 4096;
