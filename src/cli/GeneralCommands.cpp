// Settings that every command shares.
#include "cli/CommandTable.h"

#include <charconv>

namespace vorlith::cli {

void RegisterGeneralCommands(CommandTable& table) {
    table.Add({"--folder",
               {"DIR"},
               "use DIR as the program folder (default: the program's own folder, or ~/.local/share/vorlith/ "
               "when installed)",
               [](CliSetup& setup, const Arguments& given) { setup.Folder = given[0]; },
               {}});
    table.Add({"--yes",
               {},
               "answer OK to every OK/Cancel question (otherwise Cancel)",
               [](CliSetup& setup, const Arguments&) { setup.Yes = true; },
               {}});
    table.Add({"--timeout",
               {"SECONDS"},
               "give up a request after SECONDS without data from the server, or SECONDS after it began "
               "(default 120; 0: never)",
               [](CliSetup& setup, const Arguments& given) {
                   int seconds = -1;
                   const char* end = given[0].data() + given[0].size();
                   const auto [stop, error] = std::from_chars(given[0].data(), end, seconds);
                   setup.TimeoutSeconds =
                       error == std::errc() && stop == end && seconds <= MaxTimeoutSeconds ? seconds : -1;
               },
               {}});
    table.Add({"--proxy",
               {"URL"},
               "send every request through the HTTP proxy at URL (http://[user:password@]host:port); "
               "default: http_proxy, https_proxy and no_proxy from the environment",
               [](CliSetup& setup, const Arguments& given) { setup.Proxy = given[0]; },
               {}});
    table.Add({"--verbose",
               {},
               "print every status text to standard error as it changes",
               [](CliSetup& setup, const Arguments&) { setup.Verbose = true; },
               {}});
}

} // namespace vorlith::cli
