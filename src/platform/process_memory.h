#pragma once

namespace platform {

// Keeps the memory a file's conversion frees for the next file instead of handing
// it back to the system: blocks up to 32 MB (a look's text, its lattices) come from
// the heap, and the heap is not trimmed. Otherwise every file faults in its working
// set afresh, which costs more than reading and rendering it. Larger blocks are
// still mapped and unmapped one by one, so the peak stays that of the largest file.
void KeepFreedMemoryForReuse();

} // namespace platform
