// Fetching a page and downloading a file from the terminal.
#include "cli/CommandTable.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

namespace vorlith::cli {

namespace {

QCoro::Task<int> Fetch(CliContext& context, const Arguments& given) {
    const FetchResult fetched = co_await FetchPage(context.Ws, given[0]);
    const bool written = WriteAll(context.Out, fetched.Page);
    PrintStatus(context);
    if (!written) {
        std::fprintf(context.Err, "fetch: cannot write the page to standard output\n");
        co_return ExitFailed;
    }
    co_return fetched.Ok ? ExitOk : ExitFailed;
}

QCoro::Task<int> Download(CliContext& context, const Arguments& given) {
    const bool stored = co_await DownloadFileReplacing(context.Ws, given[0], given[1]);
    if (stored)
        co_return ExitOk;
    std::fprintf(context.Err, "Download failed: %s\n", given[0].c_str());
    if (const std::string cause = context.Ws.http.LastFailure().Text(); !cause.empty())
        std::fprintf(context.Err, "%s\n", cause.c_str());
    co_return ExitFailed;
}

} // namespace

void RegisterNetCommands(CommandTable& table) {
    table.Add({"fetch",
               {"URL"},
               "fetch the page at URL: its text to standard output, the status to standard error",
               {},
               {},
               Fetch});
    table.Add({"download", {"URL", "FILE"}, "store the answer to URL in FILE", {}, {}, Download});
}

} // namespace vorlith::cli
