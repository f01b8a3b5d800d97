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
    if (const auto refusal = MainKeywordRefusal(given[0])) {
        context.Ui.ShowMessage(MessageKind::Information, *refusal, MessageButtons::Ok);
        return ExitFailed;
    }
    context.Ui.MainKeywordAnswers.push_back(given[0]);
    EnterMainKeyword(context.Ws);
    return ExitOk;
}

// Fails when there was no main keyword or the service could not be reached; the outcome and the
// item count go to standard error.
int GatherKeywords(CliContext& context, const Arguments&) {
    Workspace& ws = context.Ws;
    const bool hadKeyword = !ws.MainKeyword.empty();
    GatherKeywords(ws);
    if (!hadKeyword)
        return ExitFailed;
    PrintLine(context.Err, ws.MainStatusText());
    PrintLine(context.Err, ws.SecondStatusText());
    return ws.MainStatusText() == ConnectionErrorText || ws.MainStatusText() == AbortedText ? ExitFailed
                                                                                            : ExitOk;
}

} // namespace

void RegisterHarvestCommands(CommandTable& table) {
    table.Add({"--main-keyword", {"TEXT"}, "accept TEXT in the main keyword dialog", {}, MainKeyword});
    table.Add({"--gather-keywords",
               {},
               "gather keywords for the main keyword; a security image's address is printed and its "
               "answer read from standard input (end of input: Cancel)",
               {},
               GatherKeywords});
}

} // namespace vorlith::cli
