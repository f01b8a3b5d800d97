// Main Keyword and Gather Keywords from the terminal.
#include "cli/CommandTable.h"
#include "cli/ConsoleUi.h"
#include "harvest/Harvest.h"
#include "workspace/DialogRules.h"
#include "workspace/MainKeyword.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

namespace vorlith::cli {

namespace {

void PrintLine(std::FILE* file, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
}

// The main keyword dialog answered with TEXT; it refuses empty text as the dialog does.
int MainKeyword(CliContext& context, const Arguments& given) {
    if (const auto refusal = SetMainKeyword(context.Ws, given[0])) {
        context.Ui.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return ExitFailed;
    }
    return ExitOk;
}

// Fails when there was no main keyword or the service could not be reached; the outcome and the
// item count go to standard error.
QCoro::Task<int> GatherKeywords(CliContext& context, const Arguments&) {
    Workspace& ws = context.Ws;
    const HarvestEnd end = co_await GatherKeywords(ws);
    context.Ui.RethrowReportedError();
    if (end == HarvestEnd::Refused)
        co_return ExitFailed;
    PrintStatus(context);
    if (end == HarvestEnd::ChallengeCancelled) {
        PrintLine(context.Err, "Gather Keywords: the security image was cancelled; nothing was gathered");
        co_return ExitFailed;
    }
    PrintLine(context.Err, ws.SecondStatusText());
    co_return end == HarvestEnd::Read ? ExitOk : ExitFailed;
}

} // namespace

void RegisterHarvestCommands(CommandTable& table) {
    table.Add({"--main-keyword", {"TEXT"}, "accept TEXT in the main keyword dialog", {}, MainKeyword});
    table.Add({"--gather-keywords",
               {},
               "gather keywords for the main keyword; a security image's address is printed and its "
               "answer read from standard input (end of input: Cancel)",
               {},
               {},
               GatherKeywords});
}

} // namespace vorlith::cli
