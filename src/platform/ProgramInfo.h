#pragma once
// What `--version` prints, the same for every program of the package.

#include <string>
#include <string_view>

namespace vorlith {

// The release, as the build names it ("1.04").
std::string_view ProgramVersion();

// "<program> <version>" and a line break.
std::string VersionText(std::string_view program);

} // namespace vorlith
