// The generated code, run once per language and batch: exact conversions must print
// any input as it stands, snippets must assign what the request holds. (The window's
// conversions are held to the transcription by the differential test instead.)

#include "convert/targets.h"
#include "querystring/snippets.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <regex>

namespace quillvane {
namespace {

using testing::TempDir;
using Replacements = std::vector<std::pair<std::string, std::string>>;

struct Case {
    std::string about, program, expected;
};

std::string PhpString(const std::string& text) {
    return "'" + std::regex_replace(text, std::regex(R"(['\\])"), "\\$&") + "'";
}

// ---- Programs: each writes its batch into the folder and returns the shell script
// that prints what every case printed, each followed by the byte 1E.

// Each case runs on its own where the blocks' variables are set; notices and
// warnings go into the output, so that they fail their case.
std::string Php(const TempDir& dir, std::vector<Case> batch) {
    std::string program = R"(<?php
$_GET = ['id' => "v\u{e9} 1", 'blank' => '', 'zero' => '0'];
$_POST = ['id' => 'posted', 'user name' => 'Ann', 'zero' => '0'];
$_COOKIE = ["\u{65e5}" => 'ja', 'blank' => ''];
function request_querystring($k) { return $_GET[$k] ?? ''; } function request_form($k) { return $_POST[$k] ?? ''; }
function request($k) { return $_GET[$k] ?? $_POST[$k] ?? $_COOKIE[$k] ?? ''; } function len($s) { return strlen($s); }
function run($code) {
    $x = 'X1'; $n = 42; $name = 'Ann';
    try { eval('?>' . $code); } catch (Throwable $e) { echo '[', get_class($e), ': ', $e->getMessage(), ']'; }
    echo "\x1e";
}
)";
    for (const Case& c : batch)
        program += "run(<<<'END_OF_CASE'\n" + c.program + "\nEND_OF_CASE);\n";
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
        R"re(( _)?(\r\n|\r|\n)|"((?:[^"\r\n]|"")*)"|(end if|[a-z][\w.]*\(?)|([0-9]+|[()])|[^ \t])re",
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

// Every page here must be one script block, and the server ends a block at the first
// "%>", whatever the script means; else the page prints a byte that no case prints.
std::string Asp(const TempDir& dir, std::vector<Case> batch) {
    for (Case& c : batch) {
        const std::size_t end = c.program.find("%>");
        c.program = c.program.starts_with("<%") && end == c.program.size() - 2
                        ? "<?php\n" + VbScriptAsPhp(c.program.substr(2, end - 2))
                        : "\x01";
    }
    return Php(dir, batch);
}

// Each case compiled and run on its own; warnings are errors, so that they show.
std::string Perl(const TempDir& dir, std::vector<Case> batch) {
    std::string program = "use strict; use warnings; $SIG{__WARN__} = sub { die \"warning: $_[0]\" };\n";
    for (const Case& c : batch)
        program += "eval(<<'END_OF_CASE' . ';1') or print \"[$@]\"; print \"\\x1e\";\n" + c.program +
                   "\nEND_OF_CASE\n";
    dir.Write("cases.pl", program);
    return "perl cases.pl";
}

// The scriptlets become methods whose `out` is a PrintWriter, as a servlet's is;
// the container ends a scriptlet at the first "%>".
std::string Java(const TempDir& dir, std::vector<Case> batch) {
    std::string source = "import java.io.*;\npublic class Cases {\n", calls;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const std::string &code = batch[i].program, name = "case" + std::to_string(i);
        source += "static void " + name + "(PrintWriter out) {\n" + code.substr(2, code.find("%>", 2) - 2) +
                  "\n}\n";
        calls += name + "(out); out.print('\\u001e');\n";
    }
    dir.Write("Cases.java", source + R"(public static void main(String[] a) throws Exception {
PrintWriter out = new PrintWriter(new OutputStreamWriter(System.out, "UTF-8"));
)" + calls + "out.flush();\n}\n}\n");
    return "javac -encoding UTF-8 -nowarn -d . Cases.java && java -XX:TieredStopAtLevel=1 -cp . Cases";
}

// document.writeln keeps what each script printed, so that a script element that ends
// early shows; the text comes back percent-encoded through the page's DOM.
std::string Chromium(const TempDir& dir, std::vector<Case> batch) {
    std::string page = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><script>var cases = [], text;
document.writeln = function (s) { text.push(s + '\n'); };</script></head><body>
)";
    for (const Case& c : batch)
        page += "<script>cases.push(text = []);</script>\n" + c.program + "\n";
    dir.Write("page.html", page + R"(<pre id="out"></pre><script>
document.getElementById('out').textContent = encodeURIComponent(cases.map(c => c.join('') + '\x1e').join(''));
</script></body></html>)");
    return R"(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$PWD/profile" --dump-dom "file://$PWD/page.html" |
  perl -0ne 'print s/%(..)/chr hex $1/ger for /<pre id="out">(.*)<\/pre>/s')";
}

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
    std::vector<std::string_view> codes;     // the conversion targets that write it
    std::string pieces;                      // drawn from besides plain characters, "|" between them
    Replacements blocks;                     // embedded blocks, drawn from too, and what they print
    const char *lineEnd, *joint, *singleEnd; // per line: line lineEnd; else lines joined, singleEnd
    std::string (*program)(const TempDir& dir, std::vector<Case> batch);
    std::vector<Case> snippets;
};

// The text loses its tabs and its empty lines (but a leading one) as asked; its
// blocks print their values and each line break prints as the statements join lines.
std::string Printed(const Language& language, std::string text, const ConversionFlags& flags) {
    if (!flags.preserveTabs)
        std::erase(text, '\t');
    if (!flags.preserveEmptyLines) { // a run of line breaks is one, the final one included
        text = std::regex_replace(text + "\r\n", std::regex("(\r\n)+"), "\r\n");
        text.resize(text.size() - 2);
    }
    Replacements rules = language.blocks;
    rules.emplace_back("\r\n", flags.singleStatement ? language.joint : language.lineEnd);
    std::string printed;
    for (std::size_t i = 0; i < text.size();) { // leftmost first
        auto hit = rules.begin();
        while (hit != rules.end() && text.compare(i, hit->first.size(), hit->first) != 0)
            ++hit;
        printed += hit == rules.end() ? text.substr(i, 1) : hit->second;
        i += hit == rules.end() ? 1 : hit->first.size();
    }
    return printed + (flags.singleStatement ? language.singleEnd : language.lineEnd);
}

// The code that quillvane-convert writes, run as an editor would run it on a file;
// it reads every lone CR and LF as a line break.
std::string ViaFilter(std::string_view code, const std::string& input, const ConversionFlags& flags) {
    static const std::map<std::string_view, std::string> names = {{"ASP", "asp"}, {"PHPECHO", "php-echo"},
        {"PHPPRINT", "php-print"}, {"Perl", "perl"}, {"JSP", "jsp"}, {"JavaScript", "javascript"}};
    TempDir dir;
    dir.Write("in", input);
    const std::string cmd = std::string(QUILLVANE_CONVERT) + " --exact --force --eol crlf --to " + names.at(code) +
                            (flags.singleStatement ? " --single-statement" : "") +
                            (flags.preserveEmptyLines ? "" : " --drop-empty-lines") +
                            (flags.preserveTabs ? "" : " --drop-tabs") + " -o '" + dir.Path().string() +
                            "/out' '" + dir.Path().string() + "/in'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return dir.Read("out");
}

// The row's snippets, and exact conversions with every flag combination and target,
// every seventh one through the command-line filter.
std::vector<Case> Cases(const Language& language) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1)
        pieces.push_back(language.pieces.substr(start, (end = language.pieces.find('|', start)) - start));
    for (const auto& [block, value] : language.blocks)
        pieces.push_back(block);
    std::mt19937 random(2026);
    std::vector<Case> cases = language.snippets;
    for (int i = 0; i < 320; ++i) {
        const ConversionFlags flags{bool(i & 1), bool(i & 2), bool(i & 4), true};
        const std::string_view code = language.codes[i / 8 % language.codes.size()];
        const std::string input = Text(random, pieces);
        const bool filter = i % 7 == 0;
        cases.push_back({std::string(code) + ", flags " + std::to_string(i % 8) + (filter ? ", filter" : "") +
                             ", input \"" + testing::Visible(input) + "\"",
                         filter ? ViaFilter(code, input, flags) : *ConvertForLanguage(code, input, flags),
                         Printed(language,
                                 filter ? std::regex_replace(input, std::regex("\r\n|\r|\n"), "\r\n") : input,
                                 flags)});
    }
    return cases;
}

// Snippets that read a request variable (the PHP program holds the request) into v,
// with "d" as the default, and print v.
Case PhpSnippet(std::string global, std::string test, std::string name, std::string printed) {
    return {name, "<?php\n" + RequestSnippetPHP(name, "v", global, "d", test) + "\necho $v;", printed};
}
Case AspSnippet(std::string object, std::string name, bool declare, bool checkLength, std::string printed) {
    const std::string code = RequestSnippetASP(name, "v", object, "d", declare, checkLength);
    return {name, "<%\r\n" + code + "\r\nResponse.Write v\r\n%>", printed};
}

// What some target reads in a literal or around it, and characters of several bytes:
// the exact mode prints them as they stand. Blocks come whole (a stray "<%=" or "<?"
// would take the next closing on its line).
// clang-format off
const std::string kExact =
    "\\|\\n|\\u0022|$|$x|{$x}|@|@x|\"|</script>|<!--|-->|<script>|<SCRIPT|%>|?>|\r|\n|\u2028|\u2029|"
    "\u00e9|\u20ac|\u65e5\u672c|\u00a0|\u00df";
const Language kLanguages[] = {
    {"Asp", {"ASP"}, kExact + "|<% If a %>", {{"<%= x %>", "X1"}, {"<%=Name%>", "Ann"}, {"<%=  n %>", "42"},
        {"<%= x & n %>", "X142"}, {"<%=%>", ""}, {"<%= %>", ""}, {"<% = n %>", "42"}, {"<%= \"q\" & x %>", "qX1"}},
     "\r\n", "\r\n", "", Asp,
     // Request variables present, empty, "0", in another collection only, absent.
     {AspSnippet("Request", "id", true, false, "v\u00e9 1"), AspSnippet("Request", "\u65e5", false, true, "ja"),
      AspSnippet("Request", "absent", false, false, ""), AspSnippet("Request", "user name", true, true, "Ann"),
      AspSnippet("Request.Form", "blank", false, true, "d"), AspSnippet("Request.Form", "id", true, true, "posted"),
      AspSnippet("Request.QueryString", "zero", true, true, "0"),
      AspSnippet("Request.QueryString", "user name", false, true, "d")}},
    {"Php", {"PHPECHO", "PHPPRINT"}, kExact, {{"<? $x ?>", "X1"}, {"<?$name?>", "Ann"}, {"<?  $n ?>", "42"},
        {"<? $x.$n ?>", "X142"}, {"<? ?>", ""}, {"<?\?>", ""}, {"<?= $x ?>", "X1"}},
     " \n", "", "", Php,
     {PhpSnippet("GET", "isset", "id", "v\u00e9 1"), PhpSnippet("GET", "isset", "blank", ""),
      PhpSnippet("GET", "empty", "blank", "d"), PhpSnippet("GET", "empty", "zero", "d"),
      PhpSnippet("POST", "isset", "absent", "d"), PhpSnippet("POST", "empty", "id", "posted"),
      PhpSnippet("COOKIE", "isset", "\u65e5", "ja"), PhpSnippet("COOKIE", "empty", "id", "d")}},
    {"Perl", {"Perl"}, kExact + "|<%= x %>|<? x ?>|%h|@{[1]}", {}, "\n", "", "", Perl, {}},
    {"Jsp", {"JSP"}, kExact + "|<%= x %>|<%", {}, "\n", "", "\n", Java, {}},
    {"JavaScript", {"JavaScript"}, kExact + "|${x}|`|<S|</|<s|" + std::string(1, '\0'), {}, "\n", "", "\n",
     Chromium, {}},
};
// clang-format on

class RoundTrip : public ::testing::TestWithParam<Language> {};
void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

TEST_P(RoundTrip, PrintsWhatTheGeneratorsPromise) {
    const std::vector<Case> cases = Cases(GetParam());
    TempDir dir;
    dir.Write("run.sh", GetParam().program(dir, cases));
    const std::string cmd = "cd '" + dir.Path().string() + "' && timeout -k 5 240 sh run.sh >out 2>err";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << dir.Read("err").substr(0, 3000);
    std::vector<std::string> printed;
    const std::string output = dir.Read("out");
    for (std::size_t start = 0, end; (end = output.find('\x1e', start)) != std::string::npos; start = end + 1)
        printed.push_back(output.substr(start, end - start));
    EXPECT_EQ(printed.size(), cases.size()) << "cases printed, in " << dir.Path();
    for (std::size_t i = 0, shown = 0; i < std::min(cases.size(), printed.size()) && shown < 10; ++i)
        if (printed[i] != cases[i].expected && ++shown)
            ADD_FAILURE() << dir.Path() << ", case " << i << ", " << cases[i].about << "\n  program:  \""
                          << testing::Visible(cases[i].program) << "\"\n  expected: \""
                          << testing::Visible(cases[i].expected) << "\"\n  printed:  \""
                          << testing::Visible(printed[i]) << "\"";
    if (HasFailure()) // kept for a look
        dir.Keep();
}

INSTANTIATE_TEST_SUITE_P(Languages, RoundTrip, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillvane
