#pragma once

// Real files for the tests: a private folder that is removed afterwards, and
// byte-exact reading and writing.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillvane::testing {

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        // No "." in the name: the load command treats a dotless path specially.
        path_ = std::filesystem::temp_directory_path() / ("quillvane-files-" + std::to_string(seed()));
        std::filesystem::create_directory(path_);
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~TempDir() {
        std::error_code ignored;
        // Tests lock folders; unlock them so that they can be removed.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every name in a folder, to catch a scratch file left behind.
inline std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline std::filesystem::perms Mode(const std::string& path) {
    return std::filesystem::status(path).permissions() & std::filesystem::perms::mask;
}

// Exit code of a child that could not give up root.
inline constexpr int kCannotDropRoot = 125;

// Runs `body` in a child process as a user that file permissions apply to: root
// ignores them, so as root the child becomes "nobody". Returns the child's exit
// code (body's result) or kCannotDropRoot.
inline int RunUnprivileged(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            constexpr id_t kNobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(kCannotDropRoot);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return kCannotDropRoot;
    return WEXITSTATUS(status);
}

} // namespace quillvane::testing
