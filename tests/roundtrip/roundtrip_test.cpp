// The generated code, run: a row per language says which inputs its targets take,
// how their statements print the input's lines, and how a batch of code becomes one
// program for its interpreter. Each batch holds the window's conversions, the exact
// ones (which must print any input as it stands) and, for ASP and PHP, the snippets.

#include "convert/targets.h"
#include "querystring/snippets.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <sys/wait.h>

namespace quillvane {
namespace {

using testing::TempDir;
using Replacements = std::vector<std::pair<std::string, std::string>>;

struct Case {
    std::string about, program, expected;
};

// The request the snippets read, by PHP superglobal.
const std::map<std::string, std::map<std::string, std::string>> kRequest = {
    {"GET", {{"id", "v\u00e9 1"}, {"blank", ""}, {"zero", "0"}}},
    {"POST", {{"id", "posted"}, {"user name", "Ann"}, {"zero", "0"}}},
    {"COOKIE", {{"\u65e5", "ja"}, {"blank", ""}}}};

std::string PhpString(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        (quoted += c == '\'' || c == '\\' ? "\\" : "") += c;
    return quoted + "'";
}

// ---- Programs: each writes its batch into the folder and returns the shell script
// that prints what every case printed, each followed by the byte 1E.

// Each case is included on its own, in a scope of its own where the embedded
// blocks' variables are set; notices and warnings go into the output, so that
// they fail their case.
std::string Php(const TempDir& dir, std::vector<Case> batch) {
    std::string driver = "<?php\n";
    for (const auto& [global, values] : kRequest) {
        driver += "$_" + global + " = [";
        for (const auto& [name, value] : values)
            driver += PhpString(name) + " => " + PhpString(value) + ", ";
        driver += "];\n";
    }
    for (std::size_t i = 0; i < batch.size(); ++i)
        dir.Write("case" + std::to_string(i) + ".php", batch[i].program);
    dir.Write("driver.php",
              driver + "function run($case) { $x = 'X1'; $name = " + PhpString("Ann \"Q\" 'R' <b>\u00e9") +
                  "; $n = 42; include $case; }\n"
                  "function request_querystring($k) { return $_GET[$k] ?? ''; }\n"
                  "function request_form($k) { return $_POST[$k] ?? ''; }\n"
                  "function request($k) { return $_GET[$k] ?? $_POST[$k] ?? $_COOKIE[$k] ?? ''; }\n"
                  "function len($s) { return strlen($s); }\n"
                  "for ($i = 0; $i < " +
                  std::to_string(batch.size()) +
                  "; ++$i) {\n"
                  "    try { run(\"case$i.php\"); }\n"
                  "    catch (Throwable $e) { echo '[', get_class($e), ': ', $e->getMessage(), ']'; }\n"
                  "    echo \"\\x1e\";\n}\n");
    return "php -d display_errors=stdout -d error_reporting=-1 -d html_errors=0 driver.php";
}

// The VBScript that the generators write, translated token for token. Any other
// token becomes a byte that php rejects, so that what ASP would refuse fails here.
std::string VbScriptAsPhp(const std::string& script) {
    static const std::map<std::string, std::string> words = {{"response.write", "echo "},
                                                             {"dim", ""},
                                                             {"if", "if ("},
                                                             {"then", ") {"},
                                                             {"else", "} else {"},
                                                             {"end", "}"},
                                                             {"&", "."},
                                                             {"(", "("},
                                                             {")", ")"},
                                                             {"vbcr", "\"\\r\""},
                                                             {"vblf", "\"\\n\""},
                                                             {"vbnewline", "\"\\r\\n\""}};
    static const std::regex token(
        R"re(( _)?(\r\n|\r|\n)|"((?:[^"\r\n]|"")*)"|([A-Za-z][\w.]*\(?)|[0-9]+|[&=()]|[ \t]+|[\s\S])re");
    std::string php, previous;
    int onLine = 0;
    for (std::sregex_iterator it(script.begin(), script.end(), token), end; it != end; ++it) {
        const std::smatch& m = *it;
        std::string t = m.str();
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
        if (m[2].matched) { // a line break ends the statement, unless " _" continues it
            php += m[1].matched ? " " : ";\n";
            onLine = 0;
            previous.clear();
            continue;
        }
        if (t[0] == ' ' || t[0] == '\t') {
            php += ' ';
            continue;
        }
        if (++onLine; previous == "end")
            php += t == "if" ? "" : "\x01"; // "End If" closes the block
        else if (m[3].matched)
            php += PhpString(std::regex_replace(m[3].str(), std::regex("\"\""), "\""));
        else if (t == "=")
            php += onLine == 2 ? "=" : "=="; // an assignment, or else a comparison
        else if (words.count(t) != 0)
            php += words.at(t);
        else if (m[4].matched) // a function (Request, Len) or a variable
            php += t.back() == '(' ? std::regex_replace(t, std::regex("\\."), "_") : "$" + t;
        else
            php += std::isdigit(static_cast<unsigned char>(t[0])) ? t : "\x01";
        previous = t;
    }
    return php + ";\n";
}

// The server ends a script block at the first "%>", whatever the script means.
std::string Asp(const TempDir& dir, std::vector<Case> batch) {
    for (Case& c : batch) {
        std::string php = "<?php\n";
        std::size_t at = 0;
        for (std::size_t open; (open = c.program.find("<%", at)) != std::string::npos;) {
            php += "echo " + PhpString(c.program.substr(at, open - at)) + ";\n";
            if ((at = c.program.find("%>", open + 2)) == std::string::npos) {
                php += "\x01";
                break;
            }
            php += VbScriptAsPhp(c.program.substr(open + 2, at - open - 2));
            at += 2;
        }
        c.program = php + "echo " + PhpString(c.program.substr(std::min(at, c.program.size()))) + ";";
    }
    return Php(dir, batch);
}

// Each case compiled and run on its own; warnings are errors, so that they show.
std::string Perl(const TempDir& dir, std::vector<Case> batch) {
    for (std::size_t i = 0; i < batch.size(); ++i)
        dir.Write("case" + std::to_string(i) + ".pl", batch[i].program);
    dir.Write("driver.pl", "use strict;\nuse warnings;\nbinmode STDOUT;\n"
                           "local $SIG{__WARN__} = sub { die \"warning: $_[0]\" };\n"
                           "for my $case (0 .. " +
                               std::to_string(batch.size()) +
                               " - 1) {\n"
                               "    open(my $file, '<:raw', \"case$case.pl\") or die \"case$case.pl: $!\";\n"
                               "    my $code = do { local $/; <$file> };\n"
                               "    eval \"$code\\n;1\" or print \"[$@]\";\n"
                               "    print \"\\x1e\";\n}\n");
    return "perl driver.pl";
}

// The scriptlets become methods whose `out` is a PrintWriter, as a servlet's is;
// the container ends a scriptlet at the first "%>".
std::string Java(const TempDir& dir, std::vector<Case> batch) {
    std::string source = "import java.io.*;\npublic class Cases {\n", main;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const std::string& code = batch[i].program;
        source += "static void case" + std::to_string(i) + "(PrintWriter out) {\n" +
                  code.substr(2, code.find("%>", 2) - 2) + "\n}\n";
        main += "case" + std::to_string(i) + "(out); out.print('\\u001e');\n";
    }
    dir.Write("Cases.java",
              source +
                  "public static void main(String[] a) throws Exception {\n"
                  "PrintWriter out = new PrintWriter(new OutputStreamWriter(System.out, \"UTF-8\"));\n" +
                  main + "out.flush();\n}\n}\n");
    return "javac -encoding UTF-8 -nowarn -d . Cases.java && java -Xshare:auto -XX:TieredStopAtLevel=1 -cp . "
           "Cases";
}

// The scripts run in a page whose document.writeln keeps what each case printed; a
// script element that ends early, or a literal that reads otherwise, prints
// something else. The text comes back percent-encoded through the page's DOM.
std::string Chromium(const TempDir& dir, std::vector<Case> batch) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><script>\nvar cases = [], text;\n"
        "document.writeln = function (s) { text.push(s + '\\n'); };\n</script></head><body>\n";
    for (const Case& c : batch)
        page += "<script>cases.push(text = []);</script>\n" + c.program + "\n";
    dir.Write("page.html",
              page + "<pre id=\"out\"></pre><script>document.getElementById('out').textContent = "
                     "encodeURIComponent(cases.map(function (c) { return c.join('') + '\\x1e'; }).join(''));"
                     "</script>\n</body></html>\n");
    return "chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
           "--disable-component-update --disable-sync --user-data-dir=\"$PWD/profile\" --dump-dom "
           "\"file://$PWD/page.html\" | "
           "perl -0ne 'print s/%(..)/chr hex $1/ger for /<pre id=\"out\">(.*)<\\/pre>/s'";
}

// ---- Cases.

// Characters that every target takes literally inside its string literals.
constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyz ABCXYZ 0123456789  .,;:!#*+-=/()[]{}|~^_`'\"";

// Mostly a few lines, now and then a page; lines empty, of tabs, or of plain
// characters, tabs and pieces; sometimes leading or final line breaks, sometimes nothing.
std::string Text(std::mt19937& random, const std::vector<std::string>& pieces) {
    if (random() % 20 == 0)
        return "";
    std::string text = random() % 8 == 0 ? std::string(random() % 2 == 0 ? "\r\n" : "\r\n\r\n") : "";
    for (std::size_t i = 0, lines = random() % 25 == 0 ? 30 + random() % 50 : 1 + random() % 6; i < lines;
         ++i) {
        text += i == 0 ? "" : "\r\n";
        if (const std::size_t kind = random() % 100; kind < 20)
            text += std::string(kind < 15 ? 0 : 1 + random() % 3, '\t');
        else
            for (std::size_t n = 1 + random() % 10; n > 0; --n)
                text += random() % 12 == 0  ? "\t"
                        : random() % 4 == 0 ? pieces[random() % pieces.size()]
                                            : std::string(1, kPlain[random() % kPlain.size()]);
    }
    return random() % 3 == 0 ? text + "\r\n" : text;
}

struct Language {
    const char* name;
    std::vector<std::string_view> codes; // the conversion targets that write it
    // The pieces ("|" between them) that inputs draw from besides plain characters:
    // what the targets take literally, and in exact mode more.
    std::string pieces, exactPieces;
    // Pieces that print otherwise: blocks, rewritten characters. Also drawn from.
    Replacements printedAs, exactPrintedAs;
    // Per line, each line is followed by lineEnd; as one statement, the lines are
    // joined by joint and followed by singleEnd.
    const char *lineEnd, *joint, *singleEnd;
    std::string (*program)(const TempDir& dir, std::vector<Case> batch);
    std::vector<Case> (*snippets)();
};

std::vector<std::string> Pieces(const std::string& pieces, const Replacements& printedAs) {
    std::vector<std::string> all = {"\u00e9", "\u20ac", "\u65e5\u672c", "\u00a0", "\u00df"};
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1)
        all.push_back(pieces.substr(start, (end = pieces.find('|', start)) - start));
    for (const auto& [piece, printed] : printedAs)
        all.push_back(piece);
    return all;
}

// The text gets a final line break and loses its tabs and its empty lines (but a
// leading one) as asked; each line left prints, its pieces replaced leftmost first.
std::string Printed(const Language& language, std::string text, const ConversionFlags& flags) {
    const Replacements& printedAs = flags.exact ? language.exactPrintedAs : language.printedAs;
    if (!flags.preserveTabs)
        std::erase(text, '\t');
    text += "\r\n";
    std::string printed;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        if (!flags.preserveEmptyLines && start != 0 && end == start)
            continue;
        printed += flags.singleStatement && start != 0 ? language.joint : "";
        for (std::size_t i = start; i < end;) {
            const auto hit = std::find_if(printedAs.begin(), printedAs.end(), [&](const auto& r) {
                return text.compare(i, r.first.size(), r.first) == 0;
            });
            printed += hit == printedAs.end() ? text.substr(i, 1) : hit->second;
            i += hit == printedAs.end() ? 1 : hit->first.size();
        }
        printed += flags.singleStatement ? "" : language.lineEnd;
    }
    return flags.singleStatement ? printed + language.singleEnd : printed;
}

// Every flag combination in both modes, the targets taking turns; a seed gives the
// same inputs everywhere.
std::vector<Case> Conversions(const Language& language) {
    std::mt19937 random(2026);
    const std::vector<std::string> pieces[] = {Pieces(language.pieces, language.printedAs),
                                               Pieces(language.exactPieces, language.exactPrintedAs)};
    std::vector<Case> cases;
    for (int i = 0; i < 512; ++i) {
        const ConversionFlags flags{bool(i & 1), bool(i & 2), bool(i & 4), bool(i & 8)};
        const std::string_view code = language.codes[i / 16 % language.codes.size()];
        const std::string input = Text(random, pieces[flags.exact]);
        cases.push_back({std::string(code) + ", flags " + std::to_string(i % 16) + ", input \"" +
                             testing::Visible(input) + "\"",
                         *ConvertForLanguage(code, input, flags), Printed(language, input, flags)});
    }
    return cases;
}

// Request variables present, empty, "0", in another collection only, or absent,
// read with every setting; each program prints what its snippet assigned.
const char* const kNames[] = {"id", "blank", "zero", "user name", "\u65e5", "absent"};
const char* const kDefaults[] = {"1", "", "it's <b>"};

std::vector<Case> PhpSnippets() {
    std::vector<Case> cases;
    for (const std::string global : {"GET", "POST", "COOKIE"})
        for (const std::string test : {"isset", "empty"})
            for (const std::string name : kNames) {
                const std::string fallback = kDefaults[cases.size() % 3];
                const auto value = kRequest.at(global).find(name);
                // isset misses an absent variable only; empty also "" and "0".
                const bool missing = value == kRequest.at(global).end() ||
                                     (test == "empty" && (value->second.empty() || value->second == "0"));
                cases.push_back(
                    {global + " " + test + " " + name,
                     "<?php\n" + RequestSnippetPHP(name, "v", global, fallback, test) + "\necho $v;",
                     missing ? fallback : value->second});
            }
    return cases;
}

std::vector<Case> AspSnippets() {
    const std::pair<std::string, std::vector<std::string>> objects[] = {
        {"Request", {"GET", "POST", "COOKIE"}}, {"Request.Form", {"POST"}}, {"Request.QueryString", {"GET"}}};
    std::vector<Case> cases;
    for (const auto& [object, globals] : objects)
        for (const bool declare : {false, true})
            for (const bool checkLength : {false, true})
                for (const std::string name : kNames) {
                    const std::string fallback = kDefaults[cases.size() % 3];
                    std::string found;
                    for (const std::string& global : globals)
                        if (kRequest.at(global).count(name) != 0) {
                            found = kRequest.at(global).at(name);
                            break;
                        }
                    cases.push_back(
                        {object + " " + name + (declare ? " declare" : "") + (checkLength ? " check" : ""),
                         "<%\r\n" + RequestSnippetASP(name, "v", object, fallback, declare, checkLength) +
                             "\r\nResponse.Write v\r\n%>",
                         checkLength && found.empty() ? fallback : found});
                }
    return cases;
}

const std::string kName = "Ann \"Q\" 'R' <b>\u00e9";
const Replacements kAspBlocks = {{"<%= x %>", "X1"},       {"<%=Name%>", kName}, {"<%=  n %>", "42"},
                                 {"<%= x & n %>", "X142"}, {"<%=%>", ""},        {"<%= %>", ""}};
const Replacements kPhpBlocks = {{"<? $x ?>", "X1"},      {"<?$name?>", kName}, {"<?  $n ?>", "42"},
                                 {"<? $x.$n ?>", "X142"}, {"<? ?>", ""},        {"<?\?>", ""}};
Replacements Plus(Replacements first, const Replacements& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}
// What some target reads in a literal or around it; the exact mode prints it all as it stands.
const std::string kExact =
    "\\|\\n|\\u0022|$|$x|{$x}|@|@x|\"|</script>|<!--|-->|<script>|<SCRIPT|%>|?>|\r|\n|\u2028|\u2029";

// clang-format off
const Language kLanguages[] = {
    // ASP turns " into an apostrophe. No lone CR or LF (a VBScript string cannot span
    // lines), no "%" outside the blocks (a "%>" would end the script). In exact mode,
    // blocks open only in whole ones (a stray "<%=" would take the next closing).
    {"Asp", {"ASP"}, "<|>|&|?|$|@|\\|<b>|</b>|<? x ?>", kExact + "|<% If a %>",
     Plus({{"\"", "'"}}, kAspBlocks), Plus(kAspBlocks, {{"<% = n %>", "42"}, {"<%= \"q\" & x %>", "qX1"}}),
     "\r\n", "\r\n", "", Asp, AspSnippets},
    // No backslash and no dollar sign, which a double-quoted string reads; "?" only
    // inside the blocks, so that every block is one the converter splices.
    {"Php", {"PHPECHO", "PHPPRINT"}, "<|>|&|%|@|<b>|</b>|\r|\n|\r\t\n|<%= y %>", kExact,
     kPhpBlocks, Plus(kPhpBlocks, {{"<?= $x ?>", "X1"}}), " \n", "", "", Php, PhpSnippets},
    // No backslash, dollar or at sign, which a double-quoted Perl string reads. A CR
    // and an LF with tabs between them are a line break once the tabs are gone.
    {"Perl", {"Perl"}, "<|>|&|%|?|<? x ?>|<%= y %>|<b>|\r|\n|\r\t\n", kExact + "|<%= x %>|<? x ?>|%h|@{[1]}",
     {}, {}, "\n", "", "", Perl, nullptr},
    // No backslash (Java reads \u even outside strings), no lone CR or LF, no "%>".
    {"Jsp", {"JSP"}, "<|>|&|$|@|?|<? x ?>|<b>|</b>|\u2028", kExact + "|<%= x %>|<%", {}, {},
     "\n", "", "\n", Java, nullptr},
    // No backslash, no lone CR or LF, no "<" outside whole tags (a tag left open,
    // "<script" or "<!--" would swallow the rest of the page).
    {"JavaScript", {"JavaScript"},
     "<b>|</b>|<i>|</i>|<span class='k'>|</span>|<br>|<p>|</p>|<a href='#x'>|</a>|<img alt='q'>|&amp;|"
     "&lt;|&copy;|&#65;|&#x263A;|a < b|<!-- note -->|<% x %>|<? x ?>|$|@|%|?|&|>|\u2028",
     kExact + "|${x}|`|<S|</|<s|" + std::string(1, '\0'), {}, {}, "\n", "", "\n", Chromium, nullptr},
};
// clang-format on

class RoundTrip : public ::testing::TestWithParam<Language> {};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

TEST_P(RoundTrip, PrintsWhatTheGeneratorsPromise) {
    const Language& language = GetParam();
    std::vector<Case> cases = Conversions(language);
    for (Case& c : language.snippets != nullptr ? language.snippets() : std::vector<Case>{})
        cases.push_back(std::move(c));
    TempDir dir;
    dir.Write("run.sh", language.program(dir, cases));
    const int status = std::system(
        ("cd '" + dir.Path().string() + "' && timeout -k 5 240 sh run.sh </dev/null >run.out 2>run.err")
            .c_str());
    const std::string output = dir.Read("run.out");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << dir.Read("run.err").substr(0, 3000);
    std::vector<std::string> printed;
    for (std::size_t start = 0, end; (end = output.find('\x1e', start)) != std::string::npos; start = end + 1)
        printed.push_back(output.substr(start, end - start));
    EXPECT_EQ(printed.size(), cases.size()) << "the program printed a different number of cases";
    int differing = 0;
    for (std::size_t i = 0; i < std::min(cases.size(), printed.size()); ++i)
        if (printed[i] != cases[i].expected && ++differing <= 10)
            ADD_FAILURE() << "case " << i << ", " << cases[i].about << "\n  program:  \""
                          << testing::Visible(cases[i].program) << "\"\n  expected: \""
                          << testing::Visible(cases[i].expected) << "\"\n  printed:  \""
                          << testing::Visible(printed[i]) << "\"";
    EXPECT_EQ(differing, 0) << "cases printed something else (the first 10 shown)";
    if (HasFailure()) {
        dir.Keep();
        std::cerr << "the batch is kept in " << dir.Path() << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, RoundTrip, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillvane
