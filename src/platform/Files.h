#pragma once

#include <string_view>

namespace vorlith {

// True when a file (not a folder) exists at the path; an empty path is no file.
bool FileExists(std::string_view path);

} // namespace vorlith
