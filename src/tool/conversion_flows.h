#pragma once

#include "tool/flow_context.h"

class CVxLUT;
struct ParsedLook;

// Rebuild mode and Cubrel mode: a look rebuilt in place or rendered into a
// Cubrel LUT, a LUT file wrapped into a look or converted into a Cubrel LUT.
class ConversionFlows final : public FlowContext {
public:
    using FlowContext::FlowContext;

private:
    void Convert(const FilePaths& paths, bool isLutFile) override;
    // A LUT file under another extension writes a name that we chose: only over
    // a Cubrel LUT (Cubrel mode) or a look made for the same file (rebuild
    // mode). A .look or .lut input replaces what it always did.
    bool MayReplaceExisting(const FilePaths& paths) override;

    void ConvertLutDirectly(const FilePaths& paths);
    // The input's first four bytes, from the bytes its read gave, or read alone
    // when it is too large for any LUT reader; false, having said why, when it
    // has fewer or cannot be read.
    bool ReadMagic(const CVxString& path, const FileStatus& read, const CVxString& bytes,
                   uint8_t* magic);
    // Applies an OpenColorIO file at the Cubrel nodes; false, having said
    // nothing, when the file cannot be read that way.
    bool ConvertThroughOcio(const FilePaths& paths);
    void WrapLutAsLook(const FilePaths& paths);
    void HandleLook(const FilePaths& paths, ParsedLook& look);
    void RebuildLook(const FilePaths& paths, ParsedLook& look);
    void RenderLookToCubrel(const FilePaths& paths, ParsedLook& look);
    void ConvertStoredLut(const FilePaths& paths);
    // Writes the lattice as a Cubrel file at the run's size, resampling it first when
    // allowed; the messages are the calling flow's own.
    void WriteAtRunSize(CVxLUT& lut, const char* refusedMessage, const char* resamplingMessage,
                        const CVxString& path);
    // Resamples the lattice to the run's size where it has another, saying
    // so, or refuses to under -noresampling; false when it did not reach it.
    bool FitToRunSize(CVxLUT& lut, const char* refusedMessage, const char* resamplingMessage);
    // Resamples to the run's size; false when the lattice did not reach it.
    bool ResampleToRunSize(CVxLUT& lut);
    void WriteCubrel(const float* lattice, uint32_t channels, const CVxString& path);
};
