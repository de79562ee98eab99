#pragma once

// A fresh private folder under the system's temporary folder for tests that work
// on real files, removed afterwards unless kept for a look after a failure.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace quillvane::testing {

class TempDir {
public:
    TempDir() {
        // No "." in the name: the load command treats a dotless path specially.
        std::string name = (std::filesystem::temp_directory_path() / "quillvane-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder: " +
                                     std::string(std::strerror(errno)));
        path_ = name;
        // Open to an unprivileged child process that a test may start.
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~TempDir() {
        std::error_code ignored;
        if (!keep_)
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes `bytes` unchanged to the file `name` in this folder.
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        if (!(out << bytes))
            throw std::runtime_error("cannot write " + (path_ / name).string());
    }
    void Keep() { keep_ = true; }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

} // namespace quillvane::testing
