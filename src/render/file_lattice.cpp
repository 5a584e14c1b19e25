#include "render/file_lattice.h"

#include "foundation/paths.h"
#include "look/look_reader.h"
#include "look/look_writer.h"
#include "look/parsed_look.h"
#include "lut/lattice_evaluation.h"
#include "lut/load_failure.h"
#include "lut/lut.h"
#include "lut/lut_format_registry.h"
#include "lut/ocio_reader.h"
#include "render/look_character.h"
#include "render/render_environment.h"
#include "render/shader_registry.h"

#include <algorithm>
#include <new>

namespace {

FileLattice Failure(std::string failure, std::string cause = {}) {
    FileLattice failed;
    failed.failure = std::move(failure);
    failed.cause = std::move(cause);
    return failed;
}

FileLattice Values(std::unique_ptr<float[]> rgb) {
    FileLattice values;
    values.rgb = std::move(rgb);
    return values;
}

FileLattice RenderLook(const RenderEnvironment& render, const ParsedLook& look,
                       const CVxString& folder, uint32_t n) {
    CVxSoftwareCompositingEngine engine(render);
    const RenderedLattice lattice =
        RenderLattice(engine, look.grading, LatticeRequest{.size = n, .lookFolder = folder});
    if (!lattice.nodes) {
        FileLattice failed = Failure(RenderFailureCause(lattice.failure));
        failed.renderFailure = lattice.failure;
        failed.fallbackReasons =
            RenderFailureCauses(lattice.failure, look.grading, render.shaders, render.luts, folder);
        return failed;
    }
    const size_t count = size_t{n} * n * n * 3;
    std::unique_ptr<float[]> rgb(new (std::nothrow) float[count]);
    if (!rgb)
        return Failure(RenderFailureCause(ERenderFailure::eOutOfMemory));
    std::copy(lattice.nodes.get(), lattice.nodes.get() + count, rgb.get());
    return Values(std::move(rgb));
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
    return Values(std::move(rgb));
}

FileLattice LutFileLattice(const LutFiles& luts, const CVxString& path, uint32_t n) {
    if (IsOcioLutFile(path))
        if (std::unique_ptr<float[]> rgb = OcioLattice(luts.files, path, n))
            return Values(std::move(rgb));
    CVxLUT lut;
    if (!lut.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true))
        return Failure("Error loading LUT", WhyNotALutFile(luts.files, path));
    return EvaluatedLattice(lut, n);
}

} // namespace

bool IsUnitLattice(const CVxLUT& lut) {
    return lut.m_is3D && lut.m_preLUT == nullptr && lut.m_size > 0 && lut.m_data != nullptr &&
           lut.HasUnitDomain();
}

FileLattice LatticeOfFile(const RenderEnvironment& render, const CVxString& path, uint32_t n) {
    const LutFiles& luts = render.luts;
    if (IsLutFile(path))
        return LutFileLattice(luts, path, n);
    CVxString text;
    if (const FileStatus read = ReadTextFile(luts.files, path, text); !read)
        return Failure("Error reading file", read.cause);
    const std::unique_ptr<ParsedLook> look = ReadLook(text);
    if (!look)
        return Failure("Not a valid .look file", WhyNotALook(text));
    FileLattice rendered = RenderLook(render, *look, FolderOf(path), n);
    if (rendered.rgb || rendered.renderFailure == ERenderFailure::eStopped)
        return rendered;
    // As Cubrel mode does, a look that does not render gives its stored LUT.
    CVxLUT stored;
    stored.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true);
    if (!stored.m_is3D || stored.m_preLUT || stored.m_size == 0)
        return rendered;
    FileLattice evaluated = EvaluatedLattice(stored, n);
    if (!evaluated.rgb)
        return rendered;
    evaluated.fallbackReasons = std::move(rendered.fallbackReasons);
    evaluated.renderFailure = rendered.renderFailure;
    return evaluated;
}
