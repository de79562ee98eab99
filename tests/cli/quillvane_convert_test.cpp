#include "convert/targets.h"
#include "querystring/generate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillvane {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

constexpr int kCannotDropPrivileges = 125;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes, fs::perms mode = fs::perms(0644)) {
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, mode);
}

std::string CrLfTo(std::string text, const std::string& ending) {
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += ending.size())
        text.replace(at, 2, ending);
    return text;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs the program in a private folder; "@" at the start of an argument stands for that folder.
class QuillvaneConvert : public ::testing::Test {
protected:
    QuillvaneConvert() {
        std::string name = (fs::temp_directory_path() / "quillvane-cli-XXXXXX").string();
        dir_ = ::mkdtemp(name.data());
        fs::permissions(dir_, fs::perms(0755)); // open to the unprivileged run below
    }
    ~QuillvaneConvert() override { fs::remove_all(dir_); }

    fs::path At(const std::string& name) const { return dir_ / name; }
    std::string Expand(const std::string& arg) const {
        return arg.starts_with('@') ? dir_.string() + arg.substr(1) : arg;
    }

    // Standard input is a pipe, as from an editor; standard output a file unless told.
    Outcome Run(Args args, const std::string& input = "", const char* stdoutPath = nullptr,
                bool unprivileged = false) {
        std::vector<char*> argv{const_cast<char*>(QUILLVANE_CONVERT)};
        for (std::string& arg : args)
            argv.push_back((arg = Expand(arg)).data());
        argv.push_back(nullptr);
        const std::string out = stdoutPath ? stdoutPath : At("stdout").string();
        int pipeEnds[2];
        EXPECT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(pipeEnds[0], 0);
            ::close(pipeEnds[1]);
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(::open(At("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            constexpr id_t kNobody = 65534; // root reads everything, "nobody" does not
            if (unprivileged && ::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(kCannotDropPrivileges);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipeEnds[0]);
        ::signal(SIGPIPE, SIG_IGN); // a program that refuses its arguments reads nothing
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], input.data(), input.size());
        ::close(pipeEnds[1]);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, stdoutPath ? "" : ReadBytes(At("stdout")),
                ReadBytes(At("stderr"))};
    }

private:
    fs::path dir_;
};

TEST_F(QuillvaneConvert, BadInputFailsWithOneLineAndLeavesTheOutputAlone) {
    WriteBytes(At("kept"), "old");
    ::mkfifo(At("fifo").c_str(), 0644); // opening it to read would wait for a writer forever
    const struct {
        Args args;
        std::string input;
        int status;
        std::string message;
        const char* stdoutPath = nullptr;
    } cases[] = {
        {{"--to", "asp", "-o", "@/kept", "@/none"}, "", 1, "@/none: No such file or directory"},
        {{"--to", "asp", "-o", "@/kept", "@"}, "", 1, "@: Is a directory"},
        {{"--to", "asp", "-o", "@/kept", "@/fifo"}, "", 1, "@/fifo: not a regular file"},
        {{"--to", "asp", "-o", "@/kept"}, std::string("<p>\0</p>", 8), 1, "standard input: not text"},
        {{"--to", "asp", "-o", "@/no/out.asp"}, "x", 1, "@/no/out.asp: No such file or directory"},
        {{"--to", "perl"}, "x", 1, "standard output: No space left on device", "/dev/full"},
        {{"--to", "xhtml"}, "x", 2, "unknown target 'xhtml': choose asp, php-echo, php-print, javascript"},
        {{"--to"}, "x", 2, "--to"},
        {{}, "x", 2, "nothing to do: give --to TARGET"},
        {{"--to", "asp", "--query", "php"}, "", 2, "--to and --query do not go together"},
        {{"--query", "asp", "--name", "id", "--test", "empty"}, "", 2, "--test goes with --query php"},
        {{"--query", "php", "--name", "id", "--from", "form"}, "", 2, "'form': choose get, post or cookie"},
        {{"--query", "php", "--name", "id", "--drop-tabs"}, "", 2, "--drop-tabs goes with --to"},
        {{"--query", "asp", "--dim", "--no-dim", "--name", "id"}, "", 2, "--dim and --no-dim contradict"},
        {{"--query", "asp"}, "", 2, "--query needs --name"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.args, c.input, c.stdoutPath);
        const std::string message = Expand(c.message);
        SCOPED_TRACE(message);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(outcome.err.starts_with("quillvane-convert: ")) << outcome.err;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    }
    EXPECT_EQ(ReadBytes(At("kept")), "old");
}

TEST_F(QuillvaneConvert, UnreadableFileFailsWithTheSystemsReason) {
    WriteBytes(At("secret.html"), "x", fs::perms(0200));
    const Outcome outcome = Run({"--to", "asp", "@/secret.html"}, "", nullptr, true);
    if (outcome.status == kCannotDropPrivileges)
        GTEST_SKIP() << "cannot run as a user that file permissions apply to";
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "quillvane-convert: " + At("secret.html").string() + ": Permission denied\n");
}

TEST_F(QuillvaneConvert, EveryTargetAndOptionGivesWhatTheWindowGives) {
    // Every kind of line break, a Windows-1252 byte, tabs, quotes and both kinds of block.
    WriteBytes(At("in.html"), "<p>\"Caf\xE9\"</p>\n\n\t<%= x %>\r\n\t\r<? echo $y ?>\n\r\r\n");
    const std::string window = "<p>\"Caf\u00e9\"</p>\r\n\r\n\t<%= x %>\r\n\t\r\n<? echo $y ?>\r\n\r\n\r\n";
    const std::pair<const char*, const char*> targets[] = {
        {"asp", "ASP"}, {"php-echo", "PHPECHO"}, {"php-print", "PHPPRINT"}, {"javascript", "JavaScript"},
        {"jsp", "JSP"}, {"perl", "Perl"}};
    for (const auto& [word, code] : targets) {
        for (int mask = 0; mask < 16; ++mask) {
            const ConversionFlags flags{(mask & 1) != 0, (mask & 2) == 0, (mask & 4) == 0, (mask & 8) != 0};
            Args args{"--to", word, "--eol", "crlf", "@/in.html"};
            for (const auto& [bit, option] : {std::pair{1, "--single-statement"},
                                              {2, "--drop-empty-lines"},
                                              {4, "--drop-tabs"},
                                              {8, "--exact"}})
                if ((mask & bit) != 0)
                    args.push_back(option);
            const Outcome outcome = Run(args);
            EXPECT_EQ(outcome.status, 0) << outcome.err;
            EXPECT_EQ(outcome.out, ConvertForLanguage(code, window, flags).value()) << word << " " << mask;
        }
    }
}

TEST_F(QuillvaneConvert, CodeKeepsTheLineEndingsOfItsInput) {
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
        {std::string(200000, 'a') + "\nb",
         std::string(200000, 'a') + "\r\nb",
         {},
         "\n"}, // more than a pipe holds
        {"a\r\nb", "a\r\nb", {"--eol", "lf"}, "\n"},
    };
    for (const auto& c : cases) {
        Args args{"--to", "php-echo"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome outcome = Run(args, c.input);
        const std::string window = ConvertForLanguage("PHPECHO", c.window, {false, true, true}).value();
        EXPECT_EQ(outcome.out, CrLfTo(window, c.ending)) << testing::PrintToString(c.input);
    }
}

TEST_F(QuillvaneConvert, OutputMayReplaceItsOwnInput) {
    WriteBytes(At("page.jsp"), "<b>\"hi\"</b>\n");
    const Outcome outcome = Run({"--to", "jsp", "-o", "@/page.jsp", "@/page.jsp"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(ReadBytes(At("page.jsp")),
              CrLfTo(ConvertForLanguage("JSP", "<b>\"hi\"</b>\r\n", {false, true, true}).value(), "\n"));
    // Beside stdout and stderr: no scratch file left.
    EXPECT_EQ(std::distance(fs::directory_iterator(At("")), fs::directory_iterator()), 3);
}

TEST_F(QuillvaneConvert, SnippetIsWhatAddAppends) {
    const std::pair<Args, std::string> cases[] = {
        {{"--query", "asp", "--name", "id"}, AppendRequestSnippet("ASP", "id", "", "", "", {})},
        {{"--query", "asp", "--name", "p", "--variable", "s", "--from", "querystring", "--no-dim",
          "--check-length", "--default", "home"},
         AppendRequestSnippet("ASP", "p", "s", "", "home",
                              {"Request.QueryString", "GET", "isset", false, true})},
        {{"--query", "php", "--name", "id"}, AppendRequestSnippet("PHPECHO", "id", "", "", "", {})},
        {{"--query", "php", "--name", "e", "--variable", "m", "--from", "cookie", "--test", "empty",
          "--default", "x"},
         AppendRequestSnippet("PHPECHO", "e", "m", "", "x", {"Request", "COOKIE", "empty", true, false})},
    };
    for (const auto& [args, snippet] : cases) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, snippet);
    }
}

} // namespace
} // namespace quillvane
