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
        Example{"blocks_per_line", Asp(),
                Lines({"<p>Hi <%= name %>!</p>", "<%=%>x", "<% If a Then %>yes<% End If %>"}), kNone,
                Lines({"<%", "", "Response.Write (\"<p>Hi \" &  name & \"!</p>\" & vbNewLine)",
                       "Response.Write (\"x\" & vbNewLine)",
                       "Response.Write (\"<%If a Then%>yes<%End If%>\" & vbNewLine)", "", "", "%>"})},
        Example{
            "nested_blocks", Asp(), "<%= a <%= b %> c %>", kNone,
            Lines({"<%", "", "Response.Write (\"\" &  a \" &  b & \" c & \"\" & vbNewLine)", "", "", "%>"})},
        Example{"block_across_line_break", Asp(), Lines({"A<%= x", "y %>B"}), kNone,
                Lines({"<%", "", "Response.Write (\"A\" &  x\" & vbNewLine)",
                       "Response.Write (\"y & \"B\" & vbNewLine)", "", "", "%>"})},
        // A deleted blank block lets its two sides form a new opening marker.
        Example{"marker_formed_at_seam", Asp(), "<<%= %>%= x %>", kNone,
                Lines({"<%", "", "Response.Write (\"\" &  x & \"\" & vbNewLine)", "", "", "%>"})}));

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
        Example{"short_echo_tag", WithKeyword(ConvertToPHP, "Echo"), "A <?= $x ?> B", kNone,
                Lines({"<?php", "", "Echo (\"A \" . = $x . \" B \\n\");", "", "", "?>"})},
        Example{"closing_before_opening", WithKeyword(ConvertToPHP, "Echo"), "a ?> b <? $c ?>", kNone,
                Lines({"<?php", "", "Echo (\"a?> b \" . $c . \" \\n\");", "", "", "?>"})},
        Example{"dollar_and_backslash_verbatim", WithKeyword(ConvertToPHP, "Echo"), "Cost $5 in c:\\new",
                kNone, Lines({"<?php", "", "Echo (\"Cost $5 in c:\\new \\n\");", "", "", "?>"})}));

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
                    kJsClosePerLine}));

INSTANTIATE_TEST_SUITE_P(
    Jsp, WorkedExample,
    ::testing::Values(Example{"hello_per_line", WithKeyword(ConvertToJSP, "out.println"), kHello, kNone,
                              Lines({"<%", "", "out.println(\"Hello <b>\\\"World\\\"</b>\");",
                                     "out.println(\"Bye\");", "", "", "%>"})},
                      // Only ASP and PHP splice blocks; here they are plain text.
                      Example{"blocks_untouched", WithKeyword(ConvertToJSP, "out.println"), "<%= x %>", kNone,
                              Lines({"<%", "", "out.println(\"<%= x %>\");", "", "", "%>"})}));

INSTANTIATE_TEST_SUITE_P(
    Perl, WorkedExample,
    ::testing::Values(Example{"hello_per_line", WithKeyword(ConvertToPerl, "print"), kHello, kNone,
                              Lines({"print \"Hello <b>\\\"World\\\"</b>\\n\";", "print \"Bye\\n\";"}, true)},
                      Example{"hello_single", WithKeyword(ConvertToPerl, "print"), kHello, kSingle,
                              Lines({"print \"Hello <b>\\\"World\\\"</b>\", ", "\"Bye\";"})},
                      Example{"sigils_verbatim", WithKeyword(ConvertToPerl, "print"), "$a @b \\c", kSingle,
                              "print \"$a @b \\c\";"}));

} // namespace
} // namespace quillvane
