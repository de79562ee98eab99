#pragma once

// The raw bytes of a file, with the system's reason when they cannot be had.

#include <string>
#include <system_error>

namespace quillvane {

// Reads the whole regular file at `path` into `bytes`. Returns the system's reason
// on failure (missing, no permission, a read error, out of memory); a folder gives
// is_a_directory, and anything else that is not a regular file (a pipe or a device,
// which could block or never end) gives operation_not_supported. `bytes` is then
// of no use. Never throws.
std::error_code ReadFileBytes(const std::string& path, std::string& bytes);

// Reads everything that the open descriptor `fd` still holds, up to its end, into
// `bytes` (standard input, a pipe). Same failures as above, without the file checks.
std::error_code ReadDescriptorBytes(int fd, std::string& bytes);

} // namespace quillvane
