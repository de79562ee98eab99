// The conversion command on worked examples: every target with its keyword and
// each flag, embedded blocks, the exact mode's escapes that the round trips cannot
// tell (what browsers forgive, blocks outside its promise), codes that name nothing.
// The differential test holds the engine to the transcription everywhere else.

#include "convert/targets.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

using testing::Lines;

struct Example {
    std::string_view code;
    ConversionFlags flags;
    std::string input;
    std::optional<std::string> expected;
};

TEST(ConversionCommand, WritesTheWorkedExamples) {
    const ConversionFlags none, single{true}, keepEmpty{false, true}, keepTabs{false, false, true},
        exact{false, false, false, true};
    const std::string hello = Lines({"Hello <b>\"World\"</b>", "", "", "\tBye"});
    const std::string js = "<script language=\"JavaScript\">\r\n<!--\r\n\r\n",
                      jsEnd = "\r\n\r\n//-->\r\n</script>";
    const Example examples[] = {
        {"ASP", none, hello,
         Lines({"<%", "", "Response.Write (\"Hello <b>'World'</b>\" & vbNewLine)",
                "Response.Write (\"Bye\" & vbNewLine)", "", "", "%>"})},
        {"ASP", single, hello,
         Lines({"<%", "", "Response.Write (\"Hello <b>'World'</b>\" & vbNewLine & _", "\"Bye\")", "", "%>"})},
        {"ASP", none, Lines({"<p>Hi <%= name %>!</p>", "<%=%>x", "<% If a Then %>yes<% End If %>"}),
         Lines({"<%", "", "Response.Write (\"<p>Hi \" &  name & \"!</p>\" & vbNewLine)",
                "Response.Write (\"x\" & vbNewLine)",
                "Response.Write (\"<%If a Then%>yes<%End If%>\" & vbNewLine)", "", "", "%>"})},
        {"PHPECHO", none, hello,
         Lines({"<?php", "", "Echo (\"Hello <b>\\\"World\\\"</b> \\n\");", "Echo (\"Bye \\n\");", "", "",
                "?>"})},
        {"PHPPRINT", single, hello,
         Lines({"<?php", "", "Print (\"Hello <b>\\\"World\\\"</b>\" . ", "\"Bye\");", "", "?>"})},
        {"PHPECHO", none, Lines({"<p>Hi <? $name ?>!</p>", "<? ?>x", "Cost $5 in c:\\dir \"q\""}),
         Lines({"<?php", "", "Echo (\"<p>Hi \" . $name . \"!</p> \\n\");", "Echo (\"x \\n\");",
                "Echo (\"Cost $5 in c:\\dir \\\"q\\\" \\n\");", "", "", "?>"})},
        {"JavaScript", none, hello,
         js +
             Lines({"document.writeln(\"Hello <b>\\\"World\\\"</b>\");", "document.writeln(\"Bye\");"},
                   true) +
             jsEnd},
        {"JavaScript", single, hello,
         js + Lines({"document.writeln(\"Hello <b>\\\"World\\\"</b>\" + ", "\"Bye\");"}) + jsEnd},
        // Only ASP and PHP splice blocks.
        {"JSP", keepTabs, hello + "<%= x %>",
         Lines({"<%", "", "out.println(\"Hello <b>\\\"World\\\"</b>\");", "out.println(\"\tBye<%= x %>\");",
                "", "", "%>"})},
        {"Perl", keepEmpty, hello,
         Lines({"print \"Hello <b>\\\"World\\\"</b>\\n\";", "print \"\\n\";", "print \"\\n\";",
                "print \"Bye\\n\";"},
               true)},
        {"Perl", single, "$a @b \\c", "print \"$a @b \\c\";"},
        {"JavaScript", exact, "a\u2028b\u2029c<!--<script><SCRIPT",
         js + "document.writeln(\"a\\u2028b\\u2029c<\\!--<\\script><\\SCRIPT\");\r\n" + jsEnd},
        {"ASP", exact, "a<%= x\r\ny %>b",
         Lines({"<%", "", "Response.Write (\"a<%= x\" & vbNewLine)",
                "Response.Write (\"y %\" & \">b\" & vbNewLine)", "", "", "%>"})},
        {"ASP", exact, "<%= a <%= b %> c %>|<% = x %>|<<%= %>%= y %>",
         Lines(
             {"<%", "",
              "Response.Write (\"\" &  a <%= b & \" c %\" & \">|\" &  x & \"|<%= y %\" & \">\" & vbNewLine)",
              "", "", "%>"})},
        {"PHPECHO", exact, "<?= $x ?>|<?\?>|<?  $n ?>|a ?> b",
         Lines({"<?php", "", "Echo (\"\" .  $x . \"||\" .  $n . \"|a ?> b \\n\");", "", "", "?>"})},
        {"asp", none, "x", std::nullopt},
        {"PHPEcho", none, "x", std::nullopt},
        {"ASP ", none, "x", std::nullopt},
    };
    for (const Example& e : examples)
        EXPECT_EQ(ConvertForLanguage(e.code, e.input, e.flags), e.expected)
            << e.code << " \"" << testing::Visible(e.input) << "\"";
}

} // namespace
} // namespace quillvane
