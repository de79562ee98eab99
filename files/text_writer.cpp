#include "files/text_writer.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <random>
#include <unistd.h>

namespace quillvane {

namespace fs = std::filesystem;

namespace {

// Enough for any real chain of links; a loop ends here instead of spinning.
constexpr int kMaxLinkHops = 40;
// Keeps the scratch name within the usual 255-byte limit of a file name.
constexpr std::size_t kMaxBaseNameBytes = 200;

std::error_code LastSystemError() {
    // A failing call that left errno alone still failed.
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

bool IsMissing(const fs::file_status& status) {
    return status.type() == fs::file_type::not_found;
}

// Follows symbolic links to the path where the data really lives, so that the link
// itself is kept and its target is replaced. A dangling link leads to the file it
// names, which is then created.
std::error_code ResolveLinks(fs::path& path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (IsMissing(status))
            return {};
        if (error)
            return error;
        if (!fs::is_symlink(status))
            return {};
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            return error;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

// The new file while it is being written: closed and removed again unless it has
// been renamed over the target.
class ScratchFile {
public:
    ScratchFile() = default;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        if (file_ != nullptr)
            std::fclose(file_);
        if (!path_.empty() && !committed_) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }

    // Creates a file that did not exist before, beside `target`.
    std::error_code Create(const fs::path& target) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        const std::string base = target.filename().string().substr(0, kMaxBaseNameBytes);
        for (int attempt = 0; attempt < 100; ++attempt) {
            char tag[17];
            std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(random()));
            fs::path candidate = target.parent_path() / ("." + base + "." + tag + ".tmp");
            errno = 0;
            // "x": fails instead of opening a file that someone else created.
            file_ = std::fopen(candidate.c_str(), "wbx");
            if (file_ != nullptr) {
                path_ = std::move(candidate);
                return {};
            }
            if (errno != EEXIST)
                return LastSystemError();
        }
        return std::make_error_code(std::errc::file_exists);
    }

    // Writes, flushes and syncs, so that the rename never exposes a partial file.
    std::error_code Write(std::string_view text) {
        errno = 0;
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            return LastSystemError();
        errno = 0;
        if (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0)
            return LastSystemError();
        return {};
    }

    std::error_code Close() {
        errno = 0;
        const int result = std::fclose(file_);
        file_ = nullptr;
        return result == 0 ? std::error_code() : LastSystemError();
    }

    std::error_code ReplaceTarget(const fs::path& target) {
        std::error_code error;
        fs::rename(path_, target, error);
        committed_ = !error;
        return error;
    }

    const fs::path& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    fs::path path_;
    bool committed_ = false;
};

// What the save will replace: nothing, or a regular file we may write.
struct TargetFacts {
    bool exists = false;
    fs::perms permissions = fs::perms::none;
};

std::error_code ExamineTarget(const fs::path& target, TargetFacts& facts) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (IsMissing(status))
        return {};
    if (error)
        return error;
    if (fs::is_directory(status))
        return std::make_error_code(std::errc::is_a_directory);
    // Renaming over a device or a pipe would replace it with a plain file.
    if (!fs::is_regular_file(status))
        return std::make_error_code(std::errc::operation_not_supported);
    // Writing in place would be refused, so replacing it is too.
    errno = 0;
    if (::access(target.c_str(), W_OK) != 0)
        return LastSystemError();
    facts.exists = true;
    facts.permissions = status.permissions() & fs::perms::mask;
    return {};
}

std::error_code SaveResolved(const fs::path& target, std::string_view text) {
    TargetFacts facts;
    if (const std::error_code error = ExamineTarget(target, facts))
        return error;
    ScratchFile scratch;
    if (const std::error_code error = scratch.Create(target))
        return error;
    // Before the text goes in, so a private file never has a readable copy.
    if (facts.exists) {
        std::error_code error;
        fs::permissions(scratch.Path(), facts.permissions, fs::perm_options::replace, error);
        if (error)
            return error;
    }
    if (const std::error_code error = scratch.Write(text))
        return error;
    if (const std::error_code error = scratch.Close())
        return error;
    return scratch.ReplaceTarget(target);
}

} // namespace

bool FExists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::error_code SaveTextFile(const std::string& path, std::string_view text) {
    try {
        fs::path target(path);
        // "folder/" names a folder, whatever exists there.
        if (target.filename().empty())
            return std::make_error_code(std::errc::is_a_directory);
        if (const std::error_code error = ResolveLinks(target))
            return error;
        return SaveResolved(target, text);
    } catch (const std::system_error& failure) {
        // No source of randomness, or a path the library refused; the scratch file is gone.
        return failure.code();
    } catch (const std::bad_alloc&) {
        return std::make_error_code(std::errc::not_enough_memory);
    }
}

} // namespace quillvane
