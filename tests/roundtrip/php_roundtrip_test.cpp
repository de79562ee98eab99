// The generated PHP, run by php: the converter's code prints exactly the input's
// lines (blocks spliced in), and the request snippets pick the request variable
// or the default as the test demands.

#include "convert/converters.h"
#include "querystring/snippets.h"
#include "tests/roundtrip/cases.h"
#include "tests/roundtrip/roundtrip_test.h"

#include <utility>

namespace quillvane::roundtrip {
namespace {

constexpr char kRecordEnd = '\x1e';

std::string PhpLiteral(const std::string& text) {
    return "'" + ReplaceAll(ReplaceAll(text, "\\", "\\\\"), "'", "\\'") + "'";
}

// Runs case0.php ... in one php process, each included from a driver that has
// already run `prelude`; a parse error or exception ends only its own case.
std::vector<std::string> RunPhpCases(const std::string& php, const TempDir& dir, const std::string& prelude,
                                     const std::vector<std::string>& files) {
    for (std::size_t i = 0; i < files.size(); ++i)
        dir.Write("case" + std::to_string(i) + ".php", files[i]);
    dir.Write("driver.php",
              "<?php\n" + prelude + "\nfor ($qv_case = 0; $qv_case < " + std::to_string(files.size()) +
                  "; ++$qv_case) {\n"
                  "    try {\n"
                  "        include \"case$qv_case.php\";\n"
                  "    } catch (Throwable $qv_error) {\n"
                  "        echo '[', get_class($qv_error), ': ', $qv_error->getMessage(), ']';\n"
                  "    }\n"
                  "    echo \"\\x1e\";\n"
                  "}\n");
    // Notices and warnings go into the output, so that they fail their case.
    const ProgramRun run = RunProgram(
        {php, "-d", "display_errors=stdout", "-d", "error_reporting=-1", "-d", "html_errors=0", "driver.php"},
        dir.path(), std::chrono::seconds(120));
    EXPECT_EQ(run.exitCode, 0) << "php: " << Describe(run);
    return SplitRecords(run.output, kRecordEnd);
}

// The names that the spliced blocks read, defined by the prelude.
const std::vector<std::pair<std::string, std::string>> kBlocks = {
    {"<? $x ?>", "X1"},  {"<?$name?>", "Ann \"Q\" <b>\u00e9"},
    {"<?  $n ?>", "42"}, {"<? $x.$n ?>", "X142"},
    {"<? ?>", ""},       {"<?\?>", ""}, // the escape keeps the compiler from reading a trigraph
};
const char* const kPrelude = "$x = 'X1'; $name = 'Ann \"Q\" <b>\u00e9'; $n = 42;";

std::string PrintedPhpLine(std::string line) {
    for (const auto& [block, value] : kBlocks)
        line = ReplaceAll(line, block, value);
    return line;
}

TEST_F(RoundTrip, PhpPrintsTheInputLines) {
    const std::string php = Require("php", "php-cli");
    ASSERT_FALSE(php.empty());

    // No backslash and no dollar sign, which the double-quoted string would read;
    // "?" only inside the blocks, so that every block is one the converter splices.
    std::vector<std::string> tokens = {"<", ">", "&", "%", "@", "<b>", "</b>", "\r", "\n", "<%= y %>"};
    for (const auto& [block, value] : kBlocks)
        tokens.push_back(block);
    for (const std::string& utf8 : Utf8Tokens())
        tokens.push_back(utf8);
    InputGenerator inputs(20261206, kPlainCharacters, tokens);
    const auto cases = MakeCases(inputs, 400, ConvertToPHP, {"Echo", "Print"},
                                 [](const std::vector<std::string>& lines, bool single) {
                                     std::string printed;
                                     for (const std::string& line : lines)
                                         printed += PrintedPhpLine(line) + (single ? "" : " \n");
                                     return printed;
                                 });

    std::vector<std::string> files;
    for (const ConversionCase& c : cases)
        files.push_back(c.code);
    EXPECT_EQ(ExpectPrinted(cases, RunPhpCases(php, dir, kPrelude, files)), 0);
}

// What a request snippet must leave in its variable.
struct SnippetCase {
    std::string requestName;
    std::string newName;
    std::string superGlobal;
    std::string defaultValue;
    std::string test;
    std::map<std::string, std::map<std::string, std::string>> request; // superglobal -> variables
    std::string expected;
};

TEST_F(RoundTrip, PhpSnippetsReadTheRequestOrTheDefault) {
    const std::string php = Require("php", "php-cli");
    ASSERT_FALSE(php.empty());

    const std::vector<std::pair<std::string, std::string>> names = {
        {"id", "id"}, {"user name", "userName"}, {"a-b.c", "_v2"}, {"\u65e5", "Lang"}};
    const std::vector<std::string> defaults = {"1", "", "en gb", "it's <b>"};
    // What the request holds: the value in the snippet's superglobal, or in another one only.
    struct Presence {
        const char* label;
        bool present;
        bool elsewhere;
        std::string value;
    };
    const std::vector<Presence> presences = {{"a value", true, false, "v\u00e9 1"},
                                             {"an empty value", true, false, ""},
                                             {"\"0\"", true, false, "0"},
                                             {"nothing", false, false, ""},
                                             {"another superglobal", false, true, "other"}};

    std::vector<SnippetCase> cases;
    std::size_t turn = 0;
    for (const std::string superGlobal : {"GET", "POST", "COOKIE"})
        for (const std::string test : {"isset", "empty"})
            for (const Presence& presence : presences)
                for (int variant = 0; variant < 2; ++variant, ++turn) {
                    SnippetCase c;
                    std::tie(c.requestName, c.newName) = names[turn % names.size()];
                    c.superGlobal = superGlobal;
                    c.test = test;
                    c.defaultValue = defaults[(turn / 2) % defaults.size()];
                    c.request["GET"]["unrelated"] = "u";
                    if (presence.present)
                        c.request[superGlobal][c.requestName] = presence.value;
                    if (presence.elsewhere)
                        c.request[superGlobal == "GET" ? "POST" : "GET"][c.requestName] = presence.value;
                    // isset misses only an absent variable; empty also "" and "0".
                    const bool missing =
                        !presence.present ||
                        (test == "empty" && (presence.value.empty() || presence.value == "0"));
                    c.expected = missing ? c.defaultValue : presence.value;
                    cases.push_back(std::move(c));
                }

    std::vector<std::string> files;
    for (const SnippetCase& c : cases) {
        std::string file = "<?php\n";
        for (const std::string superGlobal : {"GET", "POST", "COOKIE"}) {
            file += "$_" + superGlobal + " = [";
            for (const auto& [name, value] : c.request.count(superGlobal)
                                                 ? c.request.at(superGlobal)
                                                 : std::map<std::string, std::string>{})
                file += PhpLiteral(name) + " => " + PhpLiteral(value) + ", ";
            file += "];\n";
        }
        file += "unset($" + c.newName + ");\n";
        file += RequestSnippetPHP(c.requestName, c.newName, c.superGlobal, c.defaultValue, c.test);
        file += "\necho $" + c.newName + ";\n";
        files.push_back(file);
    }

    const auto printed = RunPhpCases(php, dir, "", files);
    ASSERT_EQ(printed.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(printed[i], cases[i].expected)
            << "case " << i << ": $_" << cases[i].superGlobal << "['" << cases[i].requestName << "'], "
            << cases[i].test << ", default \"" << cases[i].defaultValue << "\"\n"
            << files[i];
}

} // namespace
} // namespace quillvane::roundtrip
