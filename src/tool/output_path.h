#pragma once

#include "foundation/file_access.h"
#include "foundation/vx_string.h"

#include <cstddef>
#include <string>
#include <vector>

struct LutFormat;
using ExportFormat = LutFormat;
struct RunSettings;

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

// True when the outputs of `input` go beside it: no output folder is given
// (`outFolder` empty), or it is the input's own folder, however written.
bool WritesBesideInput(FileAccess& files, const CVxString& input, const CVxString& outFolder);

// What converting `input` writes when the outputs go into `outFolder`: the
// name it would have beside the input, in that folder; beside the input as
// above when `beside` (WritesBesideInput).
CVxString OutputPathFor(bool beside, const CVxString& input, bool cubrelMode,
                        const CVxString& outFolder, const ExportFormat* format = nullptr);

// Readies the output folder of a run, when one is given: it must be there and
// take new files, else why not; a relative input is then named in a look by
// its absolute path, from the working folder of now. Done when the run may go on.
FileStatus UseOutputFolder(FileAccess& files, RunSettings& settings);

// Where the outputs of a run's inputs go, and which input writes each.
struct OutputPlan {
    // For each input, the input whose conversion writes the same file and goes
    // first, when this one must not write it; the input's own index otherwise.
    // Where outputs go into an output folder, the first input in order writes.
    // Beside the inputs, a LUT file under another extension gives way to a
    // .look or .lut input (or any other input that the look flows read)
    // whatever the order, and to an earlier LUT file under another extension;
    // the flows of .look and .lut inputs replace what they replace, as they
    // always did. Every name an export format writes is one we chose: the
    // first input in order writes it.
    std::vector<size_t> owners;
    // For each input, the identity of the file it writes (FileAccess::Identity).
    std::vector<std::string> written;
};

OutputPlan PlanOutputs(FileAccess& files, const std::vector<CVxString>& inputs, bool cubrelMode,
                       const CVxString& outFolder, const ExportFormat* format = nullptr);
