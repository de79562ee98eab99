#include "files/file_commands.h"

#include "files/text_reader.h"
#include "files/text_writer.h"

#include <filesystem>

#include <unistd.h>

namespace quillvane {

namespace {

constexpr const char* kAppTitle = "Quillvane";

// Only a folder the user can create files in is a useful default.
bool IsWritableFolder(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string TooLargeMessage(std::uintmax_t bytes) {
    constexpr std::uintmax_t kMiB = std::uintmax_t{1} << 20;
    return "This file is too large to load: " + std::to_string((bytes + kMiB - 1) / kMiB) +
           " MiB.\n\nFiles up to " + std::to_string(kMaxLoadBytes / kMiB) + " MiB can be loaded.";
}

// Refuses a file above the limit before a byte of it is read. A size that cannot
// be had is left to the reader, which then fails like for any unreadable file.
bool RefuseTooLarge(Platform& platform, const std::string& path) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error || bytes <= kMaxLoadBytes)
        return false;
    platform.ShowMessage(TooLargeMessage(bytes), kAppTitle, MessageIcon::Warning);
    return true;
}

std::string SaveFailureMessage(const std::string& path, const std::error_code& error) {
    return "Could not save \"" + path + "\":\n" + error.message() + "\n\nNo file was changed.";
}

} // namespace

std::optional<std::string> LoadFileCommand(Platform& platform, std::string& loadedFile) {
    loadedFile = platform.BrowseForFile(kLoadPrompt);
    if (loadedFile.empty())
        return std::nullopt;
    // Deliberately over the whole path: a file without extension is refused unless a
    // folder on its way has a "." in its name.
    if (loadedFile.find('.') == std::string::npos) {
        platform.ShowMessage("You have to select a file!", kAppTitle, MessageIcon::None);
        return std::nullopt;
    }
    if (RefuseTooLarge(platform, loadedFile))
        return std::nullopt;
    std::optional<std::string> text;
    {
        const WaitCursor wait(platform);
        platform.RunAside([&] { text = LoadTextFile(loadedFile); });
    }
    if (!text)
        platform.ShowMessage("File Not Found", "Error", MessageIcon::None);
    return text;
}

std::string DefaultSavePath(Platform& platform, const std::string& loadedFile) {
    if (!loadedFile.empty())
        return loadedFile;
    const std::string program = platform.ProgramFolder();
    if (IsWritableFolder(program))
        return program + "/";
    // An installed program lives in a folder only root may write to.
    for (const SpecialFolder folder : {SpecialFolder::Documents, SpecialFolder::Home}) {
        std::string path = platform.GetSpecialFolder(folder);
        if (!path.empty())
            return path;
    }
    return program + "/";
}

void SaveOutputCommand(Platform& platform, const std::string& loadedFile, const std::string& outputText) {
    SaveOutputCommand(platform, loadedFile, [&outputText] { return outputText; });
}

void SaveOutputCommand(Platform& platform, const std::string& loadedFile,
                       const std::function<std::string()>& outputText) {
    const std::string path = platform.InputBox(kSavePrompt, "Save as", DefaultSavePath(platform, loadedFile));
    if (path.empty()) {
        platform.ShowMessage("You have to enter a path and filename!", kAppTitle, MessageIcon::None);
        return;
    }
    if (FExists(path) &&
        !platform.AskYesNo("This will overwrite the existing file! Continiue?", "File already exists"))
        return;
    std::error_code error;
    {
        const WaitCursor wait(platform);
        const std::string text = outputText();
        platform.RunAside([&] { error = SaveTextFile(path, text); });
    }
    if (error)
        platform.ShowMessage(SaveFailureMessage(path, error), kAppTitle, MessageIcon::Warning);
}

} // namespace quillvane
