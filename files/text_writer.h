#pragma once

// Writing the converter's output to a file without ever losing the old one.

#include <string>
#include <string_view>
#include <system_error>

namespace quillvane {

// True exactly when a regular file exists at `path` (a symbolic link counts as what
// it points to); a folder, a missing path or any error gives false.
bool FExists(const std::string& path);

// Writes `text` byte for byte to `path`, replacing the file there in one step: the
// text goes to a new file in the target's folder, which is flushed to disk and then
// renamed over the target. A symbolic link is followed to its final target and stays
// a link; the old file's permission bits are kept, a new file gets the usual ones.
// A read-only target is refused, as writing it in place would be.
// Returns the system's reason on failure; then the target is as it was and the new
// file is gone. Never throws.
std::error_code SaveTextFile(const std::string& path, std::string_view text);

} // namespace quillvane
