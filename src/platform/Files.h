#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vorlith {

// True when a file (not a folder) exists at the path; an empty path is no file.
bool FileExists(std::string_view path);

// True when the path names a regular file (after links): not a folder, FIFO, device or socket,
// which could block a read or never end it.
bool IsRegularFile(std::string_view path);
// The size of the regular file the path names (after links); nothing for anything else.
std::optional<std::size_t> RegularFileSize(std::string_view path);

// A warning naming the path when something that is not a regular file stands there (a folder, a
// FIFO, a device, a dangling link), which the program then leaves unread; empty otherwise.
std::string NotAFileWarning(const std::string& path);

// The first maxBytes + 1 bytes at most of a regular file (one more than allowed, so that the
// caller can tell a file over its limit); no value for anything else or an unreadable file.
// Never blocks on a FIFO put in the file's place.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes);

} // namespace vorlith
