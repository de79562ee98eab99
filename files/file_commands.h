#pragma once

// The "Load file" and "Save as" commands of the converter panel, apart from the
// window: the window hands in the platform and its LoadedFile, and puts the result
// into its boxes.

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillvane {

inline constexpr const char* kLoadPrompt = "Choose a html or text file to import";
inline constexpr const char* kSavePrompt =
    "Enter path and filename to save to\r\nIf the file does not exist it will be created";

// The largest file "Load file" takes: the box holds its text twice over as
// UTF-16 besides its lines, and the output of a conversion comes on top of that.
inline constexpr std::uintmax_t kMaxLoadBytes = std::uintmax_t{256} << 20;

// Asks for a file and reads it; a file above kMaxLoadBytes is refused unread. `loadedFile` receives whatever
// the dialog returned, before anything else (empty after a cancel). Returns the new text of the input box, or
// nullopt when the box must keep its text; every problem has been shown to the user already.
std::optional<std::string> LoadFileCommand(Platform& platform, std::string& loadedFile);

// The path offered by "Save as": the last loaded file; without one, the program's
// folder when the user may write there, else Documents, else home, followed by "/".
std::string DefaultSavePath(Platform& platform, const std::string& loadedFile);

// Asks for a path, confirms an overwrite and saves `outputText` exactly as given.
// Every outcome, failure included, has been shown to the user when it returns.
void SaveOutputCommand(Platform& platform, const std::string& loadedFile, const std::string& outputText);

// The same, reading the text only once there is somewhere to write it, so that
// asking for the path does not wait for a big text.
void SaveOutputCommand(Platform& platform, const std::string& loadedFile,
                       const std::function<std::string()>& outputText);

} // namespace quillvane
