#include "files/file_commands.h"

#include "files/text_reader.h"
#include "files/text_writer.h"
#include "tests/platform/fake_platform.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

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

void WriteBytes(const std::string& path, const std::string& bytes, int mode = 0644) {
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, fs::perms(mode));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every name in a folder, to catch a scratch file left behind.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// The message boxes shown, one "title|text|icon" a line, for compact comparison.
std::string Shown(const FakePlatform& platform) {
    std::string shown;
    for (const auto& m : platform.messages)
        shown += m.title + "|" + m.text + "|" + std::to_string(static_cast<int>(m.icon)) + "\n";
    return shown;
}

TEST(LoadFileCommandTest, ReactsToWhatTheDialogReturns) {
    const TempDir dir;
    fs::create_directory(dir / "site.d");
    WriteBytes(dir / "site.d/README", "readme");
    WriteBytes(dir / "big.txt", std::string(3 << 20, 'x'));
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
        FakePlatform platform;
        platform.browseAnswers = {c.chosen};
        std::string loadedFile = "previous.html";
        EXPECT_EQ(LoadFileCommand(platform, loadedFile), c.text) << c.chosen;
        EXPECT_EQ(loadedFile, c.chosen); // also when nothing loads
        EXPECT_EQ(Shown(platform), c.shown) << c.chosen;
        EXPECT_EQ(platform.browsePrompts, std::vector<std::string>{"Choose a html or text file to import"});
        EXPECT_EQ(platform.waitsBegun, c.waits) << c.chosen;
        EXPECT_EQ(platform.waitDepth, 0) << c.chosen;
    }
}

// Without a loaded file; the loaded file itself is offered in the save test below.
TEST(DefaultSavePathTest, WritableProgramFolderThenDocumentsThenHome) {
    const TempDir dir;
    const std::string folder = dir.Path().string();
    const struct {
        std::string programFolder, documents, expected;
    } cases[] = {
        {folder, "/docs/", folder + "/"},
        {dir / "missing", "/docs/", "/docs/"},
        {dir / "missing", "", "/home/user/"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.programFolder = c.programFolder;
        platform.documentsFolder = c.documents;
        EXPECT_EQ(DefaultSavePath(platform, ""), c.expected) << c.programFolder;
    }
}

// Replaces a file only after Yes, through its links, keeping its permissions; the
// loaded file is offered.
TEST(SaveOutputCommandTest, AsksForThePathAndBeforeReplacing) {
    const std::string text = "<?php\r\nEcho \"<p>caf\xC3\xA9</p>\";\r\n?>"; // saved byte for byte
    const std::string refused = "Quillvane|You have to enter a path and filename!|0\n";
    const struct {
        const char* answer; // nullptr: cancelled
        std::deque<bool> yes;
        const char* file;
        std::string content;
        fs::perms mode;
        std::string shown;
    } cases[] = {
        {nullptr, {}, "real/page.php", "old", fs::perms(0754), refused},
        {"", {}, "real/page.php", "old", fs::perms(0754), refused},
        {"real/page.php", {false}, "real/page.php", "old", fs::perms(0754), ""},
        {"real/page.php", {true}, "real/page.php", text, fs::perms(0754), ""},
        {"link.php", {true}, "real/page.php", text, fs::perms(0754), ""},
        {"real/new.php", {}, "real/new.php", text, fs::perms(0640), ""}, // as the umask says
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer != nullptr ? c.answer : "(cancelled)");
        const TempDir dir;
        fs::create_directory(dir / "real");
        WriteBytes(dir / "real/page.php", "old", 0754);
        // A relative link to a relative link, as editors and dotfile managers leave them.
        fs::create_symlink("real/page.php", dir / "first.php");
        fs::create_symlink("first.php", dir / "link.php");
        FakePlatform platform;
        if (c.answer != nullptr)
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
        EXPECT_EQ(platform.questions.size(), c.yes.size());
        for (const auto& question : platform.questions)
            EXPECT_EQ(question.title + "|" + question.text,
                      "File already exists|This will overwrite the existing file! Continiue?");
        EXPECT_EQ(Shown(platform), c.shown);
        EXPECT_EQ(ReadBytes(dir / c.file), c.content);
        EXPECT_EQ(fs::status(dir / c.file).permissions(), c.mode);
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "first.php")) &&
                    fs::is_symlink(fs::symlink_status(dir / "link.php")));
        EXPECT_EQ(Names(dir / "real"), (std::set<std::string>{"page.php", fs::path(c.file).filename()}));
        EXPECT_EQ(platform.waitsBegun, c.content == text ? 1 : 0); // up while the file is written
        EXPECT_EQ(platform.waitDepth, 0);
    }
}

TEST(SaveOutputCommandTest, FailureNamesThePathAndChangesNothing) {
    const TempDir dir;
    fs::create_directory(dir / "folder");
    fs::create_symlink("loop.php", dir / "loop.php");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    const auto before = Names(dir.Path());
    const struct {
        std::string path, reason;
    } cases[] = {
        {dir / "missing/out.php", "No such file or directory"},
        {dir / "folder", "Is a directory"},        // no question: a folder is no existing file
        {dir / "pipe", "Operation not supported"}, // a plain file must not take its place
        {dir / "loop.php", "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.inputAnswers = {c.path};
        SaveOutputCommand(platform, "", "new");
        EXPECT_EQ(Shown(platform), "Quillvane|Could not save \"" + c.path + "\":\n" + c.reason +
                                       "\n\nNo file was changed.|2\n");
        EXPECT_EQ(Names(dir.Path()), before) << c.path; // no scratch file left
    }
}

TEST(FileCommandsTest, PermissionsAndAFullDiskKeepTheOldFiles) {
    const TempDir dir;
    fs::permissions(dir.Path(), fs::perms(0777));
    WriteBytes(dir / "read-only.php", "old", 0444);
    WriteBytes(dir / "secret.txt", "secret", 0200);
    WriteBytes(dir / "full.php", "old", 0666);
    fs::create_directory(dir / "locked");
    WriteBytes(dir / "locked/old.php", "old", 0666); // only the folder forbids the save
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
        EXPECT_EQ(ReadBytes(dir / name), "old") << name;
    EXPECT_EQ(Names(dir.Path()),
              (std::set<std::string>{"full.php", "locked", "read-only.php", "secret.txt"}));
}

} // namespace
} // namespace quillvane
