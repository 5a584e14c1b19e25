#pragma once

#include "foundation/vx_string.h"

#include <cstdint>

// The formats that -to names besides cubrel: what each file is called, what
// its success line calls it, and which transforms it holds.
enum class EExportKind : uint8_t {
    eCube,
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

struct ExportFormat {
    const char* name;      // as -to takes it, in any letter case
    const char* extension; // of the file written
    const char* writtenAs; // "F" of the line "  F written successfully"
    EExportKind kind;
    bool holds1D; // a per-channel transform is written as a 1D table
    bool holds3D; // any other transform is written as a lattice
};

// The format of that name, or null.
const ExportFormat* FindExportFormat(const CVxString& name);
// The names -to takes, "cubrel" first, separated by ", ".
const char* ExportFormatNames();

// Entries of the 1D table written for a per-channel transform.
inline constexpr uint32_t kExport1DSize = 4096;
