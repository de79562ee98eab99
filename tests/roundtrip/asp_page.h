#pragma once

// No VBScript interpreter runs here, so the ASP round trip runs the generated
// pages on this one: literal text outside the script blocks, and inside them the
// part of VBScript that the converter and the snippet generator write
// (Response.Write, string literals, &, vbNewLine, the _ line continuation, Dim,
// assignment, If Len(...) = 0 Then / Else / End If, the Request collections).
// Anything else, an unknown variable included, is an error, not a guess.

#include <map>
#include <string>

namespace quillvane::roundtrip {

// The collections a page reads request variables from.
struct AspRequest {
    std::map<std::string, std::string> queryString;
    std::map<std::string, std::string> form;
    std::map<std::string, std::string> cookies;
};

struct AspRun {
    bool ok = false;
    std::string output; // what the page wrote, up to the error if there is one
    std::string error;
};

// Runs `page` with `variables` defined beforehand (names compare without regard to case).
AspRun RunAspPage(const std::string& page, const std::map<std::string, std::string>& variables,
                  const AspRequest& request = {});

} // namespace quillvane::roundtrip
