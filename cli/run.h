#pragma once

#include "cli/command_line.h"

namespace quillvane {

// Carries out a parsed command line and returns the exit status: 0 done, 1 when a
// file could not be read or written (reported in one line on standard error, and
// nothing partial left in an output file).
int Run(const CommandLine& commandLine);

} // namespace quillvane
