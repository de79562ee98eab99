// Worked examples of the conversion command: each target with its keyword, each flag,
// blocks, exact escapes that the round trips cannot tell (what browsers forgive,
// blocks outside its promise), codes that name nothing.

#include "convert/targets.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

TEST(ConversionCommand, WritesTheWorkedExamples) {
    const ConversionFlags none, single{true}, keepEmpty{false, true}, keepTabs{false, false, true},
        exact{false, false, false, true};
    const std::string hello = Lines({"Hello <b>\"World\"</b>", "", "", "\tBye"});
    const auto asp = [](std::initializer_list<std::string> lines) {
        return "<%\r\n\r\n" + Lines(lines) + "\r\n\r\n%>";
    };
    const auto php = [](std::initializer_list<std::string> lines) {
        return "<?php\r\n\r\n" + Lines(lines) + "\r\n\r\n?>";
    };
    const auto js = [](std::initializer_list<std::string> lines) {
        return "<script language=\"JavaScript\">\r\n<!--\r\n\r\n" + Lines(lines) +
               "\r\n\r\n//-->\r\n</script>";
    };
    const std::tuple<std::string_view, ConversionFlags, std::string, std::optional<std::string>> examples[] =
        {
            {"ASP", none, hello,
             asp({"Response.Write (\"Hello <b>'World'</b>\" & vbNewLine)",
                  "Response.Write (\"Bye\" & vbNewLine)", ""})},
            {"ASP", single, hello,
             asp({"Response.Write (\"Hello <b>'World'</b>\" & vbNewLine & _", "\"Bye\")"})},
            {"ASP", none, Lines({"<p>Hi <%= name %>!</p>", "<%=%>x", "<% If a Then %>yes<% End If %>"}),
             asp({"Response.Write (\"<p>Hi \" &  name & \"!</p>\" & vbNewLine)",
                  "Response.Write (\"x\" & vbNewLine)",
                  "Response.Write (\"<%If a Then%>yes<%End If%>\" & vbNewLine)", ""})},
            {"PHPECHO", none, hello,
             php({"Echo (\"Hello <b>\\\"World\\\"</b> \\n\");", "Echo (\"Bye \\n\");", ""})},
            {"PHPPRINT", single, hello, php({"Print (\"Hello <b>\\\"World\\\"</b>\" . ", "\"Bye\");"})},
            {"JavaScript", none, hello,
             js({"document.writeln(\"Hello <b>\\\"World\\\"</b>\");", "document.writeln(\"Bye\");", ""})},
            {"JavaScript", single, hello,
             js({"document.writeln(\"Hello <b>\\\"World\\\"</b>\" + ", "\"Bye\");"})},
            {"JSP", keepTabs, hello + "<%= x %>",
             asp({"out.println(\"Hello <b>\\\"World\\\"</b>\");", "out.println(\"\tBye<%= x %>\");", ""})},
            {"Perl", keepEmpty, hello,
             Lines({"print \"Hello <b>\\\"World\\\"</b>\\n\";", "print \"\\n\";", "print \"\\n\";",
                    "print \"Bye\\n\";", ""})},
            {"Perl", single, "$a @b \\c", "print \"$a @b \\c\";"},
            {"JavaScript", exact, "a\u2028b\u2029c<!--<script><SCRIPT",
             js({"document.writeln(\"a\\u2028b\\u2029c<\\!--<\\script><\\SCRIPT\");", ""})},
            {"ASP", exact, "a<%= x\r\ny %>b",
             asp({"Response.Write (\"a<%= x\" & vbNewLine)", "Response.Write (\"y %\" & \">b\" & vbNewLine)",
                  ""})},
            {"ASP", exact, "<%= a <%= b %> c %>|<% = x %>|<<%= %>%= y %>",
             asp({"Response.Write (\"\" &  a <%= b & \" c %\" & \">|\" &  x & \"|<%= y %\" & \">\" & "
                  "vbNewLine)",
                  ""})},
            {"PHPECHO", exact, "<?= $x ?>|<?\?>|<?  $n ?>|a ?> b",
             php({"Echo (\"\" .  $x . \"||\" .  $n . \"|a ?> b \\n\");", ""})},
            {"asp", none, "x", std::nullopt}, // codes are exact
            {"ASP ", none, "x", std::nullopt},
        };
    for (const auto& [code, flags, input, expected] : examples)
        EXPECT_EQ(ConvertForLanguage(code, input, flags), expected)
            << code << " \"" << testing::Visible(input) << "\"";
}

} // namespace
} // namespace quillvane
