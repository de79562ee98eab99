#include "convert/converters.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quillvane {
namespace {

using testing::Lines;

struct Flags {
    bool single, empty, tabs;
};
constexpr Flags kNone{false, false, false};
constexpr Flags kSingle{true, false, false};
constexpr Flags kKeepAll{false, true, true};

using Converter = std::function<std::string(const std::string&, Flags)>;

Converter Asp() {
    return [](const std::string& t, Flags f) { return ConvertToASP(t, f.single, f.empty, f.tabs); };
}
Converter WithKeyword(decltype(&ConvertToPHP) convert, std::string keyword) {
    return [convert, keyword](const std::string& t, Flags f) {
        return convert(t, keyword, f.single, f.empty, f.tabs);
    };
}

struct Example {
    const char* name;
    Converter convert;
    std::string input;
    Flags flags;
    std::string expected;
};

void PrintTo(const Example& e, std::ostream* os) {
    *os << e.name;
}

class WorkedExample : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExample, GivesExactCode) {
    const Example& e = GetParam();
    EXPECT_EQ(e.convert(e.input, e.flags), e.expected);
}

const std::string kHello = Lines({"Hello <b>\"World\"</b>", "", "", "\tBye"});
const std::string kJsOpen = "<script language=\"JavaScript\">\r\n<!--\r\n\r\n";
const std::string kJsClosePerLine = "\r\n\r\n//-->\r\n</script>";

INSTANTIATE_TEST_SUITE_P(
    Asp, WorkedExample,
    ::testing::Values(
        Example{"hello_per_line", Asp(), kHello, kNone,
                Lines({"<%", "", "Response.Write (\"Hello <b>'World'</b>\" & vbNewLine)",
                       "Response.Write (\"Bye\" & vbNewLine)", "", "", "%>"})},
        Example{"hello_single", Asp(), kHello, kSingle,
                Lines({"<%", "", "Response.Write (\"Hello <b>'World'</b>\" & vbNewLine & _", "\"Bye\")", "",
                       "%>"})},
        Example{"hello_keep_all", Asp(), kHello, kKeepAll,
                Lines({"<%", "", "Response.Write (\"Hello <b>'World'</b>\" & vbNewLine)",
                       "Response.Write (\"\" & vbNewLine)", "Response.Write (\"\" & vbNewLine)",
                       "Response.Write (\"\tBye\" & vbNewLine)", "", "", "%>"})},
        Example{"blocks_per_line", Asp(),
                Lines({"<p>Hi <%= name %>!</p>", "<%=%>x", "<% If a Then %>yes<% End If %>"}), kNone,
                Lines({"<%", "", "Response.Write (\"<p>Hi \" &  name & \"!</p>\" & vbNewLine)",
                       "Response.Write (\"x\" & vbNewLine)",
                       "Response.Write (\"<%If a Then%>yes<%End If%>\" & vbNewLine)", "", "", "%>"})},
        Example{"blocks_single", Asp(),
                Lines({"<p>Hi <%= name %>!</p>", "<%=%>x", "<% If a Then %>yes<% End If %>"}), kSingle,
                Lines({"<%", "", "Response.Write (\"<p>Hi \" &  name & \"!</p>\" & vbNewLine & _",
                       "\"x\" & vbNewLine & _", "\"<%If a Then%>yes<%End If%>\")", "", "%>"})},
        Example{"statement_then_expression", Asp(), Lines({"<% x = 1 %>", "Value: <%= x %>"}), kNone,
                Lines({"<%", "", "Response.Write (\"<%x = 1%>\" & vbNewLine)",
                       "Response.Write (\"Value: \" &  x & \"\" & vbNewLine)", "", "", "%>"})},
        Example{"empty_per_line", Asp(), "", kNone,
                Lines({"<%", "", "Response.Write (\"\" & vbNewLine)", "", "", "%>"})},
        Example{"empty_single", Asp(), "", kSingle, Lines({"<%", "", "Response.Write (\"\")", "", "%>"})},
        Example{
            "nested_blocks", Asp(), "<%= a <%= b %> c %>", kNone,
            Lines({"<%", "", "Response.Write (\"\" &  a \" &  b & \" c & \"\" & vbNewLine)", "", "", "%>"})},
        Example{"block_across_line_break", Asp(), Lines({"A<%= x", "y %>B"}), kNone,
                Lines({"<%", "", "Response.Write (\"A\" &  x\" & vbNewLine)",
                       "Response.Write (\"y & \"B\" & vbNewLine)", "", "", "%>"})},
        Example{"quotes_inside_block", Asp(), "<%= Request(\"n\") %>", kNone,
                Lines({"<%", "", "Response.Write (\"\" &  Request('n') & \"\" & vbNewLine)", "", "", "%>"})},
        Example{"opening_without_closing", Asp(), "a <%= b <%= c", kNone,
                Lines({"<%", "", "Response.Write (\"a <%= b <%= c\" & vbNewLine)", "", "", "%>"})},
        Example{"trailing_break_kept", Asp(), "a\r\n", Flags{true, true, false},
                Lines({"<%", "", "Response.Write (\"a\" & vbNewLine & _", "\"\")", "", "%>"})},
        Example{"leading_empty_lines", Asp(), "\r\n\r\nx", kNone,
                Lines({"<%", "", "Response.Write (\"\" & vbNewLine)", "Response.Write (\"x\" & vbNewLine)",
                       "", "", "%>"})},
        // A deleted blank block lets its two sides form a new opening marker.
        Example{"marker_formed_at_seam", Asp(), "<<%= %>%= x %>", kNone,
                Lines({"<%", "", "Response.Write (\"\" &  x & \"\" & vbNewLine)", "", "", "%>"})},
        Example{"lone_lf_stays_in_literal", Asp(), "a\nb\rc", kNone,
                Lines({"<%", "", "Response.Write (\"a\nb\rc\" & vbNewLine)", "", "", "%>"})}));

INSTANTIATE_TEST_SUITE_P(
    Php, WorkedExample,
    ::testing::Values(
        Example{"hello_echo", WithKeyword(ConvertToPHP, "Echo"), kHello, kNone,
                Lines({"<?php", "", "Echo (\"Hello <b>\\\"World\\\"</b> \\n\");", "Echo (\"Bye \\n\");", "",
                       "", "?>"})},
        Example{"hello_print_single", WithKeyword(ConvertToPHP, "Print"), kHello, kSingle,
                Lines({"<?php", "", "Print (\"Hello <b>\\\"World\\\"</b>\" . ", "\"Bye\");", "", "?>"})},
        Example{"blocks_per_line", WithKeyword(ConvertToPHP, "Echo"),
                Lines({"<p>Hi <? $name ?>!</p>", "<? ?>x", "c:\\dir \"q\""}), kNone,
                Lines({"<?php", "", "Echo (\"<p>Hi \" . $name . \"!</p> \\n\");", "Echo (\"x \\n\");",
                       "Echo (\"c:\\dir \\\"q\\\" \\n\");", "", "", "?>"})},
        Example{"blocks_single", WithKeyword(ConvertToPHP, "Echo"),
                Lines({"<p>Hi <? $name ?>!</p>", "<? ?>x", "c:\\dir \"q\""}), kSingle,
                Lines({"<?php", "", "Echo (\"<p>Hi \" . $name . \"!</p>\" . ", "\"x\" . ",
                       "\"c:\\dir \\\"q\\\"\");", "", "?>"})},
        Example{"short_echo_tag", WithKeyword(ConvertToPHP, "Echo"), "A <?= $x ?> B", kNone,
                Lines({"<?php", "", "Echo (\"A \" . = $x . \" B \\n\");", "", "", "?>"})},
        Example{"empty_per_line", WithKeyword(ConvertToPHP, "Echo"), "", kNone,
                Lines({"<?php", "", "Echo (\" \\n\");", "", "", "?>"})},
        Example{"empty_single", WithKeyword(ConvertToPHP, "Echo"), "", kSingle,
                Lines({"<?php", "", "Echo (\"\");", "", "?>"})},
        Example{"closing_before_opening", WithKeyword(ConvertToPHP, "Echo"), "a ?> b <? $c ?>", kNone,
                Lines({"<?php", "", "Echo (\"a?> b \" . $c . \" \\n\");", "", "", "?>"})},
        Example{"dollar_and_backslash_verbatim", WithKeyword(ConvertToPHP, "Echo"), "Cost $5 in c:\\new",
                kNone, Lines({"<?php", "", "Echo (\"Cost $5 in c:\\new \\n\");", "", "", "?>"})},
        Example{"blank_blocks_vanish", WithKeyword(ConvertToPHP, "Echo"),
                "<? ?><?"
                "?><?  ?>",
                kNone, Lines({"<?php", "", "Echo (\" \\n\");", "", "", "?>"})},
        Example{"trailing_break_kept", WithKeyword(ConvertToPHP, "Echo"), "a\r\n", Flags{false, true, false},
                Lines({"<?php", "", "Echo (\"a \\n\");", "Echo (\" \\n\");", "", "", "?>"})},
        Example{"non_ascii_keyword", WithKeyword(ConvertToPHP, "Écho"), "x", kNone,
                Lines({"<?php", "", "Écho (\"x \\n\");", "", "", "?>"})}));

INSTANTIATE_TEST_SUITE_P(
    JavaScript, WorkedExample,
    ::testing::Values(
        Example{"hello_per_line", WithKeyword(ConvertToJavaScript, "document.writeln"), kHello, kNone,
                kJsOpen +
                    Lines({"document.writeln(\"Hello <b>\\\"World\\\"</b>\");", "document.writeln(\"Bye\");"},
                          true) +
                    kJsClosePerLine},
        Example{"hello_single", WithKeyword(ConvertToJavaScript, "document.writeln"), kHello, kSingle,
                kJsOpen + Lines({"document.writeln(\"Hello <b>\\\"World\\\"</b>\" + ", "\"Bye\");"}) +
                    kJsClosePerLine},
        Example{"empty_line_and_trailing_break", WithKeyword(ConvertToJavaScript, "document.writeln"),
                "a\r\n\r\nb\r\n", kKeepAll,
                kJsOpen +
                    Lines({"document.writeln(\"a\");", "document.writeln(\"\");", "document.writeln(\"b\");",
                           "document.writeln(\"\");"},
                          true) +
                    kJsClosePerLine},
        Example{"empty", WithKeyword(ConvertToJavaScript, "document.writeln"), "", kSingle,
                kJsOpen + "document.writeln(\"\");" + kJsClosePerLine},
        Example{"tabs_only_line_vanishes", WithKeyword(ConvertToJavaScript, "w"), "a\r\n\t\t\r\nb", kNone,
                kJsOpen + Lines({"w(\"a\");", "w(\"b\");"}, true) + kJsClosePerLine},
        Example{"space_line_is_not_empty", WithKeyword(ConvertToJavaScript, "w"), "a\r\n \r\nb", kNone,
                kJsOpen + Lines({"w(\"a\");", "w(\" \");", "w(\"b\");"}, true) + kJsClosePerLine}));

INSTANTIATE_TEST_SUITE_P(
    Jsp, WorkedExample,
    ::testing::Values(
        Example{"hello_per_line", WithKeyword(ConvertToJSP, "out.println"), kHello, kNone,
                Lines({"<%", "", "out.println(\"Hello <b>\\\"World\\\"</b>\");", "out.println(\"Bye\");", "",
                       "", "%>"})},
        Example{"hello_single", WithKeyword(ConvertToJSP, "out.println"), kHello, kSingle,
                Lines({"<%", "", "out.println(\"Hello <b>\\\"World\\\"</b>\" + ", "\"Bye\");", "", "%>"})},
        Example{"trailing_break_single", WithKeyword(ConvertToJSP, "out.println"), "x\r\n",
                Flags{true, true, false}, Lines({"<%", "", "out.println(\"x\" + ", "\"\");", "", "%>"})},
        Example{"empty", WithKeyword(ConvertToJSP, "out.println"), "", kNone,
                Lines({"<%", "", "out.println(\"\");", "", "", "%>"})},
        // Only ASP and PHP splice blocks; here they are plain text.
        Example{"blocks_untouched", WithKeyword(ConvertToJSP, "out.println"), "<%= x %>", kNone,
                Lines({"<%", "", "out.println(\"<%= x %>\");", "", "", "%>"})}));

INSTANTIATE_TEST_SUITE_P(
    Perl, WorkedExample,
    ::testing::Values(
        Example{"hello_per_line", WithKeyword(ConvertToPerl, "print"), kHello, kNone,
                Lines({"print \"Hello <b>\\\"World\\\"</b>\\n\";", "print \"Bye\\n\";"}, true)},
        Example{"hello_single", WithKeyword(ConvertToPerl, "print"), kHello, kSingle,
                Lines({"print \"Hello <b>\\\"World\\\"</b>\", ", "\"Bye\";"})},
        Example{"empty_line_and_trailing_break", WithKeyword(ConvertToPerl, "print"), "a\r\n\r\nb\r\n",
                kKeepAll,
                Lines({"print \"a\\n\";", "print \"\\n\";", "print \"b\\n\";", "print \"\\n\";"}, true)},
        Example{"empty_per_line", WithKeyword(ConvertToPerl, "print"), "", kNone, "print \"\\n\";\r\n"},
        Example{"empty_single", WithKeyword(ConvertToPerl, "print"), "", kSingle, "print \"\";"},
        Example{"sigils_verbatim", WithKeyword(ConvertToPerl, "print"), "$a @b \\c", kSingle,
                "print \"$a @b \\c\";"},
        Example{"empty_keyword", WithKeyword(ConvertToPerl, ""), "x\r\ny", kNone,
                Lines({" \"x\\n\";", " \"y\\n\";"}, true)}));

// Converting must not depend on anything but the arguments.
TEST(Converters, SameInputSameOutput) {
    const std::string input = Lines({"<p><%= a %></p>", "<? $b ?>", "\t\"q\""});
    for (const Flags f : {kNone, kSingle, kKeepAll}) {
        EXPECT_EQ(ConvertToASP(input, f.single, f.empty, f.tabs),
                  ConvertToASP(input, f.single, f.empty, f.tabs));
        EXPECT_EQ(ConvertToPHP(input, "Echo", f.single, f.empty, f.tabs),
                  ConvertToPHP(input, "Echo", f.single, f.empty, f.tabs));
    }
}

} // namespace
} // namespace quillvane
