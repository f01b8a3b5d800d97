// Settings that every command shares.
#include "cli/CommandTable.h"

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
    table.Add({"--verbose",
               {},
               "print every status text to standard error as it changes",
               [](CliSetup& setup, const Arguments&) { setup.Verbose = true; },
               {}});
}

} // namespace vorlith::cli
