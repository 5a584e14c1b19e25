#pragma once

#include "render/look_to_lut.h"
#include "tool/file_report.h"

class CVxLUT;

// What the flows of file_flows.cpp and export_flow.cpp share.

// A 3D table without a pre-LUT that holds entries.
bool IsPlainLattice(const CVxLUT& lut);

// Says why a look did not render; running out of memory is an internal error
// like any failure without a cause of its own.
void ReportRenderFailure(FileReport& report, ERenderFailure failure);
