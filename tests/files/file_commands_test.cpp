#include "files/file_commands.h"

#include "tests/files/test_files.h"
#include "tests/platform/fake_platform.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

namespace fs = std::filesystem;
using testing::FakePlatform;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// The message boxes shown, one "title|text|icon" a line, for compact comparison.
std::string Shown(const FakePlatform& platform) {
    std::string shown;
    for (const auto& m : platform.messages)
        shown += m.title + "|" + m.text + "|" + std::to_string(static_cast<int>(m.icon)) + "\n";
    return shown;
}

TEST(LoadFileCommandTest, ReactsToWhatTheDialogReturns) {
    const TempDir dir;
    WriteBytes(dir / "page.html", "<p>\r\n</p>");
    fs::create_directory(dir / "site.d");
    WriteBytes(dir / "site.d/README", "readme");
    const struct {
        std::string chosen;
        std::optional<std::string> text;
        std::string shown;
        int waits;
    } cases[] = {
        {"", std::nullopt, "", 0},
        {dir / "page.html", "<p>\r\n</p>\r\n", "", 1},
        {dir / "site", std::nullopt, "Quillvane|You have to select a file!|0\n", 0},
        {dir / "site.d/README", "readme\r\n", "", 1}, // the "." may be in a folder's name
        {dir / "site.d", std::nullopt, "Error|File Not Found|0\n", 1},
        {dir / "gone.txt", std::nullopt, "Error|File Not Found|0\n", 1},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.browseAnswers = {c.chosen};
        std::string loadedFile = "previous.html";

        EXPECT_EQ(LoadFileCommand(platform, loadedFile), c.text) << c.chosen;

        EXPECT_EQ(platform.browsePrompts, std::vector<std::string>{"Choose a html or text file to import"});
        EXPECT_EQ(loadedFile, c.chosen); // also when nothing loads
        EXPECT_EQ(Shown(platform), c.shown) << c.chosen;
        EXPECT_EQ(platform.waitsBegun, c.waits) << c.chosen;
        EXPECT_EQ(platform.waitDepth, 0) << c.chosen;
    }
}

TEST(DefaultSavePathTest, FollowsLoadedFileThenAWritableFolder) {
    const TempDir dir;
    const std::string folder = dir.Path().string();
    WriteBytes(dir / "plain-file", "");
    const struct {
        std::string loadedFile, programFolder, documents, expected;
    } cases[] = {
        {"/srv/www/index.html", folder, "/docs/", "/srv/www/index.html"},
        {"", folder, "/docs/", folder + "/"},
        {"", dir / "missing", "/docs/", "/docs/"},
        {"", dir / "plain-file", "/docs/", "/docs/"},
        {"", dir / "missing", "", "/home/user/"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.programFolder = c.programFolder;
        platform.documentsFolder = c.documents;
        EXPECT_EQ(DefaultSavePath(platform, c.loadedFile), c.expected) << c.programFolder;
    }
}

TEST(DefaultSavePathTest, UnwritableProgramFolderFallsBackToDocuments) {
    const TempDir dir;
    fs::create_directory(dir / "bin");
    fs::permissions(dir / "bin", fs::perms(0555));
    const int result = testing::RunUnprivileged([&] {
        FakePlatform platform;
        platform.programFolder = dir / "bin";
        return DefaultSavePath(platform, "") == "/home/user/Documents/" ? 0 : 1;
    });
    if (result == testing::kCannotDropRoot)
        GTEST_SKIP() << "cannot run as a user that file permissions apply to";
    EXPECT_EQ(result, 0);
}

TEST(SaveOutputCommandTest, EmptyPathIsRefused) {
    FakePlatform platform; // an empty queue answers like a cancel
    SaveOutputCommand(platform, "", "text");
    EXPECT_EQ(Shown(platform), "Quillvane|You have to enter a path and filename!|0\n");
    EXPECT_TRUE(platform.questions.empty());
}

TEST(SaveOutputCommandTest, OverwritesOnlyAfterYes) {
    for (const bool yes : {false, true}) {
        const TempDir dir;
        WriteBytes(dir / "out.php", "old");
        FakePlatform platform;
        platform.inputAnswers = {dir / "out.php"};
        platform.yesNoAnswers = {yes};

        SaveOutputCommand(platform, "", "new\r\n");

        ASSERT_EQ(platform.questions.size(), 1u);
        EXPECT_EQ(platform.questions[0].text, "This will overwrite the existing file! Continiue?");
        EXPECT_EQ(platform.questions[0].title, "File already exists");
        EXPECT_EQ(ReadBytes(dir / "out.php"), yes ? "new\r\n" : "old");
        EXPECT_EQ(Shown(platform), "");
        EXPECT_EQ(testing::Names(dir.Path()), std::set<std::string>{"out.php"});
    }
}

TEST(SaveOutputCommandTest, FailureIsReportedWithPathAndReason) {
    const TempDir dir;
    fs::create_directory(dir / "folder");
    const struct {
        std::string path, reason;
    } cases[] = {{dir / "folder", "Is a directory"}, // no question: a folder is no existing file
                 {dir / "missing/out.php", "No such file or directory"},
                 {dir.Path().string() + "/", "Is a directory"}}; // OK on the folder default
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.inputAnswers = {c.path};
        SaveOutputCommand(platform, "", "text");
        EXPECT_TRUE(platform.questions.empty()) << c.path;
        EXPECT_EQ(Shown(platform), "Quillvane|Could not save \"" + c.path + "\":\n" + c.reason +
                                       "\n\nNo file was changed.|2\n");
        EXPECT_EQ(platform.waitDepth, 0);
    }
    EXPECT_EQ(testing::Names(dir.Path()), std::set<std::string>{"folder"});
}

TEST(FileCommandsTest, LoadedFileIsOfferedAndCanBeReplaced) {
    const TempDir dir;
    const std::string page = dir / "page.html";
    WriteBytes(page, "<p>caf\xE9</p>\r<br>"); // an old single-byte file with a lone CR
    FakePlatform platform;
    platform.browseAnswers = {page};
    std::string loadedFile;
    const std::optional<std::string> text = LoadFileCommand(platform, loadedFile);
    ASSERT_TRUE(text);

    platform.inputAnswers = {loadedFile}; // OK on the offered path
    platform.yesNoAnswers = {true};
    SaveOutputCommand(platform, loadedFile, *text);

    ASSERT_EQ(platform.inputs.size(), 1u);
    EXPECT_EQ(platform.inputs[0].prompt,
              "Enter path and filename to save to\r\nIf the file does not exist it will be created");
    EXPECT_EQ(platform.inputs[0].title, "Save as");
    EXPECT_EQ(platform.inputs[0].defaultText, page);
    EXPECT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(ReadBytes(page), "<p>caf\xC3\xA9</p>\r\n<br>\r\n");
    EXPECT_EQ(Shown(platform), "");
}

TEST(FileCommandsTest, CancelledLoadBringsBackTheProgramFolder) {
    const TempDir dir;
    WriteBytes(dir / "page.html", "x");
    FakePlatform platform;
    platform.programFolder = dir.Path().string();
    platform.browseAnswers = {dir / "page.html", ""};
    std::string loadedFile;

    ASSERT_TRUE(LoadFileCommand(platform, loadedFile));
    EXPECT_EQ(DefaultSavePath(platform, loadedFile), dir / "page.html");
    EXPECT_EQ(LoadFileCommand(platform, loadedFile), std::nullopt);
    EXPECT_EQ(DefaultSavePath(platform, loadedFile), dir.Path().string() + "/");
}

} // namespace
} // namespace quillvane
