// The generated JSP scriptlets, compiled by javac inside a class whose `out` is a
// PrintWriter, as a servlet's is, and run by java: out.println prints each
// line followed by the line separator.

#include "convert/converters.h"
#include "tests/roundtrip/cases.h"
#include "tests/roundtrip/roundtrip_test.h"

#include <algorithm>
#include <regex>
#include <set>

namespace quillvane::roundtrip {
namespace {

constexpr std::string_view kScriptletOpening = "<%\r\n\r\n";
constexpr std::string_view kScriptletClosing = "\r\n\r\n%>";

TEST_F(RoundTrip, JspPrintsTheInputLines) {
    const std::string javac = Require("javac", "default-jdk-headless");
    const std::string java = Require("java", "default-jdk-headless");
    ASSERT_FALSE(javac.empty() || java.empty());

    // No backslash (Java reads escapes, \u even outside strings), no lone CR or LF
    // (a Java string cannot span lines), no "%>" (it would end the scriptlet).
    std::vector<std::string> tokens = {"<", ">", "&", "$", "@", "?", "<? x ?>", "<b>", "</b>", "\u2028"};
    for (const std::string& utf8 : Utf8Tokens())
        tokens.push_back(utf8);
    InputGenerator inputs(7331, kPlainCharacters, tokens);
    const auto cases = MakeCases(inputs, 300, ConvertToJSP, {"out.println"},
                                 [](const std::vector<std::string>& lines, bool single) {
                                     std::string printed;
                                     for (const std::string& line : lines)
                                         printed += line + (single ? "" : "\n");
                                     return single ? printed + "\n" : printed;
                                 });

    std::string source =
        "import java.io.*;\nimport java.nio.charset.StandardCharsets;\n\npublic class Cases {\n";
    std::vector<int> firstLines; // where each case's method starts, to name the case javac complains about
    int line = 5;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string& code = cases[i].code;
        std::string body;
        if (code.starts_with(kScriptletOpening) && code.ends_with(kScriptletClosing))
            body = code.substr(kScriptletOpening.size(),
                               code.size() - kScriptletOpening.size() - kScriptletClosing.size());
        else
            ADD_FAILURE() << "case " << i << " is not one scriptlet: " << cases[i].Describe();
        firstLines.push_back(line);
        source += "static void case" + std::to_string(i) + "(PrintWriter out) {\n" + body + "\n}\n";
        line += 3 + static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    }
    source += "public static void main(String[] args) {\n"
              "    PrintWriter out = new PrintWriter(new OutputStreamWriter(System.out, "
              "StandardCharsets.UTF_8));\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        source += "    case" + std::to_string(i) + "(out); out.print((char) 30);\n";
    source += "    out.flush();\n}\n}\n";
    dir.Write("Cases.java", source);

    const ProgramRun compile = RunProgram({javac, "-encoding", "UTF-8", "-nowarn", "-d", ".", "Cases.java"},
                                          dir.path(), std::chrono::seconds(240));
    if (compile.exitCode != 0) {
        std::set<std::size_t> culprits;
        const std::regex errorLine("Cases\\.java:([0-9]+): error");
        for (std::sregex_iterator it(compile.errors.begin(), compile.errors.end(), errorLine), end; it != end;
             ++it) {
            const int at = std::stoi((*it)[1]);
            const auto next = std::upper_bound(firstLines.begin(), firstLines.end(), at);
            if (next != firstLines.begin())
                culprits.insert(static_cast<std::size_t>(next - firstLines.begin() - 1));
        }
        std::string named;
        for (const std::size_t i : culprits)
            named += "\ncase " + std::to_string(i) + ", " + cases[i].Describe();
        FAIL() << "javac: " << Describe(compile) << named;
    }
    const ProgramRun run = RunProgram({java, "-Xshare:auto", "-XX:TieredStopAtLevel=1", "-cp", ".", "Cases"},
                                      dir.path(), std::chrono::seconds(120));
    EXPECT_EQ(run.exitCode, 0) << "java: " << Describe(run);
    EXPECT_EQ(ExpectPrinted(cases, SplitRecords(run.output, '\x1e')), 0);
}

} // namespace
} // namespace quillvane::roundtrip
