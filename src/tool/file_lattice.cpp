#include "tool/file_lattice.h"

#include "foundation/paths.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/lattice_evaluation.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "render/render_environment.h"
#include "tool/output_path.h"

#include <algorithm>
#include <new>

namespace {

FileLattice Failure(std::string cause) {
    return FileLattice{nullptr, std::move(cause)};
}

FileLattice RenderLookText(const RunEnvironment& environment, LutFiles& luts, const CVxString& text,
                           const CVxString& folder, uint32_t n) {
    const std::unique_ptr<ParsedLook> look = ReadLook(text);
    if (!look)
        return Failure("Not a valid .look file");
    CVxSoftwareCompositingEngine engine(RenderEnvironment{environment.Shaders(), luts});
    const RenderedLattice lattice =
        RenderLattice(engine, look->grading, LatticeRequest{.size = n, .lookFolder = folder});
    if (!lattice.nodes)
        return Failure(RenderFailureCause(lattice.failure));
    const size_t count = size_t{n} * n * n * 3;
    std::unique_ptr<float[]> rgb(new (std::nothrow) float[count]);
    if (!rgb)
        return Failure(RenderFailureCause(ERenderFailure::eOutOfMemory));
    std::copy(lattice.nodes.get(), lattice.nodes.get() + count, rgb.get());
    return FileLattice{std::move(rgb), {}};
}

// Null when OpenColorIO cannot read the file.
std::unique_ptr<float[]> OcioLattice(FileAccess& files, const CVxString& path, uint32_t n) {
    OcioFileTransform transform;
    std::unique_ptr<float[]> rgb(new (std::nothrow) float[size_t{n} * n * n * 3]);
    if (!rgb || !transform.Open(files, path) || !transform.ApplyToLattice(n, rgb.get()))
        return nullptr;
    return rgb;
}

// The LUT at the nodes, as tools apply it (EvaluateAtLattice).
FileLattice EvaluatedLattice(const CVxLUT& lut, uint32_t n) {
    std::unique_ptr<float[]> rgb(new (std::nothrow) float[size_t{n} * n * n * 3]);
    if (!rgb)
        return Failure(RenderFailureCause(ERenderFailure::eOutOfMemory));
    if (!EvaluateAtLattice(lut, n, 0.0f, 1.0f, rgb.get()))
        return Failure("Error loading LUT");
    return FileLattice{std::move(rgb), {}};
}

FileLattice LutFileLattice(LutFiles& luts, const CVxString& path, uint32_t n) {
    if (IsOcioLutFile(path))
        if (std::unique_ptr<float[]> rgb = OcioLattice(luts.files, path, n))
            return FileLattice{std::move(rgb), {}};
    CVxLUT lut;
    if (!lut.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true))
        return Failure("Error loading LUT");
    return EvaluatedLattice(lut, n);
}

} // namespace

bool IsUnitLattice(const CVxLUT& lut) {
    return lut.m_is3D && lut.m_preLUT == nullptr && lut.m_size > 0 && lut.m_data != nullptr &&
           lut.HasUnitDomain();
}

const char* RenderFailureCause(ERenderFailure failure) {
    switch (failure) {
    case ERenderFailure::eShaderMissing:
        return "Failed to load one or more shaders used in the look";
    case ERenderFailure::eLutMissing:
        return "One or more of the LUTs used in the look are missing";
    default:
        return "Internal error while rendering LUT";
    }
}

FileLattice LatticeOfFile(const RunEnvironment& environment, FileAccess& files,
                          const CVxString& path, uint32_t n) {
    LutFiles luts{files, environment.LutFolders(), environment.AlwaysUpsample()};
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    if (extension.Compare(".lut", CVxString::ePath) == 0 || IsLutFileUnderOwnExtension(path))
        return LutFileLattice(luts, path, n);
    CVxString text;
    if (!ReadTextFile(files, path, text))
        return Failure("Error reading file");
    FileLattice rendered = RenderLookText(environment, luts, text, FolderOf(path), n);
    if (rendered.rgb || !ReadLook(text))
        return rendered;
    // As Cubrel mode does, a look that does not render gives its stored LUT.
    CVxLUT stored;
    stored.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true);
    if (!stored.m_is3D || stored.m_preLUT || stored.m_size == 0)
        return rendered;
    FileLattice evaluated = EvaluatedLattice(stored, n);
    if (!evaluated.rgb)
        return rendered;
    return evaluated;
}
