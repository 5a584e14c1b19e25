#pragma once

// Runs the whole program: start-up checks, options, then every input file.
// Returns the process exit code: 1 for any start-up failure, else 0.
int RunGradeshift(int argc, const char* const* argv);
