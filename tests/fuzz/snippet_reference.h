#pragma once

// The two request-variable snippets written out line by line, as plainly as they
// read, for the fuzz targets to hold the generators against.

#include <string>
#include <vector>

namespace quillvane::fuzz {

inline std::string JoinWithLineBreaks(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : "\r\n") + lines[i];
    return text;
}

inline std::string ReferenceSnippetASP(const std::string& requestName, const std::string& newName,
                                       const std::string& requestObject, const std::string& defaultValue,
                                       bool declare, bool checkLength) {
    const std::string read = requestObject + "(\"" + requestName + "\")";
    std::vector<std::string> lines;
    if (declare)
        lines.push_back("Dim " + newName);
    if (!checkLength) {
        lines.push_back(newName + " = " + read);
    } else {
        lines.push_back("If Len(" + read + ") = 0 Then");
        lines.push_back("   " + newName + " = \"" + defaultValue + "\"");
        lines.push_back("Else");
        lines.push_back("   " + newName + " = " + read);
        lines.push_back("End if");
    }
    return JoinWithLineBreaks(lines);
}

inline std::string ReferenceSnippetPHP(const std::string& requestName, const std::string& newName,
                                       const std::string& superGlobal, const std::string& defaultValue,
                                       const std::string& test) {
    const std::string condition = test == "isset" ? "!isset" : test;
    const std::string element = "$_" + superGlobal + "['" + requestName + "']";
    return JoinWithLineBreaks({
        "If(" + condition + "(" + element + ")){ ",
        "   $" + newName + " = \"" + defaultValue + "\";",
        "}",
        "else{",
        "   $" + newName + " = " + element + ";",
        "}",
    });
}

} // namespace quillvane::fuzz
