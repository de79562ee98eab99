// The generated code, run: a row per language says how its code is made, what its
// input may hold, how its statements print the input's lines and which interpreter
// runs a batch of it. A new mode or alphabet is a new row.

#include "cli/line_breaks.h"
#include "convert/converters.h"
#include "convert/target_records.h"
#include "querystring/snippets.h"
#include "tests/roundtrip/asp_page.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <random>
#include <regex>
#include <set>
#include <sys/wait.h>

namespace quillvane::roundtrip {
namespace {

using testing::TempDir;
using testing::Visible;
using Replacements = std::vector<std::pair<std::string, std::string>>;

struct Case {
    std::string about;    // the settings it was made with
    std::string input;    // the converted text; empty for a snippet
    std::string code;     // what the generator wrote
    std::string program;  // what the interpreter runs: the code, or the code in a harness
    std::string expected; // what the program must print
};

// What every program may read: the variables of the embedded code blocks, and the
// request (PHP superglobal, ASP collection, name, value).
const Replacements kVariables = {{"x", "X1"}, {"name", "Ann \"Q\" 'R' <b>\u00e9"}, {"n", "42"}};
struct Collection {
    std::string superGlobal, aspName;
    std::map<std::string, std::string> values;
};
const Collection kRequest[] = {
    {"GET", "querystring", {{"id", "v\u00e9 1"}, {"blank", ""}, {"zero", "0"}, {"a-b.c", "dots"}}},
    {"POST", "form", {{"id", "posted"}, {"user name", "Ann"}, {"zero", "0"}}},
    {"COOKIE", "cookies", {{"\u65e5", "ja"}, {"blank", ""}}},
};

// ---- Running the interpreters: each runs a batch and returns what each case printed.

constexpr char kCaseEnd = '\x1e'; // what the drivers print after each case

struct Finished {
    int exitCode;
    std::string output, errors;
};

// Quoted for the shell, which takes everything between single quotes literally.
std::string ShellWord(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string PhpString(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' || c == '\\' ? std::string{'\\', c} : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `command` in the folder with no input, under a time limit that takes down
// everything it started, a browser's helpers too.
Finished Run(const TempDir& dir, const std::string& command, int seconds, const std::string& package) {
    const int status =
        std::system(("cd " + ShellWord(dir.Path()) + " && timeout -k 5 " + std::to_string(seconds) + " " +
                     command + " </dev/null >run.out 2>run.err")
                        .c_str());
    Finished run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir.Path() / "run.out"),
                 Slurp(dir.Path() / "run.err")};
    if (run.exitCode == 127)
        ADD_FAILURE() << command.substr(0, command.find(' ')) << " is not installed (Debian package "
                      << package << "); this round trip needs it";
    if (run.exitCode == 124 || run.exitCode == 137)
        ADD_FAILURE() << command << ": timed out";
    if (run.errors.size() > 3000)
        run.errors = "..." + run.errors.substr(run.errors.size() - 3000);
    return run;
}

std::vector<std::string> Records(const Finished& run, const char* program) {
    EXPECT_EQ(run.exitCode, 0) << program << ": " << run.errors;
    std::vector<std::string> records;
    for (std::size_t start = 0, end; (end = run.output.find(kCaseEnd, start)) != std::string::npos;
         start = end + 1)
        records.push_back(run.output.substr(start, end - start));
    return records;
}

void WriteCases(const TempDir& dir, const std::vector<Case>& cases, const std::string& suffix) {
    for (std::size_t i = 0; i < cases.size(); ++i)
        dir.Write("case" + std::to_string(i) + suffix, cases[i].program);
}

std::vector<std::string> RunAsp(const TempDir&, std::vector<Case>& cases) {
    AspEnvironment environment;
    environment.variables.insert(kVariables.begin(), kVariables.end());
    for (const Collection& collection : kRequest)
        environment.request[collection.aspName] = collection.values;
    std::vector<std::string> printed;
    for (const Case& c : cases)
        printed.push_back(RunAspPage(c.program, environment));
    return printed;
}

// Each case is included on its own, so that an error ends only its case; notices
// and warnings go into the output, so that they fail it.
std::vector<std::string> RunPhp(const TempDir& dir, std::vector<Case>& cases) {
    std::string prelude;
    for (const auto& [name, value] : kVariables)
        prelude += "$" + name + " = " + PhpString(value) + ";\n";
    for (const Collection& collection : kRequest) {
        prelude += "$_" + collection.superGlobal + " = [";
        for (const auto& [name, value] : collection.values)
            prelude += PhpString(name) + " => " + PhpString(value) + ", ";
        prelude += "];\n";
    }
    WriteCases(dir, cases, ".php");
    dir.Write("driver.php",
              "<?php\n" + prelude + "for ($qv_case = 0; $qv_case < " + std::to_string(cases.size()) +
                  "; ++$qv_case) {\n"
                  "    try { include \"case$qv_case.php\"; }\n"
                  "    catch (Throwable $e) { echo '[', get_class($e), ': ', $e->getMessage(), ']'; }\n"
                  "    echo \"\\x1e\";\n}\n");
    return Records(Run(dir, "php -d display_errors=stdout -d error_reporting=-1 -d html_errors=0 driver.php",
                       120, "php-cli"),
                   "php");
}

// Each case is compiled and run on its own; warnings become errors, so that they show.
std::vector<std::string> RunPerl(const TempDir& dir, std::vector<Case>& cases) {
    WriteCases(dir, cases, ".pl");
    dir.Write("driver.pl", "use strict;\nuse warnings;\nbinmode STDOUT;\n"
                           "local $SIG{__WARN__} = sub { die \"warning: $_[0]\" };\n"
                           "for my $case (0 .. " +
                               std::to_string(cases.size()) +
                               " - 1) {\n"
                               "    open(my $file, '<:raw', \"case$case.pl\") or die \"case$case.pl: $!\";\n"
                               "    my $code = do { local $/; <$file> };\n"
                               "    eval \"$code\\n;1\" or print \"[$@]\";\n"
                               "    print \"\\x1e\";\n}\n");
    return Records(Run(dir, "perl driver.pl", 120, "perl"), "perl");
}

// The scriptlets become methods of one class whose `out` is a PrintWriter, as a
// servlet's is; javac's complaints are traced back to their cases.
std::vector<std::string> RunJava(const TempDir& dir, std::vector<Case>& cases) {
    std::string source =
        "import java.io.*;\nimport java.nio.charset.StandardCharsets;\npublic class Cases {\n";
    std::vector<long> firstLines;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string& code = cases[i].program;
        // The container ends the scriptlet at the first "%>", whatever the Java means.
        EXPECT_TRUE(code.starts_with("<%") && code.size() >= 4 && code.find("%>", 2) == code.size() - 2)
            << code;
        firstLines.push_back(std::count(source.begin(), source.end(), '\n') + 1);
        source += "static void case" + std::to_string(i) + "(PrintWriter out) {\n" +
                  code.substr(2, code.size() - std::min<std::size_t>(code.size(), 4)) + "\n}\n";
    }
    source += "public static void main(String[] args) {\n    PrintWriter out = new PrintWriter("
              "new OutputStreamWriter(System.out, StandardCharsets.UTF_8));\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        source += "    case" + std::to_string(i) + "(out); out.print((char) 30);\n";
    dir.Write("Cases.java", source + "    out.flush();\n}\n}\n");

    const Finished compiled =
        Run(dir, "javac -encoding UTF-8 -nowarn -d . Cases.java", 240, "default-jdk-headless");
    if (compiled.exitCode != 0) {
        std::set<std::size_t> culprits;
        const std::regex errorLine("Cases\\.java:([0-9]+): error");
        for (std::sregex_iterator it(compiled.errors.begin(), compiled.errors.end(), errorLine), end;
             it != end; ++it)
            culprits.insert(std::upper_bound(firstLines.begin(), firstLines.end(), std::stol((*it)[1])) -
                            firstLines.begin() - 1);
        std::string named;
        for (const std::size_t i : culprits)
            named += i < cases.size() ? "\ncase " + std::to_string(i) + ": " + Visible(cases[i].code) : "";
        ADD_FAILURE() << "javac: " << compiled.errors << named;
        return {};
    }
    return Records(
        Run(dir, "java -Xshare:auto -XX:TieredStopAtLevel=1 -cp . Cases", 120, "default-jdk-headless"),
        "java");
}

// The page as the browser's DOM holds it once its scripts have run.
std::string DumpDom(const TempDir& dir, const std::string& name) {
    return Run(dir,
               "chromium --headless --no-sandbox --disable-gpu --no-first-run "
               "--disable-background-networking "
               "--disable-component-update --disable-sync --user-data-dir=" +
                   ShellWord(dir / ("profile-" + name)) + " --dump-dom " +
                   ShellWord("file://" + (dir / name)),
               180, "chromium")
        .output;
}

// A page with each piece in an element of its own, as the browser serializes its
// DOM, cut at those elements: a piece that escaped its element shows.
std::vector<std::string> BrowserDom(const TempDir& dir, const std::string& name,
                                    const std::vector<std::string>& pieces) {
    const std::string mark = "<div id=\"case-";
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n";
    for (std::size_t i = 0; i < pieces.size(); ++i)
        page += mark + std::to_string(i) + "\">" + pieces[i] + "</div>\n";
    dir.Write(name, page + "</body></html>\n");
    const std::string dom = DumpDom(dir, name);
    std::vector<std::string> segments;
    for (std::size_t at = dom.find(mark), next; at != std::string::npos; at = next) {
        next = dom.find(mark, at + 1);
        segments.push_back(dom.substr(at, (next == std::string::npos ? dom.find("</body>", at) : next) - at));
    }
    return segments;
}

// The scripts' page, scripts left out, must be the page that holds the expected
// text in their places, both as the browser parses them: the HTML in the input is
// checked along with the text.
std::vector<std::string> RunChromium(const TempDir& dir, std::vector<Case>& cases) {
    std::vector<std::string> scripts, expected;
    for (const Case& c : cases)
        scripts.push_back(c.program), expected.push_back(c.expected);
    std::vector<std::string> written = BrowserDom(dir, "scripts.html", scripts);
    expected = BrowserDom(dir, "expected.html", expected);
    EXPECT_EQ(expected.size(), cases.size()) << "an expected text escaped its element";
    for (std::size_t i = 0; i < expected.size() && i < cases.size(); ++i)
        cases[i].expected = expected[i];
    const std::string opening = "<script language=\"JavaScript\">", closing = "</script>";
    for (std::string& dom : written)
        for (std::size_t at; (at = dom.find(opening)) != std::string::npos;)
            dom.erase(at, dom.find(closing, at) + closing.size() - at);
    return written;
}

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '%' || i + 2 >= text.size())
            out += text[i];
        else
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)), i += 2;
    return out;
}

// The scripts run with a document.writeln that keeps what it is given; each case's
// text comes back percent-encoded. A script element that ends early, or a literal
// that reads otherwise, prints something else for its case.
std::vector<std::string> RunChromiumText(const TempDir& dir, std::vector<Case>& cases) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><script>\nvar qvCases = [], qvText;\n"
        "document.writeln = function (s) { qvText.push(s + '\\n'); };\n</script></head><body>\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        page +=
            "<script>qvText = qvCases[" + std::to_string(i) + "] = [];</script>\n" + cases[i].program + "\n";
    dir.Write("text.html", page + "<script>\nfor (var i = 0; i < qvCases.length; ++i) {\n"
                                  "  var pre = document.createElement('pre');\n"
                                  "  try { pre.textContent = encodeURIComponent(qvCases[i].join('')); }\n"
                                  "  catch (e) { pre.textContent = String(e); }\n"
                                  "  document.body.appendChild(pre);\n}\n</script>\n</body></html>\n");
    const std::string dom = DumpDom(dir, "text.html");
    std::vector<std::string> printed;
    for (std::size_t at = 0; (at = dom.find("<pre>", at)) != std::string::npos; at += 5)
        printed.push_back(PercentDecoded(dom.substr(at + 5, dom.find("</pre>", at) - at - 5)));
    return printed;
}

// ---- The cases.

using Converter =
    std::function<std::string(std::string text, const std::string& keyword, bool singleStatement,
                              bool preserveEmptyLines, bool preserveTabs)>;

struct Language {
    const char* name;
    Converter convert;
    std::vector<std::string> keywords;
    std::vector<std::string> pieces; // drawn besides kPlain: what the target takes literally, and blocks
    Replacements printedAs;          // pieces of a line that print otherwise: blocks, rewritten characters
    // How the statements print the lines: each followed by lineEnd; or as one
    // statement, joined by joint and followed by singleEnd.
    const char *lineEnd, *joint, *singleEnd;
    std::vector<std::string> (*run)(const TempDir& dir, std::vector<Case>& cases);
    std::vector<Case> (*snippets)();
    std::uint32_t seed;
    int count;
    int filterEvery = 0; // every so many cases are converted by quillvane-convert --exact instead
};

// Characters that every target takes literally inside its string literals.
constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyz ABCXYZ 0123456789  .,;:!#*+-=/()[]{}|~^_`'\"";

std::string Line(std::mt19937& random, const std::vector<std::string>& pieces) {
    const std::size_t kind = random() % 100;
    if (kind < 20) // empty and tab-only lines
        return std::string(kind < 15 ? 0 : 1 + random() % 3, '\t');
    std::string line;
    for (std::size_t n = 1 + random() % 10; n > 0; --n)
        line += random() % 12 == 0  ? "\t"
                : random() % 4 == 0 ? pieces[random() % pieces.size()]
                                    : std::string(1, kPlain[random() % kPlain.size()]);
    return line;
}

// Mostly a few lines, now and then a page; sometimes a leading run of line breaks
// or a final one, sometimes nothing at all.
std::string Text(std::mt19937& random, const std::vector<std::string>& pieces) {
    if (random() % 20 == 0)
        return "";
    std::string text = random() % 8 == 0 ? std::string(random() % 2 == 0 ? "\r\n" : "\r\n\r\n") : "";
    const std::size_t lines = random() % 25 == 0 ? 30 + random() % 50 : 1 + random() % 6;
    for (std::size_t i = 0; i < lines; ++i)
        text += (i == 0 ? "" : "\r\n") + Line(random, pieces);
    return random() % 3 == 0 ? text + "\r\n" : text;
}

// Leftmost first; what was put in is not looked at again.
std::string Replaced(const std::string& line, const Replacements& replacements) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const auto hit = std::find_if(replacements.begin(), replacements.end(), [&](const auto& r) {
            return line.compare(i, r.first.size(), r.first) == 0;
        });
        out += hit == replacements.end() ? std::string(1, line[i]) : hit->second;
        i += hit == replacements.end() ? 1 : hit->first.size();
    }
    return out;
}

// The text gets a final line break, loses its tabs and its empty lines (but a
// leading one) as asked, and each remaining line is printed.
std::string Printed(const Language& language, std::string text, bool single, bool emptyLines, bool tabs) {
    if (!tabs)
        std::erase(text, '\t');
    text += "\r\n";
    std::string printed;
    bool first = true;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        if (emptyLines || first || end != start)
            printed += (single && !first ? language.joint : "") +
                       Replaced(text.substr(start, end - start), language.printedAs) +
                       (single ? "" : language.lineEnd);
        first = false;
    }
    return single ? printed + language.singleEnd : printed;
}

// The program as an editor runs it: the text on standard input, the code on
// standard output. Every lone CR and LF of the text is a line break to it.
std::string Filtered(const TempDir& dir, const std::string& input, const std::string& keyword, bool single,
                     bool emptyLines, bool tabs) {
    // clang-format off
    const std::map<std::string, std::string> targets = {{"", "asp"}, {"Echo", "php-echo"}, {"Print", "php-print"},
        {"document.writeln", "javascript"}, {"out.println", "jsp"}, {"print", "perl"}};
    // clang-format on
    dir.Write("filter.in", input);
    const std::string command = std::string(QUILLVANE_CONVERT) + " --exact --to " + targets.at(keyword) +
                                (single ? " --single-statement" : "") +
                                (emptyLines ? "" : " --drop-empty-lines") + (tabs ? "" : " --drop-tabs") +
                                (input.find('\0') != input.npos ? " --force" : "");
    const Finished run = Run(dir, "sh -c " + ShellWord(command + " <filter.in"), 30, "quillvane-convert");
    EXPECT_EQ(run.exitCode, 0) << command << ": " << run.errors;
    return run.output;
}

// The flags cycle through all eight combinations, the keywords take turns; a seed
// gives the same inputs everywhere.
std::vector<Case> ConversionCases(const Language& language, const TempDir& dir) {
    std::mt19937 random(language.seed);
    std::vector<Case> cases;
    for (int i = 0; i < language.count; ++i) {
        const bool single = i & 1, emptyLines = i & 2, tabs = i & 4;
        const bool filtered = language.filterEvery != 0 && i % language.filterEvery == 0;
        const std::string& keyword = language.keywords[(i / 8) % language.keywords.size()];
        const std::string input = Text(random, language.pieces);
        const std::string code = filtered ? Filtered(dir, input, keyword, single, emptyLines, tabs)
                                          : language.convert(input, keyword, single, emptyLines, tabs);
        cases.push_back(
            {std::string(filtered ? "quillvane-convert, " : "") + (single ? "single statement" : "per line") +
                 (emptyLines ? ", empty lines kept" : ", empty lines dropped") +
                 (tabs ? ", tabs kept" : ", tabs dropped") + ", keyword " + keyword,
             input, code, code,
             Printed(language, filtered ? NormalizeLineBreaks(input) : input, single, emptyLines, tabs)});
    }
    return cases;
}

// Request variables present, empty, "0", in another collection only, absent; new
// names and defaults of many shapes.
const std::vector<std::string> kRequestNames = {"id",        "blank",  "zero",  "a-b.c",
                                                "user name", "\u65e5", "absent"};
const std::vector<std::string> kNewNames = {"intID", "userName", "v_2", "Lang"};
const std::vector<std::string> kDefaults = {"1", "", "en gb", "it's <b>"};

// The value of the first of `collections` (superglobals or ASP collections) that holds `name`.
const std::string* Lookup(const std::vector<std::string>& collections, const std::string& name) {
    for (const std::string& wanted : collections)
        for (const Collection& collection : kRequest)
            if ((collection.superGlobal == wanted || collection.aspName == wanted) &&
                collection.values.count(name))
                return &collection.values.at(name);
    return nullptr;
}

std::vector<Case> PhpSnippets() {
    std::vector<Case> cases;
    for (const std::string superGlobal : {"GET", "POST", "COOKIE"})
        for (const std::string test : {"isset", "empty"})
            for (const std::string& name : kRequestNames) {
                const std::string& newName = kNewNames[cases.size() % kNewNames.size()];
                const std::string& fallback = kDefaults[cases.size() / 2 % kDefaults.size()];
                const std::string* value = Lookup({superGlobal}, name);
                // isset misses only an absent variable; empty also "" and "0".
                const bool missing = !value || (test == "empty" && (value->empty() || *value == "0"));
                const std::string code = RequestSnippetPHP(name, newName, superGlobal, fallback, test);
                cases.push_back({"$_" + superGlobal + "['" + name + "'], " + test + ", default " + fallback,
                                 "", code,
                                 "<?php\nunset($" + newName + ");\n" + code + "\necho $" + newName + ";\n",
                                 missing ? fallback : *value});
            }
    return cases;
}

std::vector<Case> AspSnippets() {
    const std::vector<std::pair<std::string, std::vector<std::string>>> objects = {
        {"Request", {"querystring", "form", "cookies"}},
        {"Request.Form", {"form"}},
        {"Request.QueryString", {"querystring"}}};
    std::vector<Case> cases;
    for (const auto& [object, collections] : objects)
        for (const bool declare : {false, true})
            for (const bool checkLength : {false, true})
                for (const std::string& name : kRequestNames) {
                    const std::string& newName = kNewNames[cases.size() % kNewNames.size()];
                    const std::string& fallback = kDefaults[cases.size() / 2 % kDefaults.size()];
                    const std::string* value = Lookup(collections, name);
                    const std::string found = value ? *value : "";
                    const std::string code =
                        RequestSnippetASP(name, newName, object, fallback, declare, checkLength);
                    cases.push_back({object + "(\"" + name + "\"), declare " + std::to_string(declare) +
                                         ", check length " + std::to_string(checkLength) + ", default " +
                                         fallback,
                                     "", code, "<%\r\n" + code + "\r\nResponse.Write " + newName + "\r\n%>",
                                     checkLength && found.empty() ? fallback : found});
                }
    return cases;
}

// The row's pieces ("|" between them), its blocks, and multi-byte characters and
// the no-break space, which must pass through untouched.
std::vector<std::string> Pieces(const std::string& pieces, const Replacements& blocks = {}) {
    std::vector<std::string> all = {"\u00e9", "\u20ac", "\u65e5\u672c", "\u00a0", "\u00df"};
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1)
        all.push_back(pieces.substr(start, (end = pieces.find('|', start)) - start));
    for (const auto& [block, value] : blocks)
        all.push_back(block);
    return all;
}

std::string ConvertToAspAnyKeyword(std::string text, const std::string&, bool single, bool empty, bool tabs) {
    return ConvertToASP(std::move(text), single, empty, tabs);
}

const std::string kName = kVariables[1].second;
const Replacements kAspBlocks = {{"<%= x %>", "X1"},       {"<%=Name%>", kName}, {"<%=  n %>", "42"},
                                 {"<%= x & n %>", "X142"}, {"<%=%>", ""},        {"<%= %>", ""}};
Replacements Plus(Replacements first, const Replacements& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}
const Replacements kPhpBlocks = {{"<? $x ?>", "X1"},      {"<?$name?>", kName}, {"<?  $n ?>", "42"},
                                 {"<? $x.$n ?>", "X142"}, {"<? ?>", ""},        {"<?\?>", ""}};

const Replacements kAspExactBlocks = Plus(kAspBlocks, {{"<% = n %>", "42"}, {"<%= \"q\" & x %>", "qX1"}});
const Replacements kPhpExactBlocks = Plus(kPhpBlocks, {{"<?= $x ?>", "X1"}});
Converter Exactly(Target target) {
    return [target](std::string text, const std::string& keyword, bool single, bool empty, bool tabs) {
        return ConvertForTarget(target, std::move(text), keyword, single, empty, tabs, true);
    };
}
// What some target reads in a literal or around it; the exact mode prints it all as it stands.
const std::string kExact =
    "\\|\\n|\\u0022|$|$x|{$x}|@|@x|\"|</script>|<!--|-->|<script>|<SCRIPT|%>|?>|\r|\n|\u2028|\u2029";

// One row per language (and, to come, per mode); the table reads best unwrapped.
// clang-format off
const Language kLanguages[] = {
    // The converter turns " into an apostrophe. No lone CR or LF (a VBScript string
    // cannot span lines), no "%" outside the blocks (a "%>" would end the script).
    {"Asp", ConvertToAspAnyKeyword, {""}, Pieces("<|>|&|?|$|@|\\|<b>|</b>|<? x ?>", kAspBlocks),
     Plus({{"\"", "'"}}, kAspBlocks), "\r\n", "\r\n", "", RunAsp, AspSnippets, 1997, 400},
    // No backslash and no dollar sign, which a double-quoted string reads; "?" only
    // inside the blocks, so that every block is one the converter splices.
    {"Php", ConvertToPHP, {"Echo", "Print"}, Pieces("<|>|&|%|@|<b>|</b>|\r|\n|\r\t\n|<%= y %>", kPhpBlocks),
     kPhpBlocks, " \n", "", "", RunPhp, PhpSnippets, 20261206, 400},
    // No backslash, dollar or at sign, which a double-quoted Perl string reads. A CR
    // and an LF with tabs between them are a line break once the tabs are gone.
    {"Perl", ConvertToPerl, {"print"}, Pieces("<|>|&|%|?|<? x ?>|<%= y %>|<b>|\r|\n|\r\t\n"),
     {}, "\n", "", "", RunPerl, nullptr, 4207, 300},
    // No backslash (Java reads \u even outside strings), no lone CR or LF, no "%>".
    {"Jsp", ConvertToJSP, {"out.println"}, Pieces("<|>|&|$|@|?|<? x ?>|<b>|</b>|\u2028"),
     {}, "\n", "", "\n", RunJava, nullptr, 7331, 300},
    // No backslash, no lone CR or LF, no "<" outside whole tags (a tag left open,
    // "<script" or "<!--" would swallow the rest of the page).
    {"JavaScript", ConvertToJavaScript, {"document.writeln"},
     Pieces("<b>|</b>|<i>|</i>|<span class='k'>|</span>|<br>|<p>|</p>|<a href='#x'>|</a>|<img alt='q'>|&amp;|"
            "&lt;|&copy;|&#65;|&#x263A;|a < b|<!-- note -->|<% x %>|<? x ?>|$|@|%|?|&|>|\u2028"),
     {}, "\n", "", "\n", RunChromium, nullptr, 1995, 300},
    // Exact mode: every piece prints as it stands. ASP and PHP open blocks only in
    // whole ones (a stray "<?" or "<%=" would take the next closing on its line).
    {"AspExact", Exactly(Target::ASP), {""}, Pieces(kExact + "|<% If a %>", kAspExactBlocks),
     kAspExactBlocks, "\r\n", "\r\n", "", RunAsp, nullptr, 2027, 300, 7},
    {"PhpExact", Exactly(Target::PHP), {"Echo", "Print"}, Pieces(kExact, kPhpExactBlocks), kPhpExactBlocks,
     " \n", "", "", RunPhp, nullptr, 2028, 300, 7},
    {"PerlExact", Exactly(Target::Perl), {"print"}, Pieces(kExact + "|<%= x %>|<? x ?>|%h|@{[1]}"),
     {}, "\n", "", "", RunPerl, nullptr, 2029, 300, 7},
    {"JspExact", Exactly(Target::JSP), {"out.println"}, Pieces(kExact + "|<%= x %>|<%"),
     {}, "\n", "", "\n", RunJava, nullptr, 2030, 300, 7},
    {"JavaScriptExact", Exactly(Target::JavaScript), {"document.writeln"},
     Pieces(kExact + "|${x}|`|<S|</|<s|" + std::string(1, '\0')), {}, "\n", "", "\n", RunChromiumText,
     nullptr, 2031, 300, 7},
};
// clang-format on

class RoundTrip : public ::testing::TestWithParam<Language> {};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

TEST_P(RoundTrip, PrintsWhatTheGeneratorsPromise) {
    const Language& language = GetParam();
    TempDir dir;
    std::vector<Case> cases = ConversionCases(language, dir);
    for (Case& c : language.snippets != nullptr ? language.snippets() : std::vector<Case>{})
        cases.push_back(std::move(c));
    const std::vector<std::string> printed = language.run(dir, cases);
    EXPECT_EQ(printed.size(), cases.size()) << "the interpreter printed a different number of cases";
    int differing = 0;
    for (std::size_t i = 0; i < std::min(cases.size(), printed.size()); ++i)
        if (printed[i] != cases[i].expected && ++differing <= 10)
            ADD_FAILURE() << "case " << i << ", " << cases[i].about << "\n  input:    \""
                          << Visible(cases[i].input) << "\"\n  code:     \"" << Visible(cases[i].code)
                          << "\"\n  expected: \"" << Visible(cases[i].expected) << "\"\n  printed:  \""
                          << Visible(printed[i]) << "\"";
    EXPECT_EQ(differing, 0) << "cases printed something else (the first 10 shown)";
    if (HasFailure()) {
        dir.Keep();
        std::cerr << "the batch is kept in " << dir.Path() << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, RoundTrip, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

// The ASP evaluator is strict, so that a pass above means something.
TEST(AspPage, RunsTheSubsetAndRejectsTheRest) {
    const AspEnvironment environment{{{"x", "X1"}}, {{"cookies", {{"c", "k"}}}}};
    const std::pair<std::string, std::string> pages[] = {
        {"a<%\r\nResponse.Write (\"b\" & vbNewLine & _\r\n\"c\")\r\n%>d", "ab\r\ncd"},
        {"<% Response.Write \"q\"\"q\" & X %>", "q\"qX1"},
        {"<% If Len(Request(\"c\")) = 0 Then\nv = \"d\"\nElse\nv = Request.Form(\"c\")\nEnd if\n"
         "Response.Write v & \"|\" %>",
         "|"},
        {"<% Response.Write (\"a\r\nb\") %>", "[error"},               // a string cannot span lines
        {"<% Response.Write (\"a\" & y) %>", "[error"},                // y is undefined
        {"<% Response.Write (\"a\" & _\r\n\r\n\"b\") %>", "[error"},   // a continuation needs its line
        {"<% Response.Write (\"%>\") %>", "[error"},                   // the block ends at the first %>
        {"<% Response.Write (\"a\" \"b\") %>", "[error"},              // no operator between operands
        {"<% If Len(x) = 0 Then\r\nResponse.Write 1\r\n%>", "[error"}, // no End If
    };
    for (const auto& [page, output] : pages) {
        const std::string wrote = RunAspPage(page, environment);
        EXPECT_EQ(wrote.starts_with("[error: ") ? "[error" : wrote, output) << page;
    }
}

} // namespace
} // namespace quillvane::roundtrip
