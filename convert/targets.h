#pragma once

// The six conversion targets, read both by the target selection and by the
// conversion command, and the command's logic.

#include "convert/target_records.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quillvane {

struct ConversionFlags {
    bool singleStatement = false;
    bool preserveEmptyLines = false;
    bool preserveTabs = false;
    bool exact = false; // print every character exactly; the window never asks for it
};

// Every converter, called alike; the ASP one ignores the keyword.
using ConverterFunction = std::string (*)(std::string text, const std::string& keyword, bool singleStatement,
                                          bool preserveEmptyLines, bool preserveTabs);

struct ConversionTarget {
    std::string_view optionCaption;
    std::string_view languageCode;
    std::string_view outputLabel;
    ConverterFunction convert;
    std::string_view printKeyword; // empty for ASP, which takes none
    Target engine;                 // the converter's record, for the exact mode
};

// Indexed like the "Convert to" options.
extern const std::array<ConversionTarget, 6> kConversionTargets;

// The first target whose language code equals `languageCode` exactly, or nullptr.
const ConversionTarget* FindConversionTarget(std::string_view languageCode);

// The conversion command: the converted text, or nothing when the language code
// names no target (the output then stays as it was).
std::optional<std::string> ConvertForLanguage(std::string_view languageCode, std::string text,
                                              const ConversionFlags& flags);

} // namespace quillvane
