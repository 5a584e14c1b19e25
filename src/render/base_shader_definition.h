#pragma once

#include "foundation/vx_string.h"

// The definition of the base grading shaders (VEXLAN.Base.1 and its second
// pass VEXLAN.Base.2), built into the program. The text is put together once
// per process and kept; the form with the script is the one rendering uses.
const CVxString& BaseShaderDefinitionText(bool withScript);

// True for names beginning with "VEXLAN.Base." in any letter case.
bool IsBaseShaderName(const CVxString& shaderName);
