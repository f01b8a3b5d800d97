#include "platform/Files.h"

#include <filesystem>
#include <system_error>

namespace vorlith {

bool FileExists(std::string_view path) {
    if (path.empty())
        return false;
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

} // namespace vorlith
