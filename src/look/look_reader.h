#pragma once

#include "foundation/vx_string.h"
#include "look/grading_params.h"
#include "look/shape_mask.h"

#include <cstdint>
#include <memory>
#include <string>

// Reads a look document into a freshly constructed grading. maskOut receives
// the look's shape mask (null when it has none or it cannot be used); sizeOut
// receives the stored 3D LUT size when the document names one (the caller
// sets it to 0 beforehand). False when the text is not a valid look; the
// grading may then hold partial content and the mask is null.
bool ReadLookText(CVxGradingParamStorage& grading, const CVxString& text,
                  std::unique_ptr<CVxShapeMask>& maskOut, uint32_t& sizeOut);

// As ReadLookText; on failure errorOut receives the reason with its line and
// column (a syntax error of the document or an error of the base).
bool ReadLookTextWithError(CVxGradingParamStorage& grading, const CVxString& text,
                           std::unique_ptr<CVxShapeMask>& maskOut, uint32_t& sizeOut,
                           CVxString& errorOut);

// Why a text that ReadLookText refuses is no look, in a few words: "empty
// file", "not a look or LUT file" for a text that does not open a tag, else
// "not a valid look: " and the reader's error with its line (line breaks
// become ", ").
std::string WhyNotALook(const CVxString& text);
