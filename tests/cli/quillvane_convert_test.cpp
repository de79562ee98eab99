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

std::string CrLfTo(std::string text, const std::string& ending) {
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += ending.size())
        text.replace(at, 2, ending);
    return text;
}

std::string Window(const std::string& code, const std::string& text) {
    return ConvertForLanguage(code, text, {false, true, true}).value();
}

struct Outcome {
    int status;
    std::string out, err;
};

// Runs the program in a private folder ("@" at the start of an argument stands for
// it) with standard input a pipe, as from an editor.
class QuillvaneConvert : public ::testing::Test {
protected:
    testing::TempDir dir_;

    std::string Expand(const std::string& arg) const {
        return arg.starts_with('@') ? dir_.Path().string() + arg.substr(1) : arg;
    }
    Outcome Run(const Args& args, const std::string& input = "", const std::string& out = "stdout") {
        dir_.Write("stdin", input);
        std::string command = "cd '" + dir_.Path().string() + "' && cat stdin | ";
        command += QUILLVANE_CONVERT;
        for (const std::string& arg : args)
            command += " '" + Expand(arg) + "'";
        const int status = std::system((command + " >" + out + " 2>stderr").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out == "stdout" ? dir_.Read(out) : "",
                dir_.Read("stderr")};
    }
};

TEST_F(QuillvaneConvert, BadInputFailsWithOneLineAndLeavesTheOutputAlone) {
    dir_.Write("kept", "old");
    ::mkfifo((dir_ / "fifo").c_str(), 0644); // opening it to read would wait for a writer forever
    const struct {
        Args args;
        std::string input;
        int status;
        std::string message;
        const char* out = "stdout";
    } cases[] = {
        {{"--to", "asp", "-o", "@/kept", "@/none"}, "", 1, "@/none: No such file or directory"},
        {{"--to", "asp", "-o", "@/kept", "@/fifo"}, "", 1, "@/fifo: not a regular file"},
        {{"--to", "asp", "-o", "@/kept"}, std::string("<p>\0</p>", 8), 1, "standard input: not text"},
        {{"--to", "asp", "-o", "@/no/out.asp"}, "x", 1, "@/no/out.asp: No such file or directory"},
        {{"--to", "perl"}, "x", 1, "standard output: No space left on device", "/dev/full"},
        {{"--to", "xhtml"}, "x", 2, "unknown target 'xhtml': choose asp, php-echo, php-print, javascript"},
        {{"--to"}, "x", 2, "--to"},
        {{}, "x", 2, "nothing to do: give --to TARGET"},
        {{"--to", "asp", "--query", "php"}, "", 2, "--to and --query do not go together"},
        {{"--query", "asp", "--name", "id", "--test", "empty"}, "", 2, "--test goes with --query php"},
        {{"--query", "php", "--name", "id", "--drop-tabs"}, "", 2, "--drop-tabs goes with --to"},
        {{"--query", "asp", "--dim", "--no-dim", "--name", "id"}, "", 2, "--dim and --no-dim contradict"},
        {{"--query", "asp"}, "", 2, "--query needs --name"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.args, c.input, c.out);
        SCOPED_TRACE(c.message);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("quillvane-convert: " + Expand(c.message))) << outcome.err;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    }
    EXPECT_EQ(dir_.Read("kept"), "old");
}

TEST_F(QuillvaneConvert, EveryTargetAndOptionGivesWhatTheWindowGives) {
    // Every kind of line break, a Windows-1252 byte, tabs, quotes and both kinds of block.
    dir_.Write("in.html", "<p>\"Caf\xE9\"</p>\n\n\t<%= x %>\r\n\t\r<? echo $y ?>\n\r\r\n");
    const std::string window = "<p>\"Caf\u00e9\"</p>\r\n\r\n\t<%= x %>\r\n\t\r\n<? echo $y ?>\r\n\r\n\r\n";
    const std::pair<const char*, const char*> targets[] = {
        {"asp", "ASP"}, {"php-echo", "PHPECHO"}, {"php-print", "PHPPRINT"}, {"javascript", "JavaScript"},
        {"jsp", "JSP"}, {"perl", "Perl"}};
    const char* options[] = {"--single-statement", "--drop-empty-lines", "--drop-tabs", "--exact"};
    for (const auto& [word, code] : targets)
        for (int mask = 0; mask < 16; ++mask) {
            Args args{"--to", word, "--eol", "crlf", "@/in.html"};
            for (int bit = 0; bit < 4; ++bit)
                if ((mask >> bit & 1) != 0)
                    args.push_back(options[bit]);
            const ConversionFlags flags{(mask & 1) != 0, (mask & 2) == 0, (mask & 4) == 0, (mask & 8) != 0};
            EXPECT_EQ(Run(args).out, ConvertForLanguage(code, window, flags).value()) << word << " " << mask;
        }
}

// The first line break of the input sets the code's, unless --eol says otherwise.
TEST_F(QuillvaneConvert, CodeKeepsTheLineEndingsOfItsInput) {
    const std::string longLine(200000, 'a'); // more than a pipe holds
    const struct {
        std::string input, window;
        Args options;
        std::string ending;
    } cases[] = {
        {"a\nb", "a\r\nb", {}, "\n"},
        {"a\r\nb\n", "a\r\nb\r\n", {}, "\r\n"},
        {"a", "a", {}, "\n"},
        {"a\rb", "a\r\nb", {}, "\r"},
        {"a\nb", "a\r\nb", {"--eol", "crlf"}, "\r\n"},
        {"a\r\nb", "a\r\nb", {"--eol", "lf"}, "\n"},
        {longLine + "\nb", longLine + "\r\nb", {}, "\n"},
    };
    for (const auto& c : cases) {
        Args args{"--to", "php-echo"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(Run(args, c.input).out, CrLfTo(Window("PHPECHO", c.window), c.ending))
            << ::testing::PrintToString(c.input);
    }
}

TEST_F(QuillvaneConvert, OutputMayReplaceItsOwnInput) {
    dir_.Write("page.jsp", "<b>\"hi\"</b>\n");
    const Outcome outcome = Run({"--to", "jsp", "-o", "@/page.jsp", "@/page.jsp"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(dir_.Read("page.jsp"), CrLfTo(Window("JSP", "<b>\"hi\"</b>\r\n"), "\n"));
    // Beside standard input, output and error: no scratch file left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 4);
}

TEST_F(QuillvaneConvert, SnippetIsWhatAddAppends) {
    const std::pair<Args, std::string> cases[] = {
        {{"--query", "asp", "--name", "id"}, AppendRequestSnippet("ASP", "id", "", "", "", {})},
        {{"--query", "asp", "--name", "p", "--variable", "s", "--from", "querystring", "--no-dim",
          "--check-length", "--default", "home"},
         AppendRequestSnippet("ASP", "p", "s", "", "home",
                              {"Request.QueryString", "GET", "isset", false, true})},
        {{"--query", "php", "--name", "e", "--variable", "m", "--from", "cookie", "--test", "empty",
          "--default", "x"},
         AppendRequestSnippet("PHPECHO", "e", "m", "", "x", {"Request", "COOKIE", "empty", true, false})},
    };
    for (const auto& [args, snippet] : cases)
        EXPECT_EQ(Run(args).out, snippet);
}

} // namespace
} // namespace quillvane
