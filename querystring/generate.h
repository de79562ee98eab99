#pragma once

// The generate command of the QueryString panel, apart from its widgets.

#include <string>
#include <string_view>

namespace quillvane {

// "ASP" (exactly, letter case included) is the ASP family; every other code counts as PHP.
bool IsAspLanguage(std::string_view languageCode);

// The panel's settings that shape a snippet.
struct SnippetOptions {
    std::string requestObject = "Request"; // ASP collection
    std::string superGlobal = "GET";       // PHP superglobal without its "$_"
    std::string emptyTest = "isset";       // PHP test for a missing variable
    bool declare = true;                   // ASP: "Dim new Var"
    bool checkLength = false;              // ASP: "Check Len(Var)"
};

// The new text of the snippet box: its current text, then the snippet for the
// language family of `languageCode`, then one empty line.
std::string AppendRequestSnippet(std::string_view languageCode, const std::string& requestName,
                                 const std::string& newName, std::string boxText,
                                 const std::string& defaultValue, const SnippetOptions& options);

} // namespace quillvane
