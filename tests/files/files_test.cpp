#include "files/file_commands.h"
#include "files/text_reader.h"
#include "files/text_writer.h"
#include "tests/platform/fake_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillvane {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::FakePlatform;
using testing::TempDir;

TEST(TextReader, EndsEveryLineWithCrLfAndDecodesToUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a\nb\n\nc\n", "a\r\nb\r\n\r\nc\r\n"}, // a lone LF ends a line like CR LF
        {"a\r\r\nb\n\rc", "a\r\n\r\nb\r\n\r\nc\r\n"},
        // The edges U+0080, U+0800 (E0 A0 80), U+D7FF and U+10FFFF; Devanagari (E0 too).
        {"\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF \u0928\u092E\u0938",
         "\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF \u0928\u092E\u0938\r\n"},
        // UTF-16 by its byte-order mark: lone surrogates and an odd last byte as U+FFFD.
        {"\xFF\xFEh\0\xE9\0\r\0\n\0\x3D\xD8\x00\xDE\x00\xD8x"s, "h\u00e9\r\n\U0001F600\uFFFD\uFFFD\r\n"},
        {"\xFE\xFF\0h\x09\x28\0\n\xDC\x00\xD8\x3D\xDE\x00"s, "h\u0928\r\n\uFFFD\U0001F600\r\n"},
        {"\xEF\xBB\xBFx", "\xEF\xBB\xBFx\r\n"}, // a UTF-8 byte-order mark is kept
        {"a\0b\x1A\t"s, "a\0b\x1A\t\r\n"s},
        // Windows-1252, its five undefined bytes as Latin-1.
        {"\xE9\x80\x99\x9F\x81\x8D\x8F\x90\x9D",
         "\xC3\xA9\xE2\x82\xAC\xE2\x84\xA2\xC5\xB8\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\r\n"},
        // One bad byte decides for the whole file, the valid UTF-8 in it included.
        {"\xC3\xA9\r\xFF", "\xC3\x83\xC2\xA9\r\n\xC3\xBF\r\n"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(JoinLinesWithCrLf(DecodeFileBytes(bytes)), text) << ::testing::PrintToString(bytes);
    // Overlong, surrogate, above U+10FFFF, no such lead, lone continuation, cut short.
    for (const std::string bytes :
         {"\xC0\xAF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
          "\xF5\x80\x80\x80", "\x80", "\xE2\x82", "\xE2\x82\x61"})
        EXPECT_FALSE(IsValidUtf8(bytes)) << ::testing::PrintToString(bytes);
}

TEST(FileCommands, LoadReactsToWhatTheDialogReturns) {
    const TempDir dir;
    fs::create_directory(dir / "site.d");
    dir.Write("site.d/README", "readme");
    dir.Write("big.txt", std::string(3 << 20, 'x')); // longer than one read
    for (const std::uintmax_t size : {kMaxLoadBytes, kMaxLoadBytes + 1}) {
        dir.Write(std::to_string(size) + ".html", "");
        fs::resize_file(dir / (std::to_string(size) + ".html"), size); // sparse
    }
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0); // reading it would never end
    const std::string browse = "browse(Choose a html or text file to import)", read = browse + "[aside]",
                      notFound = read + "message(Error|File Not Found|0)";
    const std::tuple<std::string, std::optional<std::string>, std::string> cases[] = {
        {"", std::nullopt, browse}, // cancelled: Save as then offers a folder again
        {dir / "big.txt", std::string(3 << 20, 'x') + "\r\n", read},
        {dir / "site", std::nullopt, browse + "message(Quillvane|You have to select a file!|0)"},
        {dir / "site.d/README", "readme\r\n", read}, // the "." is looked for in the whole path
        {dir / std::to_string(kMaxLoadBytes + 1) + ".html", std::nullopt,
         browse + "message(Quillvane|This file is too large to load: 257 MiB.\n\n"
                  "Files up to 256 MiB can be loaded.|2)"},
        {dir / std::to_string(kMaxLoadBytes) + ".html", std::nullopt, notFound}, // read (here not really)
        {dir / "site.d", std::nullopt, notFound},
        {dir / "gone.txt", std::nullopt, notFound},
        {dir / "pipe.txt", std::nullopt, notFound},
    };
    for (const auto& [chosen, text, log] : cases) {
        FakePlatform platform;
        platform.answers = {chosen};
        platform.runAside = !chosen.ends_with(std::to_string(kMaxLoadBytes) + ".html");
        std::string loadedFile = "previous.html";
        EXPECT_EQ(LoadFileCommand(platform, loadedFile), text) << chosen;
        EXPECT_EQ(loadedFile + platform.log, chosen + log); // the path is kept also when nothing loads
    }
}

// Replaces only after Yes, through links, keeping permissions; else says where and why.
TEST(FileCommands, SaveAsksForThePathAndBeforeReplacing) {
    const std::string text = "<?php\r\nEcho \"<p>caf\xC3\xA9</p>\";\r\n?>"; // saved byte for byte
    const std::string ask = "ask(File already exists|This will overwrite the existing file! Continiue?)";
    const struct {
        std::string answer, yes, file, content;
        int mode;
        std::string log; // "!reason": the save failed, for that reason
    } cases[] = {
        {"", "", "real/page.php", "old", 0754, "message(Quillvane|You have to enter a path and filename!|0)"},
        {"real/page.php", "n", "real/page.php", "old", 0754, ask},
        {"real/page.php", "y", "real/page.php", text, 0754, ask + "[aside]"},
        {"link.php", "y", "real/page.php", text, 0754, ask + "[aside]"},
        {"real/new.php", "", "real/new.php", text, 0640, "[aside]"}, // as the umask says
        {"missing/out.php", "", "real/page.php", "old", 0754, "!No such file or directory"},
        {"real", "", "real/page.php", "old", 0754, "!Is a directory"}, // no question: not a file
        {"pipe", "", "pipe", "", 0644, "!Operation not supported"},    // a plain file must not take its place
        {"loop.php", "", "real/page.php", "old", 0754, "!Too many levels of symbolic links"},
    };
    for (auto c : cases) {
        const TempDir dir;
        fs::create_directory(dir / "real");
        dir.Write("real/page.php", "old", 0754);
        // A relative link to a relative link, as editors and dotfile managers leave them.
        fs::create_symlink("real/page.php", dir / "first.php");
        fs::create_symlink("first.php", dir / "link.php");
        fs::create_symlink("loop.php", dir / "loop.php");
        ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
        FakePlatform platform;
        platform.answers = {c.answer.empty() ? "" : dir / c.answer, c.yes};
        const mode_t oldMask = ::umask(027);
        platform.programFolder = dir.Path(); // offered when writable and nothing was loaded
        SaveOutputCommand(platform, c.answer.empty() ? "" : dir / "real/page.php", text);
        ::umask(oldMask);
        if (c.log.starts_with('!'))
            c.log = "[aside]message(Quillvane|Could not save \"" + dir / c.answer + "\":\n" +
                    c.log.substr(1) + "\n\nNo file was changed.|2)";
        EXPECT_EQ(platform.log, "input(Save as|Enter path and filename to save to\r\nIf the file does not "
                                "exist it will be created|" +
                                    (dir / (c.answer.empty() ? "" : "real/page.php")) + ")" + c.log);
        EXPECT_EQ(c.file == "pipe" ? "" : dir.Read(c.file), c.content) << c.answer;
        EXPECT_EQ(fs::status(dir / c.file).permissions(), fs::perms(c.mode)) << c.answer;
    }
}

// A full disk fails the save once the scratch file exists: the old file stays, nothing
// is left behind. An unwritable program folder is not offered, documents or home is.
TEST(FileCommands, AFullDiskKeepsTheOldFileAndALockedFolderIsNotOffered) {
    const TempDir dir;
    fs::permissions(dir.Path(), fs::perms(0777));
    dir.Write("full.php", "old", 0666);
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms(0555));
    // Root ignores permissions: a child as "nobody", one exit code bit per failed check.
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr id_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(125);
        FakePlatform platform;
        platform.programFolder = dir / "locked";
        int failed = DefaultSavePath(platform, "") == platform.documentsFolder ? 0 : 1;
        platform.documentsFolder = "";
        failed |= DefaultSavePath(platform, "") == "/home/user/" ? 0 : 1;
        const rlimit noBytes{0, 0};
        ::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &noBytes) != 0 ||
            SaveTextFile(dir / "full.php", "new") != std::errc::file_too_large)
            failed |= 2;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status));
    fs::permissions(dir / "locked", fs::perms(0755)); // else a non-root run could not clean up
    if (WEXITSTATUS(status) == 125)
        GTEST_SKIP() << "cannot run as a user that file permissions apply to";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 default path, 2 full disk";
    EXPECT_EQ(dir.Read("full.php"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 2); // no scratch file left
}

} // namespace
} // namespace quillvane
