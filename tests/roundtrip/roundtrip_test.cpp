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
#include <array>
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

const std::string kName = "Ann \"Q\" 'R' <b>\u00e9"; // read by the embedded blocks

std::string PhpString(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        (quoted += c == '\'' || c == '\\' ? "\\" : "") += c;
    return quoted + "'";
}

// ---- Programs: each writes its batch into the folder and returns the shell script
// that prints what every case printed, each followed by the byte 1E.

// Each case runs on its own, in a scope where the embedded blocks' variables are
// set; notices and warnings go into the output, so that they fail their case.
std::string Php(const TempDir& dir, std::vector<Case> batch) {
    std::string program = "<?php\n$name = " + PhpString(kName) + R"(;
$_GET = ['id' => "v\u{e9} 1", 'blank' => '', 'zero' => '0'];
$_POST = ['id' => 'posted', 'user name' => 'Ann', 'zero' => '0'];
$_COOKIE = ["\u{65e5}" => 'ja', 'blank' => ''];
function request_querystring($k) { return $_GET[$k] ?? ''; }
function request_form($k) { return $_POST[$k] ?? ''; }
function request($k) { return $_GET[$k] ?? $_POST[$k] ?? $_COOKIE[$k] ?? ''; }
function len($s) { return strlen($s); }
function run($code, $name) {
    $x = 'X1';
    $n = 42;
    try { eval('?>' . $code); } catch (Throwable $e) { echo '[', get_class($e), ': ', $e->getMessage(), ']'; }
    echo "\x1e";
}
)";
    for (const Case& c : batch)
        program += "run(<<<'END_OF_CASE'\n" + c.program + "\nEND_OF_CASE, $name);\n";
    dir.Write("cases.php", program);
    return "php -d display_errors=stdout -d error_reporting=-1 -d html_errors=0 cases.php";
}

// The VBScript that the generators write, translated token for token. Any other
// token becomes a byte that php rejects, so that what ASP would refuse fails here.
std::string VbScriptAsPhp(const std::string& script) {
    // clang-format off
    static const std::map<std::string, std::string> words = {{"response.write", "echo "}, {"dim", ""},
        {"if", "if ("}, {"then", ") {"}, {"else", "} else {"}, {"end if", "}"}, {"&", "."}, {"vbcr", "\"\\r\""},
        {"vblf", "\"\\n\""}, {"vbnewline", "\"\\r\\n\""}};
    // clang-format on
    static const std::regex token(
        R"re(( _)?(\r\n|\r|\n)|"((?:[^"\r\n]|"")*)"|(end if|[a-z][\w.]*\(?)|([0-9]+|[()])|[ \t]+|[\s\S])re",
        std::regex::icase);
    std::string php;
    int onLine = 0;
    for (std::sregex_iterator it(script.begin(), script.end(), token), end; it != end; ++it) {
        const std::smatch& m = *it;
        std::string t = m.str();
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
        if (m[2].matched) { // a line break ends the statement, unless " _" continues it
            php += m[1].matched ? "" : ";\n";
            onLine = 0;
            continue;
        }
        if (t[0] == ' ' || t[0] == '\t')
            continue;
        if (++onLine; m[3].matched)
            php += PhpString(std::regex_replace(m[3].str(), std::regex("\"\""), "\""));
        else if (words.count(t) != 0)
            php += words.at(t);
        else if (t == "=")
            php += onLine == 2 ? "=" : "=="; // an assignment, or else a comparison
        else if (m[4].matched)               // a function (Request, Len) or a variable
            php += t.back() == '(' ? std::regex_replace(t, std::regex("\\."), "_") : "$" + t;
        else
            php += m[5].matched ? t : "\x01";
    }
    return php + ";\n";
}

// The server ends a script block at the first "%>", whatever the script means.
std::string AspAsPhp(const std::string& page) {
    std::string php = "<?php\n";
    std::size_t at = 0;
    for (std::size_t open; (open = page.find("<%", at)) != std::string::npos; at += 2) {
        php += "echo " + PhpString(page.substr(at, open - at)) + ";\n";
        if ((at = page.find("%>", open + 2)) == std::string::npos)
            return php + "\x01"; // a block without its end
        php += VbScriptAsPhp(page.substr(open + 2, at - open - 2));
    }
    return php + "echo " + PhpString(page.substr(at)) + ";";
}

std::string Asp(const TempDir& dir, std::vector<Case> batch) {
    for (Case& c : batch)
        c.program = AspAsPhp(c.program);
    return Php(dir, batch);
}

// Each case compiled and run on its own; warnings are errors, so that they show.
std::string Perl(const TempDir& dir, std::vector<Case> batch) {
    std::string program =
        "use strict; use warnings; binmode STDOUT; $SIG{__WARN__} = sub { die \"warning: $_[0]\" };\n";
    for (const Case& c : batch)
        program += "eval(<<'END_OF_CASE' . ';1') or print \"[$@]\"; print \"\\x1e\";\n" + c.program +
                   "\nEND_OF_CASE\n";
    dir.Write("cases.pl", program);
    return "perl cases.pl";
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

// A few lines, now and then many: empty, of tabs, or of plain characters, tabs and
// pieces; sometimes with a final line break.
std::string Text(std::mt19937& random, const std::vector<std::string>& pieces) {
    std::string text;
    for (std::size_t i = 0, lines = random() % 25 == 0 ? 60 : random() % 7; i < lines; ++i) {
        text += i == 0 ? "" : "\r\n";
        const std::size_t kind = random() % 10;
        for (std::size_t n = kind < 2 ? 0 : 1 + random() % 10; n > 0; --n)
            text += kind == 2 || random() % 12 == 0 ? "\t"
                    : random() % 4 == 0             ? pieces[random() % pieces.size()]
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

// Snippets reading a request variable that is present, empty, "0", in another
// collection only, or absent (see the PHP driver); each prints what it assigned.
std::vector<Case> PhpSnippets() {
    const std::array<std::string, 4> rows[] = {
        // superglobal, test, name, printed
        {"GET", "isset", "id", "v\u00e9 1"}, {"GET", "isset", "blank", ""},
        {"GET", "empty", "blank", "d"},      {"GET", "empty", "zero", "d"},
        {"POST", "isset", "absent", "d"},    {"POST", "empty", "id", "posted"},
        {"COOKIE", "isset", "\u65e5", "ja"}, {"COOKIE", "empty", "id", "d"}};
    std::vector<Case> cases;
    for (const auto& [global, test, name, printed] : rows)
        cases.push_back({global + " " + test + " " + name,
                         "<?php\n" + RequestSnippetPHP(name, "v", global, "d", test) + "\necho $v;",
                         printed});
    return cases;
}

std::vector<Case> AspSnippets() {
    const std::tuple<std::string, std::string, bool, bool, std::string> rows[] = {
        // object, name, declare, check the length, printed
        {"Request", "id", true, false, "v\u00e9 1"},
        {"Request", "\u65e5", false, true, "ja"},
        {"Request", "absent", false, false, ""},
        {"Request", "user name", true, true, "Ann"},
        {"Request.Form", "blank", false, true, "d"},
        {"Request.Form", "id", true, true, "posted"},
        {"Request.QueryString", "zero", true, true, "0"},
        {"Request.QueryString", "user name", false, true, "d"}};
    std::vector<Case> cases;
    for (const auto& [object, name, declare, checkLength, printed] : rows)
        cases.push_back({object + " " + name,
                         "<%\r\n" + RequestSnippetASP(name, "v", object, "d", declare, checkLength) +
                             "\r\nResponse.Write v\r\n%>",
                         printed});
    return cases;
}

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
