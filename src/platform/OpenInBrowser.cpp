#include "platform/OpenInBrowser.h"

#include "platform/Shell.h"

namespace vorlith {

std::string ProgramPathOfCommand(std::string_view command) {
    if (const auto first = command.find('"'); first != std::string_view::npos)
        command.remove_prefix(first + 1);
    const auto next = command.find('"');
    if (next == std::string_view::npos)
        return {};
    return std::string(command.substr(0, next));
}

bool OpenInBrowser(Shell& shell, std::string_view URL) {
    const std::string command = shell.HtmlOpenCommand();
    if (command.empty())
        return false;
    return shell.Open(ProgramPathOfCommand(command), URL);
}

} // namespace vorlith
