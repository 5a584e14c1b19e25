#pragma once

#include "foundation/vx_string.h"

struct ExportFormat;

// A LUT file that another tool writes under an extension of its own (.cube,
// .3dl, the formats read through OpenColorIO, ...). It converts as a .lut does.
bool IsLutFileUnderOwnExtension(const CVxString& path);

// The one file that converting `input` writes: in Cubrel mode a .lut input
// itself and NAME.lut beside any other input; in rebuild mode a .look input
// itself and NAME.look beside any other input. An input is written back to its
// own path exactly; a derived name is taken as the platform resolves it (an
// existing file whose name differs only in letter case is that file), and a
// write through a symbolic link lands on the file it names. With an export
// format, NAME.EXT beside any input under the format's extension: the input
// itself when it has that extension, which the export refuses to replace.
CVxString OutputPathFor(const CVxString& input, bool cubrelMode,
                        const ExportFormat* format = nullptr);
