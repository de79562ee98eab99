#include "files/file_commands.h"

#include "tests/files/test_files.h"
#include "tests/platform/fake_platform.h"

#include <gtest/gtest.h>

namespace quillvane {
namespace {

namespace fs = std::filesystem;
using testing::FakePlatform;
using testing::Names;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const char* const kOverwriteQuestion = "This will overwrite the existing file! Continiue?";

TEST(LoadFileCommandTest, ReactsToWhatTheDialogReturns) {
    const TempDir dir;
    WriteBytes(dir / "page.html", "<p>\r\n</p>");
    fs::create_directory(dir / "site.d");
    WriteBytes(dir / "site.d/README", "readme");
    const struct {
        const char* name;
        std::string chosen;
        std::optional<std::string> text;
        std::string message; // text of the one message expected, empty for none
        std::string title;
    } cases[] = {
        {"Cancelled", "", std::nullopt, "", ""},
        {"File", dir / "page.html", "<p>\r\n</p>\r\n", "", ""},
        {"NoDotInPath", dir / "site", std::nullopt, "You have to select a file!", "Quillvane"},
        {"DotInAFolderName", dir / "site.d/README", "readme\r\n", "", ""},
        {"FolderWithDot", dir / "site.d", std::nullopt, "File Not Found", "Error"},
        {"Missing", dir / "gone.txt", std::nullopt, "File Not Found", "Error"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.browseAnswers = {c.chosen};
        std::string loadedFile = "previous.html";

        EXPECT_EQ(LoadFileCommand(platform, loadedFile), c.text) << c.name;

        EXPECT_EQ(platform.browsePrompts, std::vector<std::string>{"Choose a html or text file to import"});
        EXPECT_EQ(loadedFile, c.chosen) << c.name; // kept also when nothing loads
        if (c.message.empty()) {
            EXPECT_TRUE(platform.messages.empty()) << c.name;
        } else {
            ASSERT_EQ(platform.messages.size(), 1u) << c.name;
            EXPECT_EQ(platform.messages[0].text, c.message);
            EXPECT_EQ(platform.messages[0].title, c.title);
            EXPECT_EQ(platform.messages[0].icon, MessageIcon::None);
        }
        EXPECT_EQ(platform.waitDepth, 0) << c.name;
    }
}

TEST(LoadFileCommandTest, ShowsTheWaitCursorWhileReading) {
    const TempDir dir;
    WriteBytes(dir / "page.html", "x");
    FakePlatform platform;
    platform.browseAnswers = {dir / "page.html"};
    std::string loadedFile;
    ASSERT_TRUE(LoadFileCommand(platform, loadedFile));
    EXPECT_EQ(platform.waitsBegun, 1);
    EXPECT_EQ(platform.waitDepth, 0);
}

TEST(LoadFileCommandTest, AFailedLoadDoesNotSpoilTheNext) {
    const TempDir dir;
    WriteBytes(dir / "page.html", "ok");
    FakePlatform platform;
    platform.browseAnswers = {dir / "gone.html", dir / "page.html"};
    std::string loadedFile;
    EXPECT_EQ(LoadFileCommand(platform, loadedFile), std::nullopt);
    EXPECT_EQ(LoadFileCommand(platform, loadedFile), "ok\r\n");
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST(DefaultSavePathTest, FollowsLoadedFileThenAWritableFolder) {
    const TempDir dir;
    WriteBytes(dir / "plain-file", "");
    const struct {
        const char* name;
        std::string loadedFile;
        std::string programFolder;
        std::string documents;
        std::string expected;
    } cases[] = {
        {"LoadedFile", "/srv/www/index.html", dir.Path().string(), "/docs/", "/srv/www/index.html"},
        {"WritableProgramFolder", "", dir.Path().string(), "/docs/", dir.Path().string() + "/"},
        {"MissingProgramFolder", "", dir / "missing", "/docs/", "/docs/"},
        {"ProgramFolderIsAFile", "", dir / "plain-file", "/docs/", "/docs/"},
        {"NoDocumentsFolder", "", dir / "missing", "", "/home/user/"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.programFolder = c.programFolder;
        platform.documentsFolder = c.documents;
        EXPECT_EQ(DefaultSavePath(platform, c.loadedFile), c.expected) << c.name;
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

TEST(SaveOutputCommandTest, AsksWithTheDefaultPath) {
    FakePlatform platform;
    platform.inputAnswers = {""};
    SaveOutputCommand(platform, "/srv/www/index.html", "text");
    ASSERT_EQ(platform.inputs.size(), 1u);
    EXPECT_EQ(platform.inputs[0].prompt,
              "Enter path and filename to save to\r\nIf the file does not exist it will be created");
    EXPECT_EQ(platform.inputs[0].title, "Save as");
    EXPECT_EQ(platform.inputs[0].defaultText, "/srv/www/index.html");
}

TEST(SaveOutputCommandTest, EmptyPathIsRefused) {
    FakePlatform platform; // an empty queue answers like a cancel
    SaveOutputCommand(platform, "", "text");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "You have to enter a path and filename!");
    EXPECT_EQ(platform.messages[0].title, "Quillvane");
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::None);
    EXPECT_TRUE(platform.questions.empty());
}

TEST(SaveOutputCommandTest, OverwriteOnlyAfterYes) {
    for (const bool yes : {false, true}) {
        const TempDir dir;
        WriteBytes(dir / "out.php", "old");
        FakePlatform platform;
        platform.inputAnswers = {dir / "out.php"};
        platform.yesNoAnswers = {yes};

        SaveOutputCommand(platform, "", "new\r\n");

        ASSERT_EQ(platform.questions.size(), 1u);
        EXPECT_EQ(platform.questions[0].text, kOverwriteQuestion);
        EXPECT_EQ(platform.questions[0].title, "File already exists");
        EXPECT_EQ(ReadBytes(dir / "out.php"), yes ? "new\r\n" : "old");
        EXPECT_TRUE(platform.messages.empty());
        EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"out.php"});
    }
}

TEST(SaveOutputCommandTest, NewFileIsWrittenWithoutQuestion) {
    const TempDir dir;
    FakePlatform platform;
    platform.inputAnswers = {dir / "new.php"};
    SaveOutputCommand(platform, "", "");
    EXPECT_TRUE(platform.questions.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(fs::is_regular_file(dir / "new.php"));
    EXPECT_EQ(ReadBytes(dir / "new.php"), "");
}

TEST(SaveOutputCommandTest, FailureIsReportedWithPathAndReason) {
    const TempDir dir;
    fs::create_directory(dir / "folder");
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {{dir / "folder", "Is a directory"},
                 {dir / "missing/out.php", "No such file or directory"},
                 // The default path with nothing typed after it.
                 {dir.Path().string() + "/", "Is a directory"}};
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.inputAnswers = {c.path};
        SaveOutputCommand(platform, "", "text");
        EXPECT_TRUE(platform.questions.empty()) << c.path; // a folder is no existing file
        ASSERT_EQ(platform.messages.size(), 1u) << c.path;
        const auto& message = platform.messages[0];
        EXPECT_NE(message.text.find("\"" + c.path + "\""), std::string::npos) << message.text;
        EXPECT_NE(message.text.find(c.reason), std::string::npos) << message.text;
        EXPECT_EQ(message.title, "Quillvane");
        EXPECT_EQ(message.icon, MessageIcon::Warning);
        EXPECT_EQ(platform.waitDepth, 0);
    }
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"folder"});
}

TEST(FileCommandsTest, LoadedFileIsOfferedAndCanBeReplaced) {
    const TempDir dir;
    const std::string page = dir / "page.html";
    WriteBytes(page, "<p>caf\xE9</p>\r<br>"); // an old single-byte file, lone CR
    FakePlatform platform;
    platform.browseAnswers = {page};
    std::string loadedFile;

    const std::optional<std::string> text = LoadFileCommand(platform, loadedFile);
    ASSERT_TRUE(text);
    platform.inputAnswers = {loadedFile}; // OK on the offered path
    platform.yesNoAnswers = {true};
    SaveOutputCommand(platform, loadedFile, *text);

    EXPECT_EQ(platform.inputs.at(0).defaultText, page);
    EXPECT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(ReadBytes(page), "<p>caf\xC3\xA9</p>\r\n<br>\r\n");
    EXPECT_TRUE(platform.messages.empty());
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
    EXPECT_EQ(loadedFile, "");
    EXPECT_EQ(DefaultSavePath(platform, loadedFile), dir.Path().string() + "/");
}

} // namespace
} // namespace quillvane
