#include "tests/roundtrip/cases.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quillvane::roundtrip {

InputGenerator::InputGenerator(std::uint32_t seed, std::string_view characters,
                               std::vector<std::string> tokens)
    : random_(seed), tokens_(std::move(tokens)) {
    for (const char c : characters)
        characters_.emplace_back(1, c);
}

std::size_t InputGenerator::Below(std::size_t bound) {
    return random_() % bound;
}

std::string InputGenerator::Line() {
    const std::size_t kind = Below(100);
    if (kind < 15)
        return "";
    if (kind < 20)
        return std::string(1 + Below(3), '\t');
    std::string line;
    for (std::size_t pieces = 1 + Below(10); pieces > 0; --pieces) {
        if (Below(12) == 0)
            line += '\t';
        else if (!tokens_.empty() && Below(4) == 0)
            line += tokens_[Below(tokens_.size())];
        else
            line += characters_[Below(characters_.size())];
    }
    return line;
}

std::string InputGenerator::Text() {
    if (Below(20) == 0)
        return "";
    std::string text;
    if (Below(8) == 0)
        text = Below(2) == 0 ? "\r\n" : "\r\n\r\n"; // a leading run of line breaks
    // Mostly a few lines; now and then a page-sized text, for long statements.
    const std::size_t lines = Below(25) == 0 ? 30 + Below(50) : 1 + Below(6);
    for (std::size_t i = 0; i < lines; ++i)
        text += (i == 0 ? "" : "\r\n") + Line();
    if (Below(3) == 0)
        text += "\r\n";
    return text;
}

std::vector<std::string> Utf8Tokens() {
    return {"\u00e9", "\u20ac", "\u65e5\u672c", "\u00a0", "\u00df"};
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> PrintedLines(std::string text, bool preserveEmptyLines, bool preserveTabs) {
    if (!preserveTabs)
        text = ReplaceAll(text, "\t", "");
    text += "\r\n";
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = text.substr(start, end - start);
        // Collapsing runs of line breaks drops every empty line but a leading one.
        if (preserveEmptyLines || lines.empty() || !line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

std::string ConversionCase::Describe() const {
    return std::string(singleStatement ? "single statement" : "per line") +
           (preserveEmptyLines ? ", empty lines kept" : ", empty lines dropped") +
           (preserveTabs ? ", tabs kept" : ", tabs dropped") +
           (keyword.empty() ? "" : ", keyword " + keyword) + "\n  input:    \"" + Visible(input) +
           "\"\n  code:     \"" + Visible(code) + "\"\n  expected: \"" + Visible(expected) + "\"";
}

std::vector<ConversionCase> MakeCases(InputGenerator& inputs, int count, Converter convert,
                                      const std::vector<std::string>& keywords, const PrintRule& print) {
    std::vector<ConversionCase> cases;
    for (int i = 0; i < count; ++i) {
        ConversionCase c;
        c.input = inputs.Text();
        c.keyword = keywords[(i / 8) % keywords.size()];
        c.singleStatement = (i & 1) != 0;
        c.preserveEmptyLines = (i & 2) != 0;
        c.preserveTabs = (i & 4) != 0;
        c.code = convert(c.input, c.keyword, c.singleStatement, c.preserveEmptyLines, c.preserveTabs);
        c.expected = print(PrintedLines(c.input, c.preserveEmptyLines, c.preserveTabs), c.singleStatement);
        cases.push_back(std::move(c));
    }
    return cases;
}

std::vector<std::string> SplitRecords(const std::string& output, char separator) {
    std::vector<std::string> records;
    for (std::size_t start = 0, end; (end = output.find(separator, start)) != std::string::npos;
         start = end + 1)
        records.push_back(output.substr(start, end - start));
    return records;
}

int ExpectPrinted(const std::vector<ConversionCase>& cases, const std::vector<std::string>& printed) {
    EXPECT_EQ(printed.size(), cases.size()) << "the interpreter printed a different number of records";
    int differing = 0;
    for (std::size_t i = 0; i < cases.size() && i < printed.size(); ++i) {
        if (printed[i] == cases[i].expected)
            continue;
        if (++differing <= 10)
            ADD_FAILURE() << "case " << i << ", " << cases[i].Describe() << "\n  printed:  \""
                          << Visible(printed[i]) << "\"";
    }
    if (differing > 10)
        ADD_FAILURE() << differing << " cases differ in all, the first 10 shown";
    return differing;
}

} // namespace quillvane::roundtrip
