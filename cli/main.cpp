// quillvane-convert: the converters and the request-variable snippets as a
// command-line filter, for editors and scripts.

#include "cli/command_line.h"
#include "cli/run.h"

#include <csignal>

int main(int argc, char** argv) {
    // A reader that goes away is a failed write, reported like any other, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    quillvane::CommandLine commandLine;
    if (const std::optional<int> status = quillvane::ParseCommandLine(argc, argv, commandLine))
        return *status;
    return quillvane::Run(commandLine);
}
