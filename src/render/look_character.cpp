#include "render/look_character.h"

#include "look/grading_params.h"
#include "look/look_writer.h"
#include "look/shader_param.h"
#include "lut/lut.h"
#include "render/shader_registry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The CDL is checked against the look's render at this many points of a ramp.
constexpr uint32_t kCdlCheckSize = 33;

// The CDL as the ASC defines it: slope and offset, clamped to [0, 1], then power.
double CdlChannel(double x, double slope, double offset, double power) {
    const double graded = std::clamp(x * slope + offset, 0.0, 1.0);
    return std::pow(graded, power);
}

// Why the ramp that the look renders is not the CDL's, when it differs from it
// by more than one 10-bit code anywhere; null when the CDL holds the look.
// Values the CDL clamps are the usual cause and are named as such.
const char* CdlMismatch(const CdlValues& cdl, const float* ramp) {
    const char* why = nullptr;
    for (uint32_t i = 0; i < kCdlCheckSize; ++i) {
        const double x = static_cast<double>(i) / (kCdlCheckSize - 1);
        for (int c = 0; c < 3; ++c) {
            const double rendered = ramp[i * 3 + c];
            const double expected = CdlChannel(x, cdl.slope[c], cdl.offset[c], cdl.power[c]);
            if (std::fabs(rendered - expected) * 1023.0 <= 1.0)
                continue;
            if (rendered > 1.0 && expected >= 1.0)
                return "values above 1 would be clipped";
            if (rendered < 0.0 && expected <= 0.0)
                return "values below 0 would be clipped";
            why = kCdlRenderDiffers;
        }
    }
    return why;
}

// Adds a name to a list of names for a cause, once.
void AppendName(std::string& names, const char* name) {
    const std::string quoted = name;
    if (names == quoted || names.starts_with(quoted + ", ") || names.ends_with(", " + quoted) ||
        names.find(", " + quoted + ", ") != std::string::npos)
        return;
    names += names.empty() ? quoted : ", " + quoted;
}

} // namespace

std::vector<const CVxShaderParamStorage*> LayersOf(const CVxGradingParamStorage& grading) {
    std::vector<const CVxShaderParamStorage*> layers;
    for (uint32_t index = 0; index < grading.ArrayCount(); ++index)
        layers.push_back(grading.ArrayLayer(index));
    for (uint32_t k = 0; k < grading.BaseSublayerCount(); ++k)
        layers.push_back(grading.BaseSublayer(k));
    return layers;
}

const char* RenderFailureCause(ERenderFailure failure) {
    switch (failure) {
    case ERenderFailure::eShaderMissing:
        return "Failed to load one or more shaders used in the look";
    case ERenderFailure::eLutMissing:
        return "One or more of the LUTs used in the look are missing";
    case ERenderFailure::eStopped:
        return "Rendering was stopped";
    default:
        return "Internal error while rendering LUT";
    }
}

std::vector<std::string> RenderFailureCauses(ERenderFailure failure,
                                             const CVxGradingParamStorage& grading,
                                             const CVxShaderRegistry& shaders, const LutFiles& luts,
                                             const CVxString& lookFolder) {
    const std::vector<const CVxShaderParamStorage*> layers = LayersOf(grading);
    if (failure == ERenderFailure::eShaderMissing) {
        std::string names;
        for (const CVxShaderParamStorage* layer : layers)
            if (layer && !layer->Name().IsEmpty() && !shaders.Find(layer->Name()))
                AppendName(names, layer->Name().c_str());
        return {names.empty() ? "a shader that the look uses cannot be loaded"
                              : "shader not installed: " + names};
    }
    if (failure == ERenderFailure::eStopped)
        return {"the render was stopped"};
    if (failure != ERenderFailure::eLutMissing)
        return {failure == ERenderFailure::eOutOfMemory ? "out of memory" : "the render failed"};
    std::string missing, unloadable;
    for (const CVxShaderParamStorage* layer : layers)
        for (uint32_t index = 0; layer && index < layer->ParamCount(); ++index) {
            const CVxShaderParam* param = layer->GetParam(index);
            if (!NamesLutFile(param->Name) || param->Value.IsEmpty())
                continue;
            const CVxString resolved =
                luts.Resolve(param->Value, CVxString(), ELutNameOrder::eIndexFirst, lookFolder);
            AppendName(FileExists(luts.files, resolved) ? unloadable : missing,
                       param->Value.c_str());
        }
    std::vector<std::string> causes;
    if (!missing.empty())
        causes.push_back("LUT file not found: " + missing);
    if (!unloadable.empty())
        causes.push_back("LUT file cannot be loaded: " + unloadable);
    if (causes.empty())
        causes.push_back("a LUT file that the look uses is missing");
    return causes;
}

bool ActsOnEachChannel(const CVxGradingParamStorage& grading, const LutFiles& luts,
                       const CVxString& lookFolder) {
    std::vector<CVxString> lutFiles;
    if (!grading.IsPerChannelBesideLutFiles(lutFiles))
        return false;
    for (const CVxString& name : lutFiles) {
        CVxLUT lut;
        const CVxString path =
            luts.Resolve(name, CVxString(), ELutNameOrder::eIndexFirst, lookFolder);
        if (!lut.Load(luts, path, false, CVxLUT::EDimensionRequirement::eAnyDimension, true) ||
            lut.IsEmpty() || lut.m_is3D)
            return false;
    }
    return true;
}

LookChannels DescribeLookChannels(CVxSoftwareCompositingEngine& engine,
                                  const CVxGradingParamStorage& grading, const LutFiles& luts,
                                  const CVxString& lookFolder) {
    LookChannels channels;
    channels.perChannel = ActsOnEachChannel(grading, luts, lookFolder);
    CdlValues cdl;
    if (!grading.IsPerChannelOnly(false) ||
        !ExtractCdl(grading, cdl.slope, cdl.offset, cdl.power)) {
        // A look that does not render (a shader not installed) is no CDL for
        // that reason, not for what its channels do: a lattice of 2 points says.
        const RenderedLattice corners =
            RenderLattice(engine, grading, LatticeRequest{.size = 2, .lookFolder = lookFolder});
        if (!corners.nodes)
            channels.renderFailure = corners.failure;
        else
            channels.cdlRefusal = "the look's channels affect each other";
        return channels;
    }
    const RenderedLattice ramp = RenderLattice(
        engine, grading,
        LatticeRequest{.size = kCdlCheckSize, .is3D = kLatticeRamp, .lookFolder = lookFolder});
    if (!ramp.nodes) {
        channels.renderFailure = ramp.failure;
        return channels;
    }
    channels.cdlRefusal = CdlMismatch(cdl, ramp.nodes.get());
    if (!channels.cdlRefusal)
        channels.cdl = cdl;
    return channels;
}
