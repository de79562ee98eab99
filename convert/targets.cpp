#include "convert/targets.h"

#include "convert/converters.h"

namespace quillvane {

namespace {

std::string ConvertToASPIgnoringKeyword(std::string text, const std::string& /*keyword*/,
                                        bool singleStatement, bool preserveEmptyLines, bool preserveTabs) {
    return ConvertToASP(std::move(text), singleStatement, preserveEmptyLines, preserveTabs);
}

} // namespace

const std::array<ConversionTarget, 6> kConversionTargets{{
    {"ASP", "ASP", "Output text (asp)", ConvertToASPIgnoringKeyword, "", Target::ASP},
    {"PHP (ECHO)", "PHPECHO", "Output text (php - echo)", ConvertToPHP, "Echo", Target::PHP},
    {"PHP (PRINT)", "PHPPRINT", "Output text (php - print)", ConvertToPHP, "Print", Target::PHP},
    {"JavaScript", "JavaScript", "Output text (JavaScript)", ConvertToJavaScript, "document.writeln",
     Target::JavaScript},
    {"JSP", "JSP", "Output text (JSP)", ConvertToJSP, "out.println", Target::JSP},
    {"Perl", "Perl", "Output text (Perl)", ConvertToPerl, "print", Target::Perl},
}};

const ConversionTarget* FindConversionTarget(std::string_view languageCode) {
    for (const ConversionTarget& target : kConversionTargets)
        if (target.languageCode == languageCode)
            return &target;
    return nullptr;
}

std::optional<std::string> ConvertForLanguage(std::string_view languageCode, std::string text,
                                              const ConversionFlags& flags) {
    const ConversionTarget* target = FindConversionTarget(languageCode);
    if (target == nullptr)
        return std::nullopt;
    if (flags.exact)
        return ConvertForTarget(target->engine, std::move(text), target->printKeyword, flags.singleStatement,
                                flags.preserveEmptyLines, flags.preserveTabs, true);
    return target->convert(std::move(text), std::string(target->printKeyword), flags.singleStatement,
                           flags.preserveEmptyLines, flags.preserveTabs);
}

} // namespace quillvane
