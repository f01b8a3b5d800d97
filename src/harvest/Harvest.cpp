#include "harvest/Harvest.h"

#include "harvest/Challenge.h"
#include "harvest/Rounds.h"
#include "harvest/Suggestions.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

QCoro::Task<HarvestEnd> GatherKeywords(Workspace& ws) {
    // Refused before anything changes: clearing Aborted here would undo a Stop that the waiting
    // request or the search-count run has not seen yet.
    if (RefuseWhileClientBusy(ws))
        co_return HarvestEnd::Refused;
    // Rows cannot be added while a worker reads the table.
    if (RefusedWhileBusy(ws))
        co_return HarvestEnd::Refused;
    if (ws.MainKeyword.empty()) {
        // Aborted is cleared as a run would, though none starts.
        ws.Runs.ClearAborted();
        ws.Ui.ShowMessage(MessageKind::Information, NoMainKeywordHarvestMessage, MessageButtons::Ok);
        co_return HarvestEnd::Refused;
    }
    if (!BuiltInHarvest(ws)) {
        const HarvestEnd end = co_await GatherKeywordsInRounds(ws);
        co_return end;
    }
    ws.LastHarvest = {};
    const auto running = ws.Runs.Begin(RunKind::GatherKeywords);
    const auto step = ws.History.Run("Gather Keywords");
    try {
        ws.LastHarvest.Requests = 1;
        ws.LastHarvest.AllFailed = true;
        FetchResult fetched =
            co_await FetchPage(ws, SuggestionAddress(ws.Endpoints.SuggestionServiceBase, ws.MainKeyword));
        if (!fetched.Ok)
            co_return HarvestEnd::FetchFailed;
        std::string page = std::move(fetched.Page);
        if (HasChallenge(page)) {
            const bool answered = co_await AnswerChallenge(ws, page);
            if (!answered)
                co_return HarvestEnd::ChallengeCancelled;
        }
        const int before = ws.table.RowCount();
        ParseSuggestions(ws, page);
        ws.LastHarvest.AllFailed = false;
        ws.LastHarvest.NewKeywords = ws.table.RowCount() - before;
        if (const SourceEntry* builtin = ws.Sources.FindSuggest(BuiltinSourceId))
            for (int row = before; row < ws.table.RowCount(); ++row)
                ws.RowSources[ws.table.Id(row)] = builtin->Name;
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Gather Keywords");
        co_return HarvestEnd::FetchFailed;
    }
    co_return HarvestEnd::Read;
}

} // namespace vorlith
