#pragma once

// No VBScript interpreter runs here, so the ASP round trip runs its pages on this
// one: literal text outside the script blocks, and inside them just the VBScript
// that the converter and the snippet generator write (Response.Write, string
// literals, &, vbNewLine, vbCr, vbLf, the " _" continuation, Dim, assignment, If ... = ... Then,
// Else, End If, Len and the Request collections). Anything else, an undefined
// variable included, is an error, never a guess.

#include <map>
#include <string>

namespace quillvane::roundtrip {

struct AspEnvironment {
    std::map<std::string, std::string> variables; // names in lower case
    // "querystring", "form" or "cookies" -> request variable -> value
    std::map<std::string, std::map<std::string, std::string>> request;
};

// What the page wrote; at an error, what it wrote until then and "[error: why]".
std::string RunAspPage(const std::string& page, const AspEnvironment& environment);

} // namespace quillvane::roundtrip
