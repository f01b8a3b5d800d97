#pragma once

#include <string>

namespace vorlith {

// Renames a file, never replacing one: fails without changing anything when a file (or folder)
// of the new name exists. Returns false on any failure, and never throws.
bool RenameNoReplace(const std::string& from, const std::string& to);

} // namespace vorlith
