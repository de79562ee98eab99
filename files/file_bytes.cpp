#include "files/file_bytes.h"

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillvane {

namespace {

std::error_code SystemError(int code) {
    return {code != 0 ? code : EIO, std::generic_category()};
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

std::error_code CheckRegular(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        return std::make_error_code(std::errc::is_a_directory);
    if (!S_ISREG(info.st_mode))
        return std::make_error_code(std::errc::operation_not_supported);
    return {};
}

// Reads straight into the string, sized by the file where it has a size; the size is
// only a hint, as the file may change while it is read.
std::error_code ReadAll(int fd, std::string& bytes) {
    struct stat info {};
    const bool sized = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const std::size_t expected = sized ? static_cast<std::size_t>(info.st_size) : std::size_t{1} << 16;
    bytes.resize(expected + 1); // one spare byte shows whether the file grew
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return SystemError(errno);
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return {};
}

} // namespace

std::error_code ReadFileBytes(const std::string& path, std::string& bytes) {
    // Non-blocking, so that opening a pipe with no writer does not hang before the check.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return SystemError(errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return SystemError(errno);
    if (const std::error_code error = CheckRegular(info))
        return error;
    // A regular file never blocks, so the flag no longer matters.
    return ReadDescriptorBytes(file.Get(), bytes);
}

std::error_code ReadDescriptorBytes(int fd, std::string& bytes) {
    try {
        return ReadAll(fd, bytes);
    } catch (const std::bad_alloc&) {
        return std::make_error_code(std::errc::not_enough_memory);
    } catch (const std::length_error&) {
        return std::make_error_code(std::errc::not_enough_memory);
    }
}

} // namespace quillvane
