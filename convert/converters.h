#pragma once

// The five converters: each turns a block of text into source code that prints it.
// Line breaks are CR LF; a lone CR or LF is an ordinary character.

#include <string>
#include <string_view>

namespace quillvane {

std::string ConvertToASP(std::string text, bool singleStatement, bool preserveEmptyLines, bool preserveTabs);
std::string ConvertToPHP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs);
std::string ConvertToJavaScript(std::string text, const std::string& keyword, bool singleStatement,
                                bool preserveEmptyLines, bool preserveTabs);
std::string ConvertToJSP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs);
std::string ConvertToPerl(std::string text, const std::string& keyword, bool singleStatement,
                          bool preserveEmptyLines, bool preserveTabs);

enum class Target; // convert/target_records.h

// The engine under the five converters, with one choice more: `exact` escapes
// every character that the target language would read otherwise, so that the
// code prints the text exactly as it stands. The converters above escape the
// double quote only, as users of the window expect: they rely on "$name" being
// interpolated in the PHP and Perl they paste.
std::string ConvertForTarget(Target target, std::string text, std::string_view keyword, bool singleStatement,
                             bool preserveEmptyLines, bool preserveTabs, bool exact);

} // namespace quillvane
