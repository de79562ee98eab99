#pragma once

// A fresh private folder for tests that work on real files, removed afterwards
// unless kept for a look after a failure.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <stdlib.h>

namespace quillvane::testing {

class TempDir {
public:
    // No "." in the name: the load command treats a dotless path specially. Open to an
    // unprivileged child process that a test may start; throws without a folder.
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "quillvane-XXXXXX").string();
        path_ = ::mkdtemp(name.data()) != nullptr ? name : "";
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~TempDir() {
        if (std::error_code ignored; !keep_)
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    void Keep() { keep_ = true; }

    // Writes `bytes` unchanged to the file `name` in this folder; throws when it cannot.
    void Write(const std::string& name, const std::string& bytes, int mode = 0644) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        std::filesystem::permissions(path_ / name, std::filesystem::perms(mode));
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path path_;
    bool keep_ = false;
};

} // namespace quillvane::testing
