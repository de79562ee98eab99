#pragma once

// The five converters: each turns a block of text into source code that prints it.
// Line breaks are CR LF; a lone CR or LF is an ordinary character.

#include <string>

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

} // namespace quillvane
