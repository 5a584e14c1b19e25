#pragma once

#include "render/look_to_lut.h"
#include "tool/file_report.h"

class CVxLUT;

// What the flows of file_flows.cpp and export_flow.cpp share.

// What a refusal of an output tells people they can do instead.
inline constexpr const char* kOutFolderHint = "-out DIR writes elsewhere";
inline constexpr const char* kOverwriteHint = "-out DIR writes elsewhere; -overwrite replaces it";

// A 3D table without a pre-LUT that holds entries.
bool IsPlainLattice(const CVxLUT& lut);

// Says why a look did not render; running out of memory is an internal error
// like any failure without a cause of its own.
void ReportRenderFailure(FileReport& report, ERenderFailure failure);
