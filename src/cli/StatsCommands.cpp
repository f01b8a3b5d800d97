// Gathering the search engines' result counts from the terminal.
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "stats/GatherData.h"
#include "workspace/Workspace.h"

namespace vorlith::cli {

namespace {

int GatherData(CliContext& context, const Arguments& given) {
    const std::string& mode = given[0];
    if (mode != "precise" && mode != "broad") {
        std::fprintf(context.Err, "--gather-data takes precise or broad, not \"%s\"\n", mode.c_str());
        return ExitUsage;
    }
    // The empty table's message goes to standard error; a script should see it failed.
    if (context.Ws.table.RowCount() == 0) {
        GatherDataOrStop(context.Ws);
        return ExitFailed;
    }
    context.Ui.SearchTypeAnswers.push_back(mode == "precise");
    const std::optional<GatherDataResult> result = GatherDataOrStop(context.Ws);
    if (!result)
        return ExitFailed;
    // Failed lookups are a partial failure: what was gathered stays for the commands that follow
    // (a --save keeps it), and the run's exit status says that some counts are missing.
    context.FailedLookups = result->FailedLookups;
    const std::string summary = GatherDataSummary(*result);
    std::fprintf(context.Err, "%s\n", summary.c_str());
    return ExitOk;
}

} // namespace

void RegisterStatsCommands(CommandTable& table) {
    table.Add({"--gather-data",
               {"precise|broad"},
               "ask Google, Yahoo and MSN for the result count of every keyword in the table",
               {},
               GatherData});
}

} // namespace vorlith::cli
