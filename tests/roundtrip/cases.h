#pragma once

// Generated inputs for the round trips, what the generated code must print for
// them, and the comparison of that with what the interpreter printed.

#include "tests/convert/lines.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillvane::roundtrip {

using testing::Visible;

// Text made of lines separated by CR LF, drawn from single characters and whole
// tokens (tags, code blocks) that the target's string syntax takes literally.
class InputGenerator {
public:
    InputGenerator(std::uint32_t seed, std::string_view characters, std::vector<std::string> tokens);

    // Up to six lines, now and then many more, with empty and tab-only lines,
    // sometimes a leading run of line breaks or a final one, sometimes nothing at all.
    std::string Text();
    std::size_t Below(std::size_t bound);

private:
    std::string Line();

    std::mt19937 random_; // fully specified, so a seed gives the same inputs everywhere
    std::vector<std::string> characters_;
    std::vector<std::string> tokens_;
};

// Characters that every target takes literally inside a double-quoted string.
inline constexpr std::string_view kPlainCharacters =
    "abcdefghijklmnopqrstuvwxyz ABCXYZ 0123456789  .,;:!#*+-=/()[]{}|~^_`'\"";
// Multi-byte characters and the no-break space, which must pass through untouched.
std::vector<std::string> Utf8Tokens();

// The lines that the statements print, in order: the working text's lines after
// the line break is appended, tabs dropped and empty lines collapsed as asked.
std::vector<std::string> PrintedLines(std::string text, bool preserveEmptyLines, bool preserveTabs);

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

struct ConversionCase {
    std::string input;
    std::string keyword;
    bool singleStatement = false;
    bool preserveEmptyLines = false;
    bool preserveTabs = false;
    std::string code;
    std::string expected; // what running `code` must print

    std::string Describe() const;
};

using Converter = std::string (*)(std::string text, const std::string& keyword, bool singleStatement,
                                  bool preserveEmptyLines, bool preserveTabs);
// What the statements print for the lines, in one form.
using PrintRule = std::function<std::string(const std::vector<std::string>& lines, bool singleStatement)>;

// `count` cases, the flags cycling through all eight combinations and the keywords
// taking turns; the code from the converter, the expectation from `print`.
std::vector<ConversionCase> MakeCases(InputGenerator& inputs, int count, Converter convert,
                                      const std::vector<std::string>& keywords, const PrintRule& print);

// The pieces of `output` between separators; the text after the last one is dropped.
std::vector<std::string> SplitRecords(const std::string& output, char separator);

// One test failure per case whose printed text differs, the first few in full;
// returns the number of differing cases.
int ExpectPrinted(const std::vector<ConversionCase>& cases, const std::vector<std::string>& printed);

} // namespace quillvane::roundtrip
