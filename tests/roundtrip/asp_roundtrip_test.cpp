// The generated ASP, run by the test's own VBScript subset: the converter's code
// writes exactly the input's lines with the expression blocks spliced in, and
// the request snippets pick the request variable or the default.

#include "convert/converters.h"
#include "querystring/snippets.h"
#include "tests/roundtrip/asp_page.h"
#include "tests/roundtrip/cases.h"
#include "tests/roundtrip/roundtrip_test.h"

#include <utility>

namespace quillvane::roundtrip {
namespace {

// The names that the expression blocks read, defined before the page runs.
const std::map<std::string, std::string> kVariables = {
    {"x", "X1"}, {"name", "Ann 'Q' <b>\u00e9"}, {"n", "42"}};
const std::vector<std::pair<std::string, std::string>> kBlocks = {
    {"<%= x %>", "X1"},  {"<%=Name%>", "Ann 'Q' <b>\u00e9"},
    {"<%=  n %>", "42"}, {"<%= x & n %>", "X142"},
    {"<%=%>", ""},       {"<%= %>", ""},
};

// Rules of the interpreter itself, so that a pass below means something.
TEST(AspPage, RunsTheSubsetAndRejectsTheRest) {
    struct Row {
        std::string page;
        bool ok;
        std::string output;
    };
    const std::vector<Row> rows = {
        {"a<%\r\nResponse.Write (\"b\" & vbNewLine & _\r\n\"c\")\r\n%>d", true, "ab\r\ncd"},
        {"<% Response.Write \"q\"\"q\" & x %>", true, "q\"qX1"},
        {"<% response.write (\"a\") ' a comment %>", true, "a"},
        {"<% Response.Write (\"a\r\nb\") %>", false, ""},               // a string cannot span lines
        {"<% Response.Write (\"a\" & y) %>", false, ""},                // y is not defined
        {"<% Response.Write (\"a\" & _ %>", false, ""},                 // continued past the end
        {"<% Response.Write (\"%>\") %>", false, ""},                   // the block ends at the first %>
        {"<% Response.Write (\"a\" \"b\") %>", false, ""},              // no operator between operands
        {"<% If Len(x) = 0 Then\r\nResponse.Write 1\r\n%>", false, ""}, // no End If
    };
    for (const Row& row : rows) {
        const AspRun run = RunAspPage(row.page, kVariables);
        EXPECT_EQ(run.ok, row.ok) << row.page << ": " << run.error;
        if (row.ok) {
            EXPECT_EQ(run.output, row.output) << row.page;
        }
    }
}

TEST_F(RoundTrip, AspWritesTheInputLines) {
    // The converter turns " into an apostrophe, so quotes are in the alphabet; no
    // lone CR or LF (a VBScript string cannot span lines) and no "%" outside the
    // blocks (a "%>" would end the script block). A backslash is literal in VBScript.
    std::vector<std::string> tokens = {"<", ">", "&", "?", "$", "@", "\\", "<b>", "</b>", "<? x ?>"};
    for (const auto& [block, value] : kBlocks)
        tokens.push_back(block);
    for (const std::string& utf8 : Utf8Tokens())
        tokens.push_back(utf8);
    InputGenerator inputs(1997, kPlainCharacters, tokens);
    const auto convert = [](std::string text, const std::string&, bool single, bool empty, bool tabs) {
        return ConvertToASP(std::move(text), single, empty, tabs);
    };
    const auto cases =
        MakeCases(inputs, 400, convert, {""}, [](const std::vector<std::string>& lines, bool single) {
            std::string written;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                std::string line = ReplaceAll(lines[i], "\"", "'");
                for (const auto& [block, value] : kBlocks)
                    line = ReplaceAll(line, block, value);
                written += (single && i > 0 ? "\r\n" : "") + line + (single ? "" : "\r\n");
            }
            return written;
        });

    std::vector<std::string> printed;
    for (const ConversionCase& c : cases) {
        const AspRun run = RunAspPage(c.code, kVariables);
        printed.push_back(run.ok ? run.output : run.output + "[error: " + run.error + "]");
    }
    EXPECT_EQ(ExpectPrinted(cases, printed), 0);
}

TEST_F(RoundTrip, AspSnippetsReadTheRequestOrTheDefault) {
    struct Presence {
        const char* label;
        std::string value;
        bool present;
        bool elsewhere; // in a collection that Request.Form and Request.QueryString do not read
    };
    const std::vector<Presence> presences = {{"a value", "v\u00e9 1", true, false},
                                             {"an empty value", "", true, false},
                                             {"nothing", "", false, false},
                                             {"a cookie only", "c", false, true}};
    const std::vector<std::pair<std::string, std::string>> names = {
        {"id", "intID"}, {"user name", "strUser"}, {"\u65e5", "sLang"}};
    const std::vector<std::string> defaults = {"0", "", "home page", "it's"};

    int count = 0;
    std::size_t turn = 0;
    for (const std::string object : {"Request", "Request.Form", "Request.QueryString"})
        for (const bool declare : {false, true})
            for (const bool checkLength : {false, true})
                for (const Presence& presence : presences) {
                    const auto& [requestName, newName] = names[turn % names.size()];
                    const std::string defaultValue = defaults[turn++ % defaults.size()];
                    AspRequest request;
                    request.queryString["other"] = "o";
                    if (presence.present)
                        (object == "Request.Form" ? request.form : request.queryString)[requestName] =
                            presence.value;
                    if (presence.elsewhere)
                        request.cookies[requestName] = presence.value;
                    // Request() also reads the cookies; the length check treats empty as missing.
                    const std::string found =
                        presence.present || (presence.elsewhere && object == "Request") ? presence.value : "";
                    const std::string expected = checkLength && found.empty() ? defaultValue : found;

                    const std::string snippet =
                        RequestSnippetASP(requestName, newName, object, defaultValue, declare, checkLength);
                    const AspRun run = RunAspPage(
                        "<%\r\n" + snippet + "\r\nResponse.Write " + newName + "\r\n%>", {}, request);
                    EXPECT_TRUE(run.ok) << run.error << "\n" << snippet;
                    EXPECT_EQ(run.output, expected) << object << ", " << presence.label << ", declare "
                                                    << declare << ", check length " << checkLength << "\n"
                                                    << snippet;
                    ++count;
                }
    EXPECT_EQ(count, 48);
}

} // namespace
} // namespace quillvane::roundtrip
