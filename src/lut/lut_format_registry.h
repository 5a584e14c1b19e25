#pragma once

#include "lut/lut_formats.h"

#include "foundation/byte_sink.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Every LUT format the program knows, in one table: what Load tries and in
// which order, which inputs the tool takes as LUT files, and what its help
// lists. Adding a format is one entry here plus its reader.

// How Load tells a format's files from the others.
enum class ELutRecognition : uint8_t {
    // The bytes decide: the format is tried when it has no probe or its probe
    // matches, and its reader may hand the file on (eNotRecognised).
    eByContents,
    // The extension alone chooses the format; OpenColorIO opens the file by
    // path, and its verdict is final.
    eByExtension,
    // Tried by path once no format before it took the file, and only when the
    // caller of Load allows a fallback; a failure hands the file on.
    eAsLastResort,
};

// True when the first bytes of a file may be of the format.
using LutProbe = bool(const uint8_t* data, size_t size);

// A lattice handed to a writer: size³ nodes, red fastest, `channels` floats a
// node (3 or 4; a fourth is not written).
struct LutLatticeView {
    const float* nodes = nullptr;
    uint32_t size = 0;
    uint32_t channels = 3;
};
// Writes the lattice as a whole file of the format into `out`; false when the
// lattice cannot be written so or `out` failed.
using LutWriter = bool(const LutLatticeView& lattice, ByteSink& out);

struct LutFormat {
    // As the help text shows it.
    std::string_view name;
    // With their dot, in lower case; compared in any letter case. An input
    // under one of them is a LUT file.
    std::span<const std::string_view> extensions;
    ELutRecognition recognition = ELutRecognition::eByContents;
    // Place in the recognition order, lowest first; no two formats share one.
    uint16_t order = 0;
    LutProbe* probe = nullptr;         // eByContents; none: the reader itself decides
    LutReader* read = nullptr;         // eByContents
    NamedLutReader* readNamed = nullptr; // eByContents, for a reader that needs the file's name
    LutPathReader* readPath = nullptr; // eByExtension and eAsLastResort
    // A text format: its reader starts after a UTF-8 byte-order mark.
    bool textAfterByteOrderMark = false;
    // A file lists colour corrections (ASC CDL) of which the first is read.
    bool listsCorrections = false;
    // No format is written through the table yet.
    LutWriter* write = nullptr;
};

// Every format of this build in recognition order. A build without
// OpenColorIO has none of the formats read through it.
std::span<const LutFormat> LutFormats();

// The first format in recognition order that lists the file's extension (in
// any letter case); null when none does.
const LutFormat* LutFormatOfExtension(const CVxString& path);

// An input under a LUT format's extension is converted as a LUT file.
bool IsLutFile(const CVxString& path);

// True when the file's extension chooses a format that OpenColorIO reads.
bool IsOcioLutFile(const CVxString& path);

// True when the file's extension chooses a format whose files list corrections.
bool ListsCorrections(const CVxString& path);
