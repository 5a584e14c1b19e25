#pragma once

#include "foundation/vx_string.h"
#include "lut/lut_files.h"
#include "lut/lut_writers.h"
#include "render/look_to_lut.h"

#include <optional>
#include <string>
#include <vector>

class CVxGradingParamStorage;
class CVxShaderParamStorage;
class CVxSoftwareCompositingEngine;

// Whether a look acts on each channel alone and which ASC CDL holds it, decided
// here for every use: -to (1D tables, -to cc), and what Python's read_look
// reports. The grading's own rule (CVxGradingParamStorage::IsPerChannelOnly
// and ExtractCdl, which a rebuilt look bakes its 1D LUT and CDL by) is the
// start of both answers.
struct LookChannels {
    // The grading acts on each channel alone, and so does every LUT file that
    // it names (the looks that rebuild mode makes around a 1D LUT file).
    bool perChannel = false;
    // The CDL of the grading, when it holds the look's render within one
    // 10-bit code at every point of a grey ramp.
    std::optional<CdlValues> cdl;
    // Why there is no CDL ("the look's channels affect each other", "values
    // above 1 would be clipped", ...); null when there is one, or when the
    // ramp did not render (see renderFailure).
    const char* cdlRefusal = nullptr;
    // The ramp's render failed; the CDL is then unknown.
    ERenderFailure renderFailure = ERenderFailure::eNone;
};

// Whether the look acts on each channel alone; LUT files it names are
// resolved through `luts`, looked for last in `lookFolder`.
bool ActsOnEachChannel(const CVxGradingParamStorage& grading, const LutFiles& luts,
                       const CVxString& lookFolder);

// The channels of a look, the CDL checked against a ramp that the engine renders.
LookChannels DescribeLookChannels(CVxSoftwareCompositingEngine& engine,
                                  const CVxGradingParamStorage& grading, const LutFiles& luts,
                                  const CVxString& lookFolder);

class CVxShaderRegistry;

// Why a look did not render, in a few words each: the shaders not installed,
// or the LUT files not found and those that do not load (each kind one
// cause), or "out of memory", or "the render failed".
std::vector<std::string> RenderFailureCauses(ERenderFailure failure,
                                             const CVxGradingParamStorage& grading,
                                             const CVxShaderRegistry& shaders, const LutFiles& luts,
                                             const CVxString& lookFolder);

// Why a look did not render, as a file's messages say it under "Error while
// rendering LUT:" or alone.
const char* RenderFailureCause(ERenderFailure failure);

// Every layer of a grading: the array's, then the base's sublayers.
std::vector<const CVxShaderParamStorage*> LayersOf(const CVxGradingParamStorage& grading);

// The refusal that says that the render differs from the CDL in ways other than clipping.
inline constexpr const char* kCdlRenderDiffers =
    "its render differs from the CDL by more than 1 code";
