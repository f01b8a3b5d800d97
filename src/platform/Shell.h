#pragma once
// The desktop's shell: which program opens HTML files, and starting a program or opening a
// document or address. Behind an interface so that tests never start anything.

#include <string>
#include <string_view>

namespace vorlith {

class Shell {
public:
    virtual ~Shell() = default;

    // The command registered for opening HTML files, in the Windows form
    // "\"<program path>\" \"%1\"", or "" when the desktop has none.
    virtual std::string HtmlOpenCommand() = 0;

    // The shell's "open": a program file is started detached with the parameter text as its
    // command line (blanks separate arguments, double quotes group them); any other file or an
    // address is handed to the desktop's opener. False when nothing could be started.
    virtual bool Open(std::string_view file, std::string_view parameters) = 0;
};

// The desktop's shell through xdg-open.
class SystemShell final : public Shell {
public:
    std::string HtmlOpenCommand() override;
    bool Open(std::string_view file, std::string_view parameters) override;
};

} // namespace vorlith
