// The engine against the literal reference, on inputs built from the characters
// and marker strings that the rules react to.

#include "convert/converters.h"
#include "tests/support/text.h"
#include "tests/convert/reference.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace quillvane {
namespace {

using testing::Visible;

const std::array<std::string, 24> kAtoms{
    "\r", "\n",  "\r\n", "\t", " ",  "\"",  "'",   "\\",  "<",   "%", "=",  "?",
    ">",  "<%=", "%>",   "<?", "?>", "<% ", " %>", "<? ", " ?>", "a", "Zz", "\xC3\xA9\xE2\x82\xAC"};

std::string RandomText(std::mt19937& rng, std::size_t maxAtoms) {
    std::string text;
    const std::size_t count = rng() % (maxAtoms + 1);
    for (std::size_t i = 0; i < count; ++i)
        text += kAtoms[rng() % kAtoms.size()];
    return text;
}

const std::vector<std::string> kKeywords{"Echo",
                                         "print",
                                         "",
                                         "document.writeln",
                                         "\xC3\x89"
                                         "cho",
                                         std::string(300, 'k')};

TEST(Differential, EngineMatchesReferenceOnGeneratedText) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 6000; ++round) {
        const std::string text = RandomText(rng, round % 3 == 0 ? 120 : 25);
        const std::string& kw = kKeywords[rng() % kKeywords.size()];
        for (int flags = 0; flags < 8; ++flags) {
            const bool single = flags & 1, empty = flags & 2, tabs = flags & 4;
            SCOPED_TRACE("input \"" + Visible(text) + "\" keyword \"" + kw + "\" flags " +
                         std::to_string(flags));
            ASSERT_EQ(ConvertToASP(text, single, empty, tabs), reference::ASP(text, single, empty, tabs));
            ASSERT_EQ(ConvertToPHP(text, kw, single, empty, tabs),
                      reference::PHP(text, kw, single, empty, tabs));
            ASSERT_EQ(ConvertToJavaScript(text, kw, single, empty, tabs),
                      reference::JavaScript(text, kw, single, empty, tabs));
            ASSERT_EQ(ConvertToJSP(text, kw, single, empty, tabs),
                      reference::JSP(text, kw, single, empty, tabs));
            ASSERT_EQ(ConvertToPerl(text, kw, single, empty, tabs),
                      reference::Perl(text, kw, single, empty, tabs));
        }
    }
}

// Shapes that random text rarely reaches: deep nesting, long runs, blocks that
// keep forming new markers as blank ones are deleted.
TEST(Differential, EngineMatchesReferenceOnStructuredText) {
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    const std::vector<std::string> inputs{
        repeat("<%=", 60) + repeat("%>", 60),
        repeat("<?", 60) + repeat("?>", 60),
        repeat("<%= x", 40) + repeat(" %>", 40),
        repeat("<%= %>", 80),
        repeat("<? ?>", 80),
        repeat("<", 30) + repeat("<%= %>", 30) + repeat("%= a %>", 30),
        repeat("<", 30) + repeat("<? ?>", 30) + repeat("? b ?>", 30),
        repeat("%>", 20) + repeat("<%= y %>", 20),
        repeat("<%=", 50),
        repeat("\r\n", 100) + "x" + repeat("\r\n", 100),
        repeat("\t\r\n", 50) + repeat(" \r\n", 50),
        repeat("<%=\r\n%>", 30),
        repeat("<%= a\r\n", 30) + repeat("b %>\r\n", 30),
    };
    for (const std::string& text : inputs) {
        for (int flags = 0; flags < 8; ++flags) {
            const bool single = flags & 1, empty = flags & 2, tabs = flags & 4;
            SCOPED_TRACE("input \"" + Visible(text) + "\" flags " + std::to_string(flags));
            ASSERT_EQ(ConvertToASP(text, single, empty, tabs), reference::ASP(text, single, empty, tabs));
            ASSERT_EQ(ConvertToPHP(text, "Echo", single, empty, tabs),
                      reference::PHP(text, "Echo", single, empty, tabs));
        }
    }
}

} // namespace
} // namespace quillvane
