#pragma once

#include <string>
#include <string_view>

namespace vorlith {

class Shell;

// The program path of a registered command: what lies between its first two double quotes
// ("" when there are fewer than two; the text after a lone quote is dropped as well).
std::string ProgramPathOfCommand(std::string_view command);

// Opens URL in the browser registered for HTML files: that program is started with URL, as it
// is and unquoted, as its whole parameter text. Nothing registered: nothing happens. False when
// nothing was started.
bool OpenInBrowser(Shell& shell, std::string_view URL);

} // namespace vorlith
