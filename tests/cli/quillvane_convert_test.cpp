#include "convert/targets.h"
#include "querystring/generate.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace quillvane {
namespace {

// The code the window gives for this text, with `ending` for its CR LF.
std::string Window(const std::string& code, const std::string& text, const char* ending = "\r\n",
                   ConversionFlags flags = {false, true, true}) {
    std::string out = ConvertForLanguage(code, text, flags).value();
    for (std::size_t at = 0; (at = out.find("\r\n", at)) != std::string::npos;
         at += std::string_view(ending).size())
        out.replace(at, 2, ending);
    return out;
}

// What the window gives, line breaks as the input's first one or --eol's. Status 1 for
// an unreadable or unwritable file, 2 for a usage error: one line on standard error.
TEST(QuillvaneConvert, DoesWhatTheWindowDoesOrSaysWhyNot) {
    const testing::TempDir dir;
    int exitStatus = 0;
    std::string err;
    const auto expand = [&](const std::string& arg) {
        return arg.starts_with('@') ? dir.Path().string() + arg.substr(1) : arg;
    };
    // Space-separated arguments, "@" standing for the folder; standard input a pipe.
    const auto run = [&](const std::string& args, const std::string& input = "") {
        dir.Write("stdin", input);
        std::string command = "cd '" + dir.Path().string() + "' && cat stdin | " QUILLVANE_CONVERT;
        std::string redirect = " >stdout 2>stderr"; // ">file" as an argument sends standard output there
        std::istringstream words(args);
        for (std::string arg; words >> arg;)
            arg.starts_with('>') ? void(redirect += " " + arg) : void(command += " '" + expand(arg) + "'");
        const int status = std::system((command + redirect).c_str());
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        err = dir.Read("stderr");
        return dir.Read("stdout");
    };
    dir.Write("kept", "old");
    ::mkfifo((dir / "fifo").c_str(), 0644);  // opening it to read would wait for a writer forever
    const std::string longLine(200000, 'a'); // more than a pipe holds
    // Every kind of line break, a Windows-1252 byte, tabs, quotes and both kinds of block.
    const std::string page = "<p>\"Caf\xE9\"</p>\n\n\t<%= x %>\r\n\t\r<? echo $y ?>\n\r\r\n",
                      text = "<p>\"Caf\u00e9\"</p>\r\n\r\n\t<%= x %>\r\n\t\r\n<? echo $y ?>\r\n\r\n\r\n";
    const struct {
        std::string args, input, out, failure; // "status message", or "" for none
    } cases[] = {
        {"--to asp --single-statement", page, Window("ASP", text, "\n", {true, true, true}), ""},
        {"--to php-print --drop-empty-lines", page, Window("PHPPRINT", text, "\n", {false, false, true}), ""},
        {"--to javascript --drop-tabs", page, Window("JavaScript", text, "\n", {false, true, false}), ""},
        {"--to perl --exact", page, Window("Perl", text, "\n", {false, true, true, true}), ""},
        {"--to php-echo", "a\r\nb\n", Window("PHPECHO", "a\r\nb\r\n"), ""},
        {"--to php-echo", "a", Window("PHPECHO", "a", "\n"), ""},
        {"--to php-echo", "a\rb", Window("PHPECHO", "a\r\nb", "\r"), ""},
        {"--to php-echo --eol crlf", "a\nb", Window("PHPECHO", "a\r\nb"), ""},
        {"--to php-echo --eol lf", "a\r\nb", Window("PHPECHO", "a\r\nb", "\n"), ""},
        {"--to php-echo", longLine + "\nb", Window("PHPECHO", longLine + "\r\nb", "\n"), ""},
        {"--query asp --name id", "", AppendRequestSnippet("ASP", "id", "", "", "", {}), ""},
        {"--query asp --name p --variable s --from querystring --no-dim --check-length --default home", "",
         AppendRequestSnippet("ASP", "p", "s", "", "home",
                              {"Request.QueryString", "GET", "isset", false, true}),
         ""},
        {"--query php --name e --variable m --from cookie --test empty --default x", "",
         AppendRequestSnippet("PHPECHO", "e", "m", "", "x", {"Request", "COOKIE", "empty", true, false}), ""},
        {"--to asp -o @/kept @/none", "", "", "1 @/none: No such file or directory"},
        {"--to asp -o @/kept @/fifo", "", "", "1 @/fifo: not a regular file"},
        {"--to asp -o @/kept", std::string("<p>\0</p>", 8), "", "1 standard input: not text"},
        {"--to asp -o @/no/out.asp", "x", "", "1 @/no/out.asp: No such file or directory"},
        {"--to perl >/dev/full", "x", "", "1 standard output: No space left on device"},
        {"--to xhtml", "x", "", "2 unknown target 'xhtml': choose asp, php-echo, php-print, javascript"},
        {"--to", "x", "", "2 --to"},
        {"", "x", "", "2 nothing to do: give --to TARGET"},
        {"--to asp --query php", "", "", "2 --to and --query do not go together"},
        {"--query asp --name id --test empty", "", "", "2 --test goes with --query php"},
        {"--query php --name id --drop-tabs", "", "", "2 --drop-tabs goes with --to"},
        {"--query asp --dim --no-dim --name id", "", "", "2 --dim and --no-dim contradict"},
        {"--query asp", "", "", "2 --query needs --name"},
    };
    for (const auto& [args, input, out, failure] : cases) {
        EXPECT_EQ(run(args, input), out) << args;
        const std::string outcome = std::to_string(exitStatus) + " " + err;
        EXPECT_TRUE(failure.empty() ? outcome == "0 "
                                    : outcome.starts_with(failure.substr(0, 2) +
                                                          "quillvane-convert: " + expand(failure.substr(2))))
            << args << ": " << outcome;
        EXPECT_EQ(err.find('\n'), err.empty() ? std::string::npos : err.size() - 1) << err;
    }
    EXPECT_EQ(dir.Read("kept"), "old");
    dir.Write("page.jsp", "<b>\"hi\"</b>\n");
    EXPECT_EQ(run("--to jsp -o @/page.jsp @/page.jsp") + err, "");
    EXPECT_EQ(dir.Read("page.jsp"), Window("JSP", "<b>\"hi\"</b>\r\n", "\n"));
    // Beside standard input, output and error, the pipe and the kept file: no scratch file left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 6);
}

} // namespace
} // namespace quillvane
