#include "querystring/snippets.h"

namespace quillvane {

namespace {
constexpr const char* kCrLf = "\r\n";
}

std::string RequestSnippetASP(const std::string& requestName, const std::string& newName,
                              const std::string& requestObject, const std::string& defaultValue, bool declare,
                              bool checkLength) {
    const std::string declaration = declare ? "Dim " + newName + kCrLf : std::string();
    const std::string request = requestObject + "(\"" + requestName + "\")";
    if (!checkLength)
        return declaration + newName + " = " + request;
    return declaration + "If Len(" + request + ") = 0 Then" + kCrLf + //
           "   " + newName + " = \"" + defaultValue + "\"" + kCrLf +  //
           "Else" + kCrLf +                                           //
           "   " + newName + " = " + request + kCrLf +                //
           "End if";
}

std::string RequestSnippetPHP(const std::string& requestName, const std::string& newName,
                              const std::string& superGlobal, const std::string& defaultValue,
                              const std::string& test) {
    // The first branch assigns the default, so it must run when the variable is missing.
    const std::string condition = test == "isset" ? "!isset" : test;
    const std::string element = "$_" + superGlobal + "['" + requestName + "']";
    return "If(" + condition + "(" + element + ")){ " + kCrLf +        //
           "   $" + newName + " = \"" + defaultValue + "\";" + kCrLf + //
           "}" + kCrLf +                                               //
           "else{" + kCrLf +                                           //
           "   $" + newName + " = " + element + ";" + kCrLf +          //
           "}";
}

} // namespace quillvane
