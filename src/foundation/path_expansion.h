#pragma once

#include "foundation/vx_string.h"

// Expands a path setting: every "%0Nd" frame-number placeholder (N from 1 to 15)
// becomes "#"; with slashesToBackslashes every slash becomes a backslash; then each
// "%NAME%" is replaced by that environment variable (empty when unset) and a "%"
// without a partner is dropped. Values holding references are expanded too, each
// variable once, so that a variable referring to itself cannot loop.
void ExpandPath(CVxString& path, bool slashesToBackslashes);
