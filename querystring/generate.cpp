#include "querystring/generate.h"

#include "querystring/snippets.h"

namespace quillvane {

bool IsAspLanguage(std::string_view languageCode) {
    return languageCode == "ASP";
}

std::string AppendRequestSnippet(std::string_view languageCode, const std::string& requestName,
                                 const std::string& newName, std::string boxText,
                                 const std::string& defaultValue, const SnippetOptions& options) {
    boxText +=
        IsAspLanguage(languageCode)
            ? RequestSnippetASP(requestName, newName, options.requestObject, defaultValue, options.declare,
                                options.checkLength)
            : RequestSnippetPHP(requestName, newName, options.superGlobal, defaultValue, options.emptyTest);
    boxText += "\r\n\r\n";
    return boxText;
}

} // namespace quillvane
