#pragma once

// What the user asked quillvane-convert to do, read from its arguments.

#include "cli/line_breaks.h"
#include "convert/targets.h"
#include "querystring/generate.h"

#include <optional>
#include <string>

namespace quillvane {

enum class Mode { Convert, Query };

// --to: the text to convert and how, with the window's start values as defaults.
struct ConvertRequest {
    std::string languageCode; // a code of kConversionTargets
    ConversionFlags flags{.singleStatement = false, .preserveEmptyLines = true, .preserveTabs = true};
    bool force = false;      // convert even what does not look like text
    std::string input = "-"; // "-" is standard input
};

// --query: the fields and settings of the QueryString panel.
struct QueryRequest {
    std::string languageCode; // "ASP" or "PHPECHO", as the panel's language options set it
    std::string requestName;
    std::string newName;
    std::string defaultValue;
    SnippetOptions options;
};

struct CommandLine {
    Mode mode = Mode::Convert;
    ConvertRequest convert;
    QueryRequest query;
    std::optional<LineEnding> lineEnding; // none: follow the input
    std::string output = "-";             // "-" is standard output
};

// Fills `commandLine` from the arguments. Returns the exit status when the program
// has nothing more to do: 0 after --help or --version, 2 after a usage error, which
// it has reported on standard error in one line.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& commandLine);

} // namespace quillvane
