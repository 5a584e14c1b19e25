#pragma once

#include "lut/lut.h"
#include "lut/lut_files.h"

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// LUT and colour-correction files that OpenColorIO reads and our own readers
// do not: CLF and CTF process lists, ASC CDL files, cinespace, the Imageworks
// formats, Pandora and Nuke files. The format registry lists them with their
// extensions, which select this reader. A build without OpenColorIO reads none
// of them. Nothing here prints, reads a configuration from the environment or
// lets an exception escape. Files convert at once on any number of threads:
// OpenColorIO guards its own caches, and a transform, once open, is only read.

// Forgets every file that OpenColorIO has read. OpenColorIO keeps each file it
// parses, by its real path, until this is called, so that a file read twice
// (to note its corrections, then by Load) is parsed once. The tool calls it
// once, before the first file of a run and while no file is open, so that the
// run reads the files as they are on disk when it starts.
void ClearOcioCaches();

// Why this run cannot read or write OpenColorIO's formats, as a cause to
// report: empty when it can. OpenColorIO is loaded on first use, from a
// module of its own beside the program; asking loads it.
std::string OcioUnavailableReason();

// One file's colour transform, read once and applied as often as needed.
class OcioFileTransform {
public:
    OcioFileTransform();
    ~OcioFileTransform();
    OcioFileTransform(const OcioFileTransform&) = delete;
    OcioFileTransform& operator=(const OcioFileTransform&) = delete;

    // Reads the file at a framework path, which OpenColorIO opens by its
    // system path, and builds its processor. False, holding nothing, when
    // OpenColorIO cannot read it.
    bool Open(FileAccess& files, const CVxString& path);
    // Why the last Open failed, in OpenColorIO's words ("At line 5: ..."); empty
    // when it did not, or OpenColorIO gave no reason.
    const std::string& Failure() const { return m_failure; }

    // A CDL collection (.ccc, .cdl) may hold several corrections; only the
    // first is applied. The number of corrections in the file (1 for every
    // other format) and the id of the one applied (empty when it has none).
    uint32_t CorrectionCount() const;
    const std::string& CorrectionId() const;

    // Transforms `count` packed RGB float triples in place.
    bool Apply(float* rgb, size_t count) const;
    // Writes the transform of every node of an n-point lattice (node i of an
    // axis is i / (n - 1)) as n³ RGB float triples, red fastest, blue slowest.
    bool ApplyToLattice(uint32_t n, float* rgb) const;

    // Fills the LUT with the transform: a 1D table when no channel affects
    // another; otherwise a lattice, after a 1D pre-LUT when the transform
    // begins with steps that act on each channel alone. `powerOfTwo` asks
    // for a lattice of a power-of-two size. A requirement that excludes the
    // dimensionality fails. On failure the LUT is empty with no pre-LUT.
    bool FillLut(CVxLUT& lut, bool powerOfTwo, CVxLUT::EDimensionRequirement requirement) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_failure;
};

// Load's reader for these files: Open, then FillLut.
bool ReadOcioLut(CVxLUT& lut, const LutFiles& source, const CVxString& path, bool upsample,
                 CVxLUT::EDimensionRequirement requirement);
