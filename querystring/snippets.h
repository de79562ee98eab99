#pragma once

// The two request-variable snippets: code that reads one request variable into a
// script variable, with a default for when it is missing. Inputs are inserted verbatim.

#include <string>

namespace quillvane {

std::string RequestSnippetASP(const std::string& requestName, const std::string& newName,
                              const std::string& requestObject, const std::string& defaultValue, bool declare,
                              bool checkLength);
std::string RequestSnippetPHP(const std::string& requestName, const std::string& newName,
                              const std::string& superGlobal, const std::string& defaultValue,
                              const std::string& test);

} // namespace quillvane
