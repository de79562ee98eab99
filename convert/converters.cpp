#include "convert/converters.h"

#include "convert/steps.h"

namespace quillvane {

namespace {

// How one statement form writes the lines: the text that replaces each line break,
// and how the body is framed.
struct StatementForm {
    std::string joint;
    std::string opening;
    std::size_t cut;
    std::string closing;
};

// A converter's parameters; its own finishing step is applied by the converter.
struct Recipe {
    std::string_view quoteReplacement;
    StatementForm perLine;
    StatementForm single;
};

constexpr std::string_view kBackslashQuote = "\\\"";

std::string BuildBody(std::string text, const Recipe& recipe, bool singleStatement, bool preserveEmptyLines,
                      bool preserveTabs) {
    AppendLineBreak(text);
    if (!preserveTabs)
        StripTabs(text);
    if (!preserveEmptyLines)
        CollapseEmptyLines(text);
    EscapeQuotes(text, recipe.quoteReplacement);
    const StatementForm& form = singleStatement ? recipe.single : recipe.perLine;
    JoinLines(text, form.joint);
    FrameBody(text, form.opening, form.cut, form.closing);
    return text;
}

// JavaScript and JSP write the same statements: keyword(Q line Q);
Recipe CallRecipe(const std::string& keyword) {
    return {kBackslashQuote,
            {"\");\r\n" + keyword + "(\"", keyword + "(\"", keyword.size() + 2, ""},
            {"\" + \r\n\"", keyword + "(\"", 6, ");"}};
}

} // namespace

std::string ConvertToASP(std::string text, bool singleStatement, bool preserveEmptyLines, bool preserveTabs) {
    static const Recipe recipe{"'",
                               {"\" & vbNewLine)\r\nResponse.Write (\"", "Response.Write (\"", 17, ""},
                               {"\" & vbNewLine & _\r\n\"", "Response.Write (\"", 19, ")"}};
    std::string code = BuildBody(std::move(text), recipe, singleStatement, preserveEmptyLines, preserveTabs);
    SpliceEmbeddedBlocks(code, kAspBlocks);
    WrapInDelimiters(code, "<%", "%>");
    return code;
}

std::string ConvertToPHP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    const Recipe recipe{kBackslashQuote,
                        {" \\n\");\r\n" + keyword + " (\"", keyword + " (\"", keyword.size() + 3, ""},
                        {"\" . \r\n\"", keyword + " (\"", 6, ");"}};
    std::string code = BuildBody(std::move(text), recipe, singleStatement, preserveEmptyLines, preserveTabs);
    SpliceEmbeddedBlocks(code, kPhpBlocks);
    WrapInDelimiters(code, "<?php", "?>");
    return code;
}

std::string ConvertToJavaScript(std::string text, const std::string& keyword, bool singleStatement,
                                bool preserveEmptyLines, bool preserveTabs) {
    std::string code =
        BuildBody(std::move(text), CallRecipe(keyword), singleStatement, preserveEmptyLines, preserveTabs);
    // The script element: its tag and the comment that hides the code from old browsers.
    WrapInDelimiters(code, "<script language=\"JavaScript\">\r\n<!--", "//-->\r\n</script>");
    return code;
}

std::string ConvertToJSP(std::string text, const std::string& keyword, bool singleStatement,
                         bool preserveEmptyLines, bool preserveTabs) {
    std::string code =
        BuildBody(std::move(text), CallRecipe(keyword), singleStatement, preserveEmptyLines, preserveTabs);
    WrapInDelimiters(code, "<%", "%>");
    return code;
}

std::string ConvertToPerl(std::string text, const std::string& keyword, bool singleStatement,
                          bool preserveEmptyLines, bool preserveTabs) {
    const Recipe recipe{kBackslashQuote,
                        {"\\n\";\r\n" + keyword + " \"", keyword + " \"", keyword.size() + 2, ""},
                        {"\", \r\n\"", keyword + " \"", 5, ";"}};
    return BuildBody(std::move(text), recipe, singleStatement, preserveEmptyLines, preserveTabs);
}

} // namespace quillvane
