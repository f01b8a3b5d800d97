#include "stats/GatherData.h"

#include "stats/SearchEngineTable.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

namespace {

void Stop(Workspace& ws) {
    ws.Aborted = true;
    ws.http.Disconnect();
    ws.SetGatherDataCaption(GatherDataIdleCaption);
    ws.Ui.SetHeaderClicksEnabled(true);
    ws.Ui.Pump();
}

// Rows can be deleted by other commands while a fetch waits; a position past the end is never
// touched.
bool RowExists(const Workspace& ws, int row) {
    return row < ws.table.RowCount();
}

} // namespace

std::string GatherDataSummary(const GatherDataResult& result) {
    return "Gather Data: " + std::to_string(result.Asked) + " asked, " + std::to_string(result.Succeeded) +
           " succeeded, " + std::to_string(result.Failed()) + " failed";
}

std::optional<GatherDataResult> GatherDataOrStop(Workspace& ws) {
    if (ws.table.RowCount() == 0) {
        ws.Ui.ShowMessage(MessageKind::Information, NoKeywordsText, MessageButtons::Ok);
        // The table may have been emptied under a running run whose request never ends; the
        // click must still be able to stop it.
        if (ws.GatherDataCaption() != GatherDataIdleCaption)
            Stop(ws);
        return std::nullopt;
    }
    if (ws.GatherDataCaption() != GatherDataIdleCaption) {
        Stop(ws);
        return std::nullopt;
    }
    // A stopped run that has not yet unwound, or another command's request: a second run would
    // enter the HTTP client twice and clear the Aborted that the first one still has to see.
    if (RefuseWhileClientBusy(ws))
        return std::nullopt;
    const std::optional<bool> precise = ws.Ui.AskSearchType();
    if (!precise)
        return std::nullopt;
    ws.SearchMode = *precise ? 0 : 1;

    ws.Ui.SetHeaderClicksEnabled(false);
    ws.Aborted = false;
    ws.SetGatherDataCaption(StopCaption);
    ws.GatherDataRunning = true;
    GatherDataResult result;
    try {
        result = GatherSearchData(ws);
    } catch (...) {
        // The error goes on to the top-level reporting; the button must not stay "Stop".
        ws.GatherDataRunning = false;
        ws.SetGatherDataCaption(GatherDataIdleCaption);
        ws.Ui.SetHeaderClicksEnabled(true);
        throw;
    }
    ws.GatherDataRunning = false;
    ws.SetGatherDataCaption(GatherDataIdleCaption);
    ws.Ui.Pump();
    ws.Ui.SetHeaderClicksEnabled(true);
    return result;
}

GatherDataResult GatherSearchData(Workspace& ws) {
    GatherDataResult result;
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int rows = ws.table.RowCount();
    const int keywords = CellOf(Column::Keywords);
    std::string page;
    for (int row = 0; row < rows; ++row) {
        if (ws.Aborted)
            return result;
        for (const SearchEngine& engine : SearchEngineTable) {
            // Rows deleted under the run: it ends at the first position past the end.
            if (!RowExists(ws, row))
                return result;
            const std::string address =
                RequestAddress(engine, ws.Endpoints, ws.table.Cell(row, keywords), wrap);
            ++result.Asked;
            if (FetchPage(ws, address, page)) {
                ++result.Succeeded;
                std::string count = CutCount(engine, page);
                if (!RowExists(ws, row))
                    return result;
                ws.table.SetCell(row, CellOf(engine.Target), std::move(count));
                ws.Ui.Pump();
            } else {
                result.FailedLookups.push_back({row, CellOf(engine.Target)});
            }
            if (ws.Aborted)
                return result;
        }
    }
    return result;
}

} // namespace vorlith
