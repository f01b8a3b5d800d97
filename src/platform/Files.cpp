#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vorlith {

bool FileExists(std::string_view path) {
    if (path.empty())
        return false;
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool IsRegularFile(std::string_view path) {
    return RegularFileSize(path).has_value();
}

std::optional<std::size_t> RegularFileSize(std::string_view path) {
    struct stat info {};
    if (path.empty() || ::stat(std::string(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::size_t>(info.st_size);
}

std::string NotAFileWarning(const std::string& path) {
    struct stat named {}, target{};
    if (path.empty() || ::lstat(path.c_str(), &named) != 0 || IsRegularFile(path))
        return {};
    std::string why = "it is not a regular file";
    if (::stat(path.c_str(), &target) != 0)
        why = "it is a link to nothing";
    else if (S_ISDIR(target.st_mode))
        why = "it is a folder";
    return "The file " + path + " is not read: " + why + ".";
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so that a FIFO swapped in after a check cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    const std::size_t wanted = maxBytes + 1;
    bytes.resize(std::min<std::size_t>(wanted, static_cast<std::size_t>(info.st_size) + 1));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have >= wanted)
                break;
            bytes.resize(std::min(wanted, have * 2 + 4096)); // the file grew since fstat
        }
        const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(have);
    return bytes;
}

} // namespace vorlith
