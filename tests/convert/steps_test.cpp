#include "convert/steps.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

namespace quillvane {
namespace {

struct StepCase {
    const char* name;
    std::function<void(std::string&)> step;
    std::string input;
    std::string expected;
};

TEST(Steps, EachStepRewritesAsDefined) {
    const StepCase cases[] = {
        {"collapse_run_of_three", CollapseEmptyLines, "a\r\n\r\n\r\nb\r\n", "a\r\nb\r\n"},
        {"collapse_leading_run", CollapseEmptyLines, "\r\n\r\n\r\nx\r\n", "\r\nx\r\n"},
        {"collapse_trailing_run", CollapseEmptyLines, "x\r\n\r\n\r\n\r\n", "x\r\n"},
        {"space_line_is_not_empty", CollapseEmptyLines, "a\r\n \r\nb\r\n", "a\r\n \r\nb\r\n"},
        {"lone_cr_and_lf_are_not_breaks", CollapseEmptyLines, "a\r\r\n\n\r\n\r\r\n", "a\r\r\n\n\r\n\r\r\n"},
        {"escape_doubles_nothing_else", [](std::string& t) { EscapeQuotes(t, "\\\""); }, "\"a\\b'\"",
         "\\\"a\\b'\\\""},
        {"join_only_crlf", [](std::string& t) { JoinLines(t, "|"); }, "a\r\nb\rc\nd\r\n", "a|b\rc\nd|"},
        {"frame_cuts_then_closes", [](std::string& t) { FrameBody(t, "<", 2, ">"); }, "abcd", "<ab>"},
        {"frame_cut_longer_than_text", [](std::string& t) { FrameBody(t, "", 9, "!"); }, "abc", "!"},
        {"replace_does_not_rescan", [](std::string& t) { ReplaceAll(t, "<% ", "<%"); }, "<%  x", "<% x"},
    };
    for (const StepCase& c : cases) {
        std::string text = c.input;
        c.step(text);
        EXPECT_EQ(text, c.expected) << c.name;
    }
}

TEST(Steps, FindReturnsTheLeftmostMatchFromThePosition) {
    EXPECT_EQ(Find("a<%=b<%=", "<%=", 0), 1u);
    EXPECT_EQ(Find("a<%=b<%=", "<%=", 2), 5u);
    EXPECT_EQ(Find("a<%=b<%=", "<%=", 6), std::string_view::npos);
    EXPECT_EQ(Find("%%>", "%>", 0), 1u);
    EXPECT_EQ(Find("ab", "abc", 0), std::string_view::npos);
    EXPECT_EQ(Find("ab", "b", 5), std::string_view::npos);
}

// The fused pass must give what the named steps give one after the other.
TEST(Steps, BuildBodyEqualsTheStepsInSequence) {
    const std::string atoms[] = {"\r", "\n", "\r\n", "\t", " ", "\"", "a", "\xC3\xA9"};
    const StatementForm forms[] = {
        {"\");\r\nk(\"", "k(\"", 3, ""}, {"\" + \r\n\"", "k(\"", 6, ");"}, {"", "", 0, ""}};
    std::mt19937 rng(7);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (std::size_t i = rng() % 40; i > 0; --i)
            text += atoms[rng() % std::size(atoms)];
        const StatementForm& form = forms[rng() % std::size(forms)];
        const BodyRecipe recipe{bool(rng() & 1), bool(rng() & 1), (rng() & 1) ? "'" : "\\\"", form};

        std::string expected = text;
        AppendLineBreak(expected);
        if (!recipe.preserveTabs)
            StripTabs(expected);
        if (!recipe.preserveEmptyLines)
            CollapseEmptyLines(expected);
        EscapeQuotes(expected, recipe.quoteReplacement);
        JoinLines(expected, form.joint);
        FrameBody(expected, form.opening, form.cut, form.closing);

        ASSERT_EQ(BuildBody(text, recipe, 0), expected) << "round " << round;
    }
}

} // namespace
} // namespace quillvane

namespace quillvane {
namespace {

// The splice works in place when the text has room to grow and in a new buffer
// when it has not; both must give the same text.
TEST(Steps, SpliceDoesNotDependOnSpareRoom) {
    for (const std::string input : {"a<%= b %>c<%= %>d", "<<%= %>%= x %>", "<%=<%=<%= y %>%>%>"}) {
        std::string tight = input;
        tight.shrink_to_fit();
        std::string roomy = input;
        roomy.reserve(input.size() * 4);
        SpliceEmbeddedBlocks(tight, kAspBlocks);
        SpliceEmbeddedBlocks(roomy, kAspBlocks);
        EXPECT_EQ(tight, roomy) << input;
    }
}

} // namespace
} // namespace quillvane
