#include "files/text_writer.h"

#include "tests/files/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillvane {
namespace {

namespace fs = std::filesystem;
using testing::Mode;
using testing::Names;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::string kText = "<?php\r\nEcho \"<p>caf\xC3\xA9</p>\";\r\n?>";

TEST(FExistsTest, TrueOnlyForARegularFile) {
    const TempDir dir;
    WriteBytes(dir / "file.txt", "x");
    fs::create_directory(dir / "folder.txt");
    fs::create_symlink(dir / "file.txt", dir / "link.txt");
    fs::create_symlink(dir / "missing.txt", dir / "dangling.txt");
    const struct {
        std::string path;
        bool exists;
    } cases[] = {{dir / "file.txt", true},
                 {dir / "link.txt", true},
                 {dir / "folder.txt", false},
                 {dir / "missing.txt", false},
                 {dir / "dangling.txt", false},
                 {dir / "file.txt/below", false},
                 {"", false}};
    for (const auto& c : cases)
        EXPECT_EQ(FExists(c.path), c.exists) << c.path;
}

TEST(SaveTextFileTest, NewFileHoldsExactlyTheText) {
    const TempDir dir;
    const mode_t oldMask = ::umask(027);
    const std::error_code error = SaveTextFile(dir / "out.php", kText);
    ::umask(oldMask);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(ReadBytes(dir / "out.php"), kText); // no byte-order mark, no added line break
    EXPECT_EQ(Mode(dir / "out.php"), fs::perms(0640));
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"out.php"});
}

TEST(SaveTextFileTest, ReplacedFileKeepsItsPermissionBits) {
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0754), fs::perms(0640)}) {
        const TempDir dir;
        WriteBytes(dir / "out.php", "old");
        fs::permissions(dir / "out.php", mode);
        ASSERT_FALSE(SaveTextFile(dir / "out.php", kText));
        EXPECT_EQ(ReadBytes(dir / "out.php"), kText);
        EXPECT_EQ(Mode(dir / "out.php"), mode);
    }
}

TEST(SaveTextFileTest, WritesThroughSymbolicLinks) {
    const TempDir dir;
    fs::create_directory(dir / "real");
    WriteBytes(dir / "real/target.php", "old");
    // A relative link to a link, as editors and dotfile managers leave them.
    fs::create_symlink("real/target.php", dir / "first.php");
    fs::create_symlink("first.php", dir / "second.php");
    fs::create_symlink(dir / "real/new.php", dir / "dangling.php");

    ASSERT_FALSE(SaveTextFile(dir / "second.php", kText));
    ASSERT_FALSE(SaveTextFile(dir / "dangling.php", "new"));

    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "second.php")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "first.php")));
    EXPECT_EQ(ReadBytes(dir / "real/target.php"), kText);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "dangling.php")));
    EXPECT_EQ(ReadBytes(dir / "real/new.php"), "new");
    EXPECT_EQ(Names(dir / "real"), (std::set<std::string>{"new.php", "target.php"}));
}

TEST(SaveTextFileTest, FailureLeavesEverythingAsItWas) {
    const struct {
        const char* target;
        std::errc reason;
    } cases[] = {
        {"missing/out.php", std::errc::no_such_file_or_directory},
        {"folder", std::errc::is_a_directory},
        {"out.php/", std::errc::is_a_directory},
        {"old.php/out.php", std::errc::not_a_directory},
        {"loop.php", std::errc::too_many_symbolic_link_levels},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        WriteBytes(dir / "old.php", "old");
        fs::create_directory(dir / "folder");
        WriteBytes(dir / "folder/inside.txt", "inside");
        fs::create_symlink("loop.php", dir / "loop.php");
        const auto before = Names(dir.Path());

        const std::error_code error = SaveTextFile(dir / c.target, kText);

        EXPECT_EQ(error, std::make_error_code(c.reason)) << c.target << ": " << error.message();
        EXPECT_EQ(ReadBytes(dir / "old.php"), "old") << c.target;
        EXPECT_EQ(Names(dir.Path()), before) << c.target;
        EXPECT_EQ(Names(dir / "folder"), std::set<std::string>{"inside.txt"}) << c.target;
    }
}

TEST(SaveTextFileTest, PipeIsNotReplacedByAFile) {
    const TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    EXPECT_EQ(SaveTextFile(dir / "pipe", kText), std::make_error_code(std::errc::operation_not_supported));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"pipe"});
}

TEST(SaveTextFileTest, PermissionDeniedLeavesTheOldFile) {
    // A locked folder (no scratch file possible) and a read-only file in an open one.
    const struct {
        const char* name;
        fs::perms folderMode;
        fs::perms fileMode;
    } cases[] = {{"LockedFolder", fs::perms(0555), fs::perms(0666)},
                 {"ReadOnlyFile", fs::perms(0777), fs::perms(0444)}};
    for (const auto& c : cases) {
        const TempDir dir;
        const fs::path folder = dir.Path() / "shared";
        const std::string path = (folder / "old.php").string();
        fs::create_directory(folder);
        WriteBytes(path, "old");
        fs::permissions(path, c.fileMode);
        fs::permissions(folder, c.folderMode);

        const int result = testing::RunUnprivileged([&] { return SaveTextFile(path, kText).value(); });
        if (result == testing::kCannotDropRoot)
            GTEST_SKIP() << "cannot run as a user that file permissions apply to";

        EXPECT_EQ(result, EACCES) << c.name;
        EXPECT_EQ(ReadBytes(path), "old") << c.name;
        EXPECT_EQ(Names(folder), std::set<std::string>{"old.php"}) << c.name;
    }
}

} // namespace
} // namespace quillvane
