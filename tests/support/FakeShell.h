#pragma once
// A Shell for tests: records what would have been started and starts nothing.

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace vorlith::test {

class FakeShell : public Shell {
public:
    struct Opened {
        std::string File;
        std::string Parameters;
        bool operator==(const Opened&) const = default;
    };

    std::string HtmlCommand; // what HtmlOpenCommand() answers
    std::vector<Opened> Started;
    bool Starts = true; // what Open() answers: false plays a desktop with no opener

    std::string HtmlOpenCommand() override { return HtmlCommand; }
    bool Open(std::string_view file, std::string_view parameters) override {
        Started.push_back({std::string(file), std::string(parameters)});
        return Starts;
    }
};

} // namespace vorlith::test
