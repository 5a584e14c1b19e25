#pragma once

#include "tool/flow_context.h"

#include <functional>

class ByteSink;
class CVxLUT;
class OcioFileTransform;
struct LutToWrite;
struct ParsedLook;

// -to FORMAT: each look or LUT file's transform, in the format's own file.
class ExportFlow final : public FlowContext {
public:
    using FlowContext::FlowContext;

private:
    void Convert(const FilePaths& paths, bool isLutFile) override;
    // An existing file at the output is replaced only when it is of the format
    // and carries the mark of this program; false, having said why, otherwise.
    bool MayReplaceExisting(const FilePaths& paths) override;
    // False, having said so, when this build cannot write the format.
    bool MayWriteAtAll() override;

    // A look: ExportCdl for an ASC CDL, else ExportRendered.
    void ExportLook(const FilePaths& paths, ParsedLook& look);
    void ExportRendered(const FilePaths& paths, ParsedLook& look);
    void ExportOneDimensionalLut(const FilePaths& paths, const CVxLUT& lut);
    // The LUT at the nodes of a lattice of the run's size over [low, high].
    void ExportEvaluated(const FilePaths& paths, const CVxLUT& lut, float low, float high);
    // A lattice over another input range than 0 to 1, or behind a shaper, in
    // a format that keeps the range; false when it is not such a case.
    bool ExportWithInputRange(const FilePaths& paths, CVxLUT& lut);
    void ExportStoredLut(const FilePaths& paths);
    void ExportCdl(const FilePaths& paths, ParsedLook& look);
    void ExportLutFile(const FilePaths& paths);
    // Applies an OpenColorIO file at the nodes; false, having said nothing,
    // when the file cannot be read that way.
    bool ExportThroughOcio(const FilePaths& paths);
    void ExportLattice(const FilePaths& paths, const float* nodes, uint32_t channels,
                       uint32_t size);
    void ExportTransform(const FilePaths& paths, const LutToWrite& lut);
    void WriteExport(const FilePaths& paths, const std::function<bool(ByteSink&)>& write);
};
