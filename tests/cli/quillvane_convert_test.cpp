#include "convert/targets.h"
#include "querystring/generate.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>

namespace quillvane {
namespace {

using Args = std::vector<std::string>;

// The code the window gives for this text, with `ending` for its CR LF.
std::string Window(const std::string& code, const std::string& text, const char* ending = "\r\n",
                   ConversionFlags flags = {false, true, true}) {
    std::string out = ConvertForLanguage(code, text, flags).value();
    for (std::size_t at = 0; (at = out.find("\r\n", at)) != std::string::npos;
         at += std::string_view(ending).size())
        out.replace(at, 2, ending);
    return out;
}

// Runs the program in a private folder ("@" at the start of an argument stands for
// it) with standard input a pipe, as from an editor.
class QuillvaneConvert : public ::testing::Test {
protected:
    testing::TempDir dir_;
    int status_ = 0;
    std::string err_;

    std::string Expand(const std::string& arg) const {
        return arg.starts_with('@') ? dir_.Path().string() + arg.substr(1) : arg;
    }
    std::string Run(const Args& args, const std::string& input = "") {
        dir_.Write("stdin", input);
        std::string command = "cd '" + dir_.Path().string() + "' && cat stdin | " QUILLVANE_CONVERT;
        std::string redirect = " >stdout 2>stderr"; // ">file" as an argument sends standard output there
        for (const std::string& arg : args)
            arg.starts_with('>') ? void(redirect += " " + arg) : void(command += " '" + Expand(arg) + "'");
        const int status = std::system((command + redirect).c_str());
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        err_ = dir_.Read("stderr");
        return dir_.Read("stdout");
    }
};

TEST_F(QuillvaneConvert, EveryTargetAndOptionGivesWhatTheWindowGives) {
    // Every kind of line break, a Windows-1252 byte, tabs, quotes and both kinds of block.
    dir_.Write("in.html", "<p>\"Caf\xE9\"</p>\n\n\t<%= x %>\r\n\t\r<? echo $y ?>\n\r\r\n");
    const std::string window = "<p>\"Caf\u00e9\"</p>\r\n\r\n\t<%= x %>\r\n\t\r\n<? echo $y ?>\r\n\r\n\r\n";
    const char* options[] = {"--single-statement", "--drop-empty-lines", "--drop-tabs", "--exact"};
    for (const auto& [word, code] : {std::pair{"asp", "ASP"},
                                     {"php-echo", "PHPECHO"},
                                     {"php-print", "PHPPRINT"},
                                     {"javascript", "JavaScript"},
                                     {"jsp", "JSP"},
                                     {"perl", "Perl"}})
        for (int mask = 0; mask < 16; ++mask) {
            Args args{"--to", word, "--eol", "crlf", "@/in.html"};
            for (int bit = 0; bit < 4; ++bit)
                if ((mask >> bit & 1) != 0)
                    args.push_back(options[bit]);
            const ConversionFlags flags{(mask & 1) != 0, (mask & 2) == 0, (mask & 4) == 0, (mask & 8) != 0};
            EXPECT_EQ(Run(args), Window(code, window, "\r\n", flags)) << word << " " << mask;
        }
}

// The first line break of the input sets the code's, unless --eol says otherwise; a
// snippet is what Add appends, with CR LF. Status 1 for a file that cannot be read or
// written, 2 for a usage error: one line on standard error, the output file left alone.
TEST_F(QuillvaneConvert, DoesWhatTheWindowDoesOrSaysWhyNot) {
    dir_.Write("kept", "old");
    ::mkfifo((dir_ / "fifo").c_str(), 0644); // opening it to read would wait for a writer forever
    const std::string longLine(200000, 'a'); // more than a pipe holds
    const std::tuple<Args, std::string, std::string, int, std::string> cases[] = {
        {{"--to", "php-echo"}, "a\nb", Window("PHPECHO", "a\r\nb", "\n"), 0, ""},
        {{"--to", "php-echo"}, "a\r\nb\n", Window("PHPECHO", "a\r\nb\r\n"), 0, ""},
        {{"--to", "php-echo"}, "a", Window("PHPECHO", "a", "\n"), 0, ""},
        {{"--to", "php-echo"}, "a\rb", Window("PHPECHO", "a\r\nb", "\r"), 0, ""},
        {{"--to", "php-echo", "--eol", "crlf"}, "a\nb", Window("PHPECHO", "a\r\nb"), 0, ""},
        {{"--to", "php-echo", "--eol", "lf"}, "a\r\nb", Window("PHPECHO", "a\r\nb", "\n"), 0, ""},
        {{"--to", "php-echo"}, longLine + "\nb", Window("PHPECHO", longLine + "\r\nb", "\n"), 0, ""},
        {{"--query", "asp", "--name", "id"}, "", AppendRequestSnippet("ASP", "id", "", "", "", {}), 0, ""},
        {{"--query", "asp", "--name", "p", "--variable", "s", "--from", "querystring", "--no-dim",
          "--check-length", "--default", "home"},
         "",
         AppendRequestSnippet("ASP", "p", "s", "", "home",
                              {"Request.QueryString", "GET", "isset", false, true}),
         0,
         ""},
        {{"--query", "php", "--name", "e", "--variable", "m", "--from", "cookie", "--test", "empty",
          "--default", "x"},
         "",
         AppendRequestSnippet("PHPECHO", "e", "m", "", "x", {"Request", "COOKIE", "empty", true, false}),
         0,
         ""},
        {{"--to", "asp", "-o", "@/kept", "@/none"}, "", "", 1, "@/none: No such file or directory"},
        {{"--to", "asp", "-o", "@/kept", "@/fifo"}, "", "", 1, "@/fifo: not a regular file"},
        {{"--to", "asp", "-o", "@/kept"}, std::string("<p>\0</p>", 8), "", 1, "standard input: not text"},
        {{"--to", "asp", "-o", "@/no/out.asp"}, "x", "", 1, "@/no/out.asp: No such file or directory"},
        {{"--to", "perl", ">/dev/full"}, "x", "", 1, "standard output: No space left on device"},
        {{"--to", "xhtml"},
         "x",
         "",
         2,
         "unknown target 'xhtml': choose asp, php-echo, php-print, javascript"},
        {{"--to"}, "x", "", 2, "--to"},
        {{}, "x", "", 2, "nothing to do: give --to TARGET"},
        {{"--to", "asp", "--query", "php"}, "", "", 2, "--to and --query do not go together"},
        {{"--query", "asp", "--name", "id", "--test", "empty"}, "", "", 2, "--test goes with --query php"},
        {{"--query", "php", "--name", "id", "--drop-tabs"}, "", "", 2, "--drop-tabs goes with --to"},
        {{"--query", "asp", "--dim", "--no-dim", "--name", "id"}, "", "", 2, "--dim and --no-dim contradict"},
        {{"--query", "asp"}, "", "", 2, "--query needs --name"},
    };
    for (const auto& [args, input, out, status, message] : cases) {
        EXPECT_EQ(Run(args, input), out) << message;
        EXPECT_EQ(status_, status) << message;
        EXPECT_TRUE(message.empty() ? err_.empty()
                                    : err_.starts_with("quillvane-convert: " + Expand(message)))
            << err_;
        EXPECT_EQ(err_.find('\n'), err_.empty() ? std::string::npos : err_.size() - 1) << err_;
    }
    EXPECT_EQ(dir_.Read("kept"), "old");
    dir_.Write("page.jsp", "<b>\"hi\"</b>\n");
    EXPECT_EQ(Run({"--to", "jsp", "-o", "@/page.jsp", "@/page.jsp"}) + err_, "");
    EXPECT_EQ(dir_.Read("page.jsp"), Window("JSP", "<b>\"hi\"</b>\r\n", "\n"));
    // Beside standard input, output and error, the pipe and the kept file: no scratch file left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 6);
}

} // namespace
} // namespace quillvane
