// Gathering the search engines' result counts from the terminal.
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "stats/GatherData.h"
#include "workspace/Workspace.h"

namespace vorlith::cli {

namespace {

QCoro::Task<int> GatherData(CliContext& context, const Arguments& given) {
    const std::string& mode = given[0];
    if (mode != "precise" && mode != "broad") {
        std::fprintf(context.Err, "--gather-data takes precise or broad, not \"%s\"\n", mode.c_str());
        co_return ExitUsage;
    }
    // The empty table's message goes to standard error; a script should see it failed.
    if (context.Ws.table.RowCount() == 0) {
        GatherDataOrStop(context.Ws);
        co_return ExitFailed;
    }
    context.Ui.SearchTypeAnswers.push_back(mode == "precise");
    SaySourceNews(context);
    GatherDataOrStop(context.Ws);
    co_await context.Ws.Runs.UntilIdle();
    context.Ui.RethrowReportedError();
    SaySourceNews(context);
    context.LookupsAsked = true;
    std::fprintf(context.Err, "%s\n", GatherSummaryLine(context.Ws.LastRun).c_str());
    co_return ExitOk;
}

// Failed lookups are asked again; the exit status looks at what is still failed at the end.
QCoro::Task<int> RetryFailedLookups(CliContext& context, const Arguments&) {
    if (context.Ws.table.FailedCount() == 0) {
        std::fprintf(context.Err, "%s\n", GatherSummaryLine({}).c_str());
        co_return ExitOk;
    }
    RetryFailed(context.Ws);
    co_await context.Ws.Runs.UntilIdle();
    context.Ui.RethrowReportedError();
    SaySourceNews(context);
    context.LookupsAsked = true;
    std::fprintf(context.Err, "%s\n", GatherSummaryLine(context.Ws.LastRun).c_str());
    co_return ExitOk;
}

} // namespace

void RegisterStatsCommands(CommandTable& table) {
    table.Add(
        {"--gather-data",
         {"precise|broad"},
         "ask Google, Yahoo and MSN for the result count of every keyword in the table; ends with "
         "\"Gather Data: A asked, S succeeded, F failed\" on standard error, and the exit status is 1 when "
         "lookups are still failed at the end",
         {},
         {},
         GatherData});
    table.Add(
        {"--retry-failed",
         {},
         "Retry Failed: ask again for the counts whose lookup failed (in the last run's mode), with its own "
         "summary line",
         {},
         {},
         RetryFailedLookups});
}

} // namespace vorlith::cli
