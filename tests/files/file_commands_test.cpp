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
using testing::FakePlatform;
using testing::TempDir;

// The message boxes or questions shown, one "title|text|icon" a line (icons: 0 none,
// 1 question, 2 warning).
std::string Shown(const std::vector<testing::ShownMessage>& shown) {
    std::string lines;
    for (const auto& m : shown)
        lines += m.title + "|" + m.text + "|" + std::to_string(static_cast<int>(m.icon)) + "\n";
    return lines;
}

TEST(LoadFileCommandTest, ReactsToWhatTheDialogReturns) {
    const TempDir dir;
    fs::create_directory(dir / "site.d");
    dir.Write("site.d/README", "readme");
    dir.Write("big.txt", std::string(3 << 20, 'x'));
    ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0644), 0);
    const std::string notFound = "Error|File Not Found|0\n";
    const struct {
        std::string chosen;
        std::optional<std::string> text;
        std::string shown;
        int waits; // the wait cursor is up while a file is read
    } cases[] = {
        {"", std::nullopt, "", 0}, // cancelled: Save as then offers a folder again
        {dir / "big.txt", std::string(3 << 20, 'x') + "\r\n", "", 1}, // longer than one read
        {dir / "site", std::nullopt, "Quillvane|You have to select a file!|0\n", 0},
        {dir / "site.d/README", "readme\r\n", "", 1}, // the "." is looked for in the whole path
        {dir / "site.d", std::nullopt, notFound, 1},
        {dir / "gone.txt", std::nullopt, notFound, 1},
        {dir / "pipe.txt", std::nullopt, notFound, 1}, // reading it would never end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        FakePlatform platform;
        platform.browseAnswers = {c.chosen};
        std::string loadedFile = "previous.html";
        EXPECT_EQ(LoadFileCommand(platform, loadedFile), c.text);
        EXPECT_EQ(loadedFile, c.chosen); // also when nothing loads
        EXPECT_EQ(Shown(platform.messages), c.shown);
        EXPECT_EQ(platform.browsePrompts, std::vector<std::string>{"Choose a html or text file to import"});
        EXPECT_EQ(std::pair(platform.waitsBegun, platform.waitDepth), std::pair(c.waits, 0));
    }
}

// Without a loaded file; the loaded file itself is offered in the save test below.
TEST(DefaultSavePathTest, WritableProgramFolderThenDocumentsThenHome) {
    const TempDir dir;
    const std::string cases[][3] = {// program folder, Documents, expected
                                    {dir.Path(), "/docs/", dir / ""},
                                    {dir / "missing", "/docs/", "/docs/"},
                                    {dir / "missing", "", "/home/user/"}};
    for (const auto& [programFolder, documents, expected] : cases) {
        FakePlatform platform;
        platform.programFolder = programFolder;
        platform.documentsFolder = documents;
        EXPECT_EQ(DefaultSavePath(platform, ""), expected) << programFolder;
    }
}

// Replaces a file only after Yes, through its links, keeping its permissions; the
// loaded file is offered. (The fake answers an empty path when it is cancelled.)
TEST(SaveOutputCommandTest, AsksForThePathAndBeforeReplacing) {
    const std::string text = "<?php\r\nEcho \"<p>caf\xC3\xA9</p>\";\r\n?>"; // saved byte for byte
    const struct {
        const char* answer;
        std::deque<bool> yes;
        const char* file;
        std::string content;
        int mode;
    } cases[] = {
        {"", {}, "real/page.php", "old", 0754},
        {"real/page.php", {false}, "real/page.php", "old", 0754},
        {"real/page.php", {true}, "real/page.php", text, 0754},
        {"link.php", {true}, "real/page.php", text, 0754},
        {"real/new.php", {}, "real/new.php", text, 0640}, // as the umask says
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        const TempDir dir;
        fs::create_directory(dir / "real");
        dir.Write("real/page.php", "old", 0754);
        // A relative link to a relative link, as editors and dotfile managers leave them.
        fs::create_symlink("real/page.php", dir / "first.php");
        fs::create_symlink("first.php", dir / "link.php");
        FakePlatform platform;
        platform.inputAnswers = {*c.answer ? dir / c.answer : ""};
        platform.yesNoAnswers = c.yes;
        const mode_t oldMask = ::umask(027);
        SaveOutputCommand(platform, dir / "real/page.php", text);
        ::umask(oldMask);

        const auto& asked = platform.inputs.at(0);
        EXPECT_EQ(
            asked.title + "|" + asked.prompt + "|" + asked.defaultText,
            "Save as|Enter path and filename to save to\r\nIf the file does not exist it will be created|" +
                (dir / "real/page.php"));
        EXPECT_EQ(
            Shown(platform.questions),
            c.yes.empty() ? "" : "File already exists|This will overwrite the existing file! Continiue?|1\n");
        EXPECT_EQ(Shown(platform.messages),
                  *c.answer ? "" : "Quillvane|You have to enter a path and filename!|0\n");
        EXPECT_EQ(dir.Read(c.file), c.content);
        EXPECT_EQ(fs::status(dir / c.file).permissions(), fs::perms(c.mode));
        // The wait cursor is up while the file is written.
        EXPECT_EQ(std::pair(platform.waitsBegun, platform.waitDepth),
                  std::pair(c.content == text ? 1 : 0, 0));
    }
}

TEST(SaveOutputCommandTest, FailureNamesThePathAndChangesNothing) {
    const TempDir dir;
    fs::create_directory(dir / "folder");
    fs::create_symlink("loop.php", dir / "loop.php");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    const std::pair<std::string, std::string> cases[] = {
        {dir / "missing/out.php", "No such file or directory"},
        {dir / "folder", "Is a directory"},        // no question: a folder is no existing file
        {dir / "pipe", "Operation not supported"}, // a plain file must not take its place
        {dir / "loop.php", "Too many levels of symbolic links"},
    };
    for (const auto& [path, reason] : cases) {
        FakePlatform platform;
        platform.inputAnswers = {path};
        SaveOutputCommand(platform, "", "new");
        EXPECT_EQ(Shown(platform.messages),
                  "Quillvane|Could not save \"" + path + "\":\n" + reason + "\n\nNo file was changed.|2\n");
    }
}

TEST(FileCommandsTest, PermissionsAndAFullDiskKeepTheOldFiles) {
    const TempDir dir;
    fs::permissions(dir.Path(), fs::perms(0777));
    dir.Write("read-only.php", "old", 0444);
    dir.Write("secret.txt", "secret", 0200);
    dir.Write("full.php", "old", 0666);
    fs::create_directory(dir / "locked");
    dir.Write("locked/old.php", "old", 0666); // only the folder forbids the save
    fs::permissions(dir / "locked", fs::perms(0555));

    // Root ignores permissions, so the checks run in a child that becomes "nobody";
    // its exit code has one bit for each failed check.
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr id_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(125);
        FakePlatform platform;
        platform.programFolder = dir / "locked";
        const int failed =
            (LoadTextFile(dir / "secret.txt") ? 1 : 0) |
            (SaveTextFile(dir / "read-only.php", "new") == std::errc::permission_denied ? 0 : 2) |
            (SaveTextFile(dir / "locked/old.php", "new") == std::errc::permission_denied ? 0 : 4) |
            (DefaultSavePath(platform, "") == platform.documentsFolder ? 0 : 8);
        // Last, as it binds the whole child: a disk that takes no more bytes, so the save
        // fails only after its scratch file exists.
        const rlimit noBytes{0, 0};
        ::signal(SIGXFSZ, SIG_IGN);
        const bool full = ::setrlimit(RLIMIT_FSIZE, &noBytes) == 0 &&
                          SaveTextFile(dir / "full.php", "new") == std::errc::file_too_large;
        ::_exit(failed | (full ? 0 : 16));
    }
    int status = 0;
    ASSERT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status));
    fs::permissions(dir / "locked", fs::perms(0755)); // else a non-root run could not clean up
    if (WEXITSTATUS(status) == 125)
        GTEST_SKIP() << "cannot run as a user that file permissions apply to";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 read, 2 read-only file, 4 locked folder, 8 default path, 16 full";
    for (const std::string name : {"read-only.php", "locked/old.php", "full.php"})
        EXPECT_EQ(dir.Read(name), "old") << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 4); // no scratch file left
}

} // namespace
} // namespace quillvane
