#include "convert/converters.h"

#include "convert/steps.h"

namespace quillvane {

namespace {

constexpr std::string_view kBackslashQuote = "\\\"";

// Room for the delimiters or script element that a finishing step puts around the body.
constexpr std::size_t kFinishingRoom = 128;

// The statement texts that depend on the keyword, kept alive for one conversion.
struct KeywordTexts {
    std::string perLineJoint;
    std::string opening;
};

BodyRecipe Recipe(bool singleStatement, bool preserveEmptyLines, bool preserveTabs,
                  std::string_view quoteReplacement, const StatementForm& perLine,
                  const StatementForm& single) {
    return {preserveTabs, preserveEmptyLines, quoteReplacement, singleStatement ? single : perLine};
}

// JavaScript and JSP print alike: keyword(Q line Q);
std::string CallBody(const std::string& text, const std::string& keyword, bool singleStatement,
                     bool preserveEmptyLines, bool preserveTabs) {
    const KeywordTexts k{"\");\r\n" + keyword + "(\"", keyword + "(\""};
    return BuildBody(text,
                     Recipe(singleStatement, preserveEmptyLines, preserveTabs, kBackslashQuote,
                            {k.perLineJoint, k.opening, keyword.size() + 2, ""},
                            {"\" + \r\n\"", k.opening, 6, ");"}),
                     kFinishingRoom);
}

// Collapsed empty lines and deleted blocks can leave the buffer far larger than
// the code; the caller should not hold on to that.
std::string Trimmed(std::string code) {
    if (code.capacity() > 2 * code.size() + 4096)
        code.shrink_to_fit();
    return code;
}

// ASP and PHP: the body, its embedded blocks spliced, inside the script delimiters.
std::string ServerScript(const std::string& text, const BodyRecipe& recipe, const BlockMarkers& blocks,
                         std::string_view opening, std::string_view closing) {
    // Splicing a block makes the text three or four bytes longer; this is room for a
    // block in about every 200 bytes, more than pages hold.
    std::string code = BuildBody(text, recipe, text.size() / 64 + kFinishingRoom);
    SpliceEmbeddedBlocks(code, blocks);
    WrapInDelimiters(code, opening, closing);
    return Trimmed(std::move(code));
}

} // namespace

std::string ConvertToASP(std::string text, bool singleStatement, bool preserveEmptyLines, bool preserveTabs) {
    return ServerScript(text,
                        Recipe(singleStatement, preserveEmptyLines, preserveTabs, "'",
                               {"\" & vbNewLine)\r\nResponse.Write (\"", "Response.Write (\"", 17, ""},
                               {"\" & vbNewLine & _\r\n\"", "Response.Write (\"", 19, ")"}),
                        kAspBlocks, "<%", "%>");
}

std::string ConvertToPHP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    const KeywordTexts k{" \\n\");\r\n" + keyword + " (\"", keyword + " (\""};
    return ServerScript(text,
                        Recipe(singleStatement, preserveEmptyLines, preserveTabs, kBackslashQuote,
                               {k.perLineJoint, k.opening, keyword.size() + 3, ""},
                               {"\" . \r\n\"", k.opening, 6, ");"}),
                        kPhpBlocks, "<?php", "?>");
}

std::string ConvertToJavaScript(std::string text, const std::string& keyword, bool singleStatement,
                                bool preserveEmptyLines, bool preserveTabs) {
    std::string code = CallBody(text, keyword, singleStatement, preserveEmptyLines, preserveTabs);
    // The script element: its tag, and the comment that hides the code from browsers without scripting.
    WrapInDelimiters(code, "<script language=\"JavaScript\">\r\n<!--", "//-->\r\n</script>");
    return Trimmed(std::move(code));
}

std::string ConvertToJSP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    std::string code = CallBody(text, keyword, singleStatement, preserveEmptyLines, preserveTabs);
    WrapInDelimiters(code, "<%", "%>");
    return Trimmed(std::move(code));
}

std::string ConvertToPerl(std::string text, const std::string& keyword, bool singleStatement,
                          bool preserveEmptyLines, bool preserveTabs) {
    const KeywordTexts k{"\\n\";\r\n" + keyword + " \"", keyword + " \""};
    return BuildBody(text,
                     Recipe(singleStatement, preserveEmptyLines, preserveTabs, kBackslashQuote,
                            {k.perLineJoint, k.opening, keyword.size() + 2, ""},
                            {"\", \r\n\"", k.opening, 5, ";"}),
                     0);
}

} // namespace quillvane
