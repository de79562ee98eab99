#include "convert/converters.h"
#include "convert/targets.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

struct Row {
    std::string_view code;
    std::string_view label;
    std::string expected; // what the row's converter gives for "x" with no flags set
};

TEST(ConversionCommand, EachLanguageCodeCallsItsConverterWithItsKeyword) {
    const Row rows[] = {
        {"ASP", "Output text (asp)", ConvertToASP("x", false, false, false)},
        {"PHPECHO", "Output text (php - echo)", ConvertToPHP("x", "Echo", false, false, false)},
        {"PHPPRINT", "Output text (php - print)", ConvertToPHP("x", "Print", false, false, false)},
        {"JavaScript", "Output text (JavaScript)",
         ConvertToJavaScript("x", "document.writeln", false, false, false)},
        {"JSP", "Output text (JSP)", ConvertToJSP("x", "out.println", false, false, false)},
        {"Perl", "Output text (Perl)", ConvertToPerl("x", "print", false, false, false)},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].code);
        EXPECT_EQ(kConversionTargets[i].languageCode, rows[i].code);
        EXPECT_EQ(kConversionTargets[i].outputLabel, rows[i].label);
        EXPECT_EQ(ConvertForLanguage(rows[i].code, "x", {}), rows[i].expected);
    }
}

TEST(ConversionCommand, FlagsReachTheConverterInOrder) {
    const std::string input = "a\t\r\n\r\nb";
    for (int bits = 0; bits < 8; ++bits) {
        const ConversionFlags flags{bool(bits & 1), bool(bits & 2), bool(bits & 4)};
        EXPECT_EQ(ConvertForLanguage("Perl", input, flags),
                  ConvertToPerl(input, "print", flags.singleStatement, flags.preserveEmptyLines,
                                flags.preserveTabs));
    }
}

// Only what the round trips cannot tell: escapes that today's browsers would forgive,
// and how blocks splice where the exact mode keeps only the text outside them.
TEST(ConversionCommand, ExactModeWritesTheseStatements) {
    const std::string_view rows[][3] = {
        {"JavaScript", "a\u2028b\u2029c<!--<script><SCRIPT",
         "document.writeln(\"a\\u2028b\\u2029c<\\!--<\\script><\\SCRIPT\");"},
        {"ASP", "a<%= x\r\ny %>b", "(\"a<%= x\" & vbNewLine)\r\nResponse.Write (\"y %\" & \">b\""},
        {"ASP", "<%= a <%= b %> c %>|<% = x %>|<<%= %>%= y %>",
         "(\"\" &  a <%= b & \" c %\" & \">|\" &  x & \"|<%= y %\" & \">\""},
        {"PHPECHO", "<?= $x ?>|<?\?>|<?  $n ?>|a ?> b", "(\"\" .  $x . \"||\" .  $n . \"|a ?> b \\n\");"},
    };
    for (const auto& [code, input, statement] : rows)
        EXPECT_NE(ConvertForLanguage(code, std::string(input), {.exact = true})->find(statement),
                  std::string::npos)
            << input;
}

TEST(ConversionCommand, UnknownOrMiscasedCodeConvertsNothing) {
    for (const char* code : {"", "asp", "PHPEcho", "Javascript", "perl", "ASP "})
        EXPECT_FALSE(ConvertForLanguage(code, "x", {}).has_value()) << code;
}

} // namespace
} // namespace quillvane
