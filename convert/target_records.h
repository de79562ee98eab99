#pragma once

// Everything a converter needs to know about its target language, one record per
// converter. The converters share one pipeline and differ only in these texts.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quillvane {

inline constexpr std::string_view kLineBreak = "\r\n";

// Stands for the print keyword inside the statement texts; StatementFor puts the
// actual keyword in.
inline constexpr std::string_view kKeyword = "{keyword}";

// One way the printed text is made safe inside a string literal: wherever the
// text holds `text` (one byte, or a short sequence), the literal gets `replacement`.
struct LiteralEscape {
    std::string_view text;
    std::string_view replacement;
};

// How the lines are printed: `opening` starts the first statement, `joint`
// replaces every line break (closing one line's literal, opening the next) and
// `closing` ends the last statement.
struct StatementTexts {
    std::string_view opening;
    std::string_view joint;
    std::string_view closing;
};

// What is put around the statements: `opening`, two line breaks, the statements,
// two line breaks, `closing`.
struct Delimiters {
    std::string_view opening;
    std::string_view closing;
};

// The code blocks a pasted page may already hold, which ASP and PHP turn into
// operands of the printed string.
struct BlockMarkers {
    std::string_view opening;       // "<%=" or "<?"
    std::string_view closing;       // "%>" or "?>"
    std::string_view spacedOpening; // "<% " or "<? ", loses its space first
    std::string_view spacedClosing; // " %>" or " ?>", likewise
    std::string_view joiner;        // " & " or " . ", the concatenation operator
    std::string_view echoSign;      // "=" after PHP's "<?": exact mode leaves it out of the expression
};

struct TargetRecord {
    std::span<const LiteralEscape> escapes;
    // Exact mode: every character that the language would read otherwise, so that
    // the code prints the text as it stands.
    std::span<const LiteralEscape> exactEscapes;
    StatementTexts perLine;
    StatementTexts single;
    const Delimiters* delimiters; // none for Perl
    const BlockMarkers* blocks;   // only ASP and PHP splice blocks
};

enum class Target { ASP, PHP, JavaScript, JSP, Perl };

inline constexpr LiteralEscape kQuoteToApostrophe[] = {{"\"", "'"}};
inline constexpr LiteralEscape kBackslashBeforeQuote[] = {{"\"", "\\\""}};

// A lone CR or LF cannot stand in a VBScript literal, and "%>" would end the
// script block wherever it stands.
inline constexpr LiteralEscape kAspExact[] = {
    {"\"", "\"\""}, {"\r", "\" & vbCr & \""}, {"\n", "\" & vbLf & \""}, {"%>", "%\" & \">"}};
inline constexpr LiteralEscape kPhpExact[] = {{"\\", "\\\\"}, {"\"", "\\\""}, {"$", "\\$"}};
// Besides the literal's own needs: the script element's text opens an HTML comment,
// where "<script" would keep the parser from ending the element at "</script>"; the
// HTML parser turns a NUL into U+FFFD before the script sees it.
inline constexpr LiteralEscape kJavaScriptExact[] = {
    {"\\", "\\\\"},        {"\"", "\\\""},        {"\r", "\\r"},       {"\n", "\\n"},
    {"\u2028", "\\u2028"}, {"\u2029", "\\u2029"}, {"</", "<\\/"},      {"<!--", "<\\!--"},
    {"<s", "<\\s"},        {"<S", "<\\S"},        {{"\0", 1}, "\\x00"}};
// Java reads a backslash-u escape before anything else, but never after an escaped backslash.
inline constexpr LiteralEscape kJspExact[] = {
    {"\\", "\\\\"}, {"\"", "\\\""}, {"\r", "\\r"}, {"\n", "\\n"}, {"%>", "%\" + \">"}};
inline constexpr LiteralEscape kPerlExact[] = {{"\\", "\\\\"}, {"\"", "\\\""}, {"$", "\\$"}, {"@", "\\@"}};

inline constexpr Delimiters kAspDelimiters{"<%", "%>"};
inline constexpr Delimiters kPhpDelimiters{"<?php", "?>"};
// The script element, with the comment that hides the code from browsers without scripting.
inline constexpr Delimiters kScriptElement{"<script language=\"JavaScript\">\r\n<!--", "//-->\r\n</script>"};

inline constexpr BlockMarkers kAspBlocks{"<%=", "%>", "<% ", " %>", " & ", ""};
inline constexpr BlockMarkers kPhpBlocks{"<?", "?>", "<? ", " ?>", " . ", "="};

// JavaScript and JSP print alike: keyword(Q line Q);
inline constexpr StatementTexts kCallPerLine{"{keyword}(\"", "\");\r\n{keyword}(\"", ""};
inline constexpr StatementTexts kCallSingle{"{keyword}(\"", "\" + \r\n\"", ");"};

// Indexed by Target.
inline constexpr std::array<TargetRecord, 5> kTargetRecords{{
    {kQuoteToApostrophe,
     kAspExact,
     {"Response.Write (\"", "\" & vbNewLine)\r\nResponse.Write (\"", ""},
     {"Response.Write (\"", "\" & vbNewLine & _\r\n\"", ")"},
     &kAspDelimiters,
     &kAspBlocks},
    {kBackslashBeforeQuote,
     kPhpExact,
     {"{keyword} (\"", " \\n\");\r\n{keyword} (\"", ""},
     {"{keyword} (\"", "\" . \r\n\"", ");"},
     &kPhpDelimiters,
     &kPhpBlocks},
    {kBackslashBeforeQuote, kJavaScriptExact, kCallPerLine, kCallSingle, &kScriptElement, nullptr},
    {kBackslashBeforeQuote, kJspExact, kCallPerLine, kCallSingle, &kAspDelimiters, nullptr},
    {kBackslashBeforeQuote,
     kPerlExact,
     {"{keyword} \"", "\\n\";\r\n{keyword} \"", ""},
     {"{keyword} \"", "\", \r\n\"", ";"},
     nullptr,
     nullptr},
}};

constexpr const TargetRecord& RecordOf(Target target) {
    return kTargetRecords[static_cast<std::size_t>(target)];
}

// The frame cuts off what the final line break's joint leaves behind the last line.
// Per line, that is the opening of a statement that would print nothing: the
// joint after its line break, which must therefore be the opening.
constexpr bool JointEndsInOpening(const StatementTexts& t) {
    const std::size_t lineBreak = t.joint.find(kLineBreak);
    return lineBreak != std::string_view::npos && t.joint.substr(lineBreak + kLineBreak.size()) == t.opening;
}
// In a single statement it is everything after the quote that closes the last line.
constexpr bool JointStartsWithQuote(const StatementTexts& t) {
    return t.joint.starts_with('"') && t.joint.find(kLineBreak) != std::string_view::npos;
}

constexpr bool CutsFitEveryRecord() {
    for (const TargetRecord& r : kTargetRecords)
        if (!JointEndsInOpening(r.perLine) || !JointStartsWithQuote(r.single))
            return false;
    return true;
}
static_assert(CutsFitEveryRecord(), "a joint does not end as the frame cuts it");

// The statement texts of one conversion, with the keyword put in.
struct Statement {
    std::string opening;
    std::string joint;
    std::string_view closing;
    std::size_t cut; // bytes of the last joint that the frame removes
};

Statement StatementFor(const TargetRecord& target, std::string_view keyword, bool singleStatement);

} // namespace quillvane
