// The generated script elements, loaded by headless Chromium: the DOM that each
// script writes must be the DOM of a page that holds the expected text in the
// script's place, both as the browser parses them, so the HTML in the input is
// checked along with the text.

#include "convert/converters.h"
#include "tests/roundtrip/cases.h"
#include "tests/roundtrip/roundtrip_test.h"

namespace quillvane::roundtrip {
namespace {

constexpr std::string_view kScriptOpening = "<script language=\"JavaScript\">";
constexpr std::string_view kScriptClosing = "</script>";

std::string CaseOpening(std::size_t i) {
    return "<div id=\"case-" + std::to_string(i) + "\">";
}

// One page with every case in its own element, so that the browser starts only
// twice: once for the scripts, once for the expected text.
std::string Page(const std::vector<std::string>& contents) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>round trip</title></head><body>\n";
    for (std::size_t i = 0; i < contents.size(); ++i)
        page += CaseOpening(i) + contents[i] + "</div>\n";
    return page + "</body></html>\n";
}

// The DOM as Chromium serializes it after loading `file`, kept off the network.
ProgramRun DumpDom(const std::string& chromium, const TempDir& dir, const std::string& file) {
    return RunProgram({chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                       "--no-first-run", "--disable-background-networking", "--disable-component-update",
                       "--disable-sync", "--user-data-dir=" + (dir.path() / ("profile-" + file)).string(),
                       "--dump-dom", "file://" + (dir.path() / file).string()},
                      dir.path(), std::chrono::seconds(180));
}

// The serialized DOM cut at each case's element; empty when an element is missing,
// which means some input escaped its element.
std::vector<std::string> CaseSegments(const std::string& dom, std::size_t count) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = dom.find(CaseOpening(i), starts.empty() ? 0 : starts.back());
        if (at == std::string::npos)
            return {};
        starts.push_back(at);
    }
    starts.push_back(dom.find("</body>", starts.back()));
    std::vector<std::string> segments;
    for (std::size_t i = 0; i < count; ++i)
        segments.push_back(dom.substr(starts[i], starts[i + 1] - starts[i]));
    return segments;
}

// The scripts left aside: what remains is what they wrote.
std::string WithoutScripts(std::string html) {
    for (std::size_t at; (at = html.find(kScriptOpening)) != std::string::npos;) {
        const std::size_t end = html.find(kScriptClosing, at);
        html.erase(at, end == std::string::npos ? std::string::npos : end + kScriptClosing.size() - at);
    }
    return html;
}

TEST_F(RoundTrip, JavaScriptWritesTheInputLines) {
    const std::string chromium = Require("chromium", "chromium");
    ASSERT_FALSE(chromium.empty());

    // No backslash, no lone CR or LF (a string literal cannot span lines), no "<"
    // outside whole tags (a tag left open, "<script" or "<!--" would swallow the
    // rest of the page), so no "</script".
    std::vector<std::string> tokens = {"<b>",
                                       "</b>",
                                       "<i>",
                                       "</i>",
                                       "<em>",
                                       "</em>",
                                       "<u>",
                                       "<span class='k'>",
                                       "</span>",
                                       "<br>",
                                       "<p>",
                                       "</p>",
                                       "<hr>",
                                       "<a href='#x'>",
                                       "</a>",
                                       "<img alt='q'>",
                                       "&amp;",
                                       "&lt;",
                                       "&copy;",
                                       "&#65;",
                                       "&#x263A;",
                                       "a < b",
                                       "<!-- note -->",
                                       "<% x %>",
                                       "<? x ?>",
                                       "$",
                                       "@",
                                       "%",
                                       "?",
                                       "&",
                                       ">",
                                       "\u2028"};
    for (const std::string& utf8 : Utf8Tokens())
        tokens.push_back(utf8);
    InputGenerator inputs(1995, kPlainCharacters, tokens);
    const auto cases = MakeCases(inputs, 300, ConvertToJavaScript, {"document.writeln"},
                                 [](const std::vector<std::string>& lines, bool single) {
                                     std::string written;
                                     for (const std::string& line : lines)
                                         written += line + (single ? "" : "\n");
                                     return single ? written + "\n" : written;
                                 });

    std::vector<std::string> scripts, expected;
    for (const ConversionCase& c : cases) {
        scripts.push_back(c.code);
        expected.push_back(c.expected);
    }
    dir.Write("scripts.html", Page(scripts));
    dir.Write("expected.html", Page(expected));
    const ProgramRun written = DumpDom(chromium, dir, "scripts.html");
    const ProgramRun wanted = DumpDom(chromium, dir, "expected.html");
    ASSERT_FALSE(written.timedOut || wanted.timedOut) << "chromium: " << Describe(written);
    ASSERT_FALSE(written.output.empty()) << "chromium dumped nothing: " << Describe(written);
    ASSERT_FALSE(wanted.output.empty()) << "chromium dumped nothing: " << Describe(wanted);

    const auto writtenSegments = CaseSegments(written.output, cases.size());
    const auto wantedSegments = CaseSegments(wanted.output, cases.size());
    ASSERT_EQ(wantedSegments.size(), cases.size()) << "an expected text left its element:\n" << wanted.output;
    ASSERT_EQ(writtenSegments.size(), cases.size()) << "a script's output left its element:\n"
                                                    << written.output;
    int differing = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string actual = WithoutScripts(writtenSegments[i]);
        if (actual != wantedSegments[i] && ++differing <= 10)
            ADD_FAILURE() << "case " << i << ", " << cases[i].Describe() << "\n  DOM written: \""
                          << Visible(actual) << "\"\n  DOM wanted:  \"" << Visible(wantedSegments[i]) << "\"";
    }
    EXPECT_EQ(differing, 0);
}

} // namespace
} // namespace quillvane::roundtrip
