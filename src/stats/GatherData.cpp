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

void GatherDataOrStop(Workspace& ws) {
    if (ws.table.RowCount() == 0) {
        ws.Ui.ShowMessage(MessageKind::Information, NoKeywordsText, MessageButtons::Ok);
        // The table may have been emptied under a running run whose request never ends; the
        // click must still be able to stop it.
        if (ws.GatherDataCaption() != GatherDataIdleCaption)
            Stop(ws);
        return;
    }
    if (ws.GatherDataCaption() != GatherDataIdleCaption) {
        Stop(ws);
        return;
    }
    // A stopped run that has not yet unwound, or another command's request: a second run would
    // enter the HTTP client twice and clear the Aborted that the first one still has to see.
    if (RefuseWhileClientBusy(ws))
        return;
    const std::optional<bool> precise = ws.Ui.AskSearchType();
    if (!precise)
        return;
    ws.SearchMode = *precise ? 0 : 1;

    ws.Ui.SetHeaderClicksEnabled(false);
    ws.Aborted = false;
    ws.SetGatherDataCaption(StopCaption);
    ws.GatherDataRunning = true;
    try {
        GatherSearchData(ws);
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
}

void GatherSearchData(Workspace& ws) {
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int rows = ws.table.RowCount();
    const int keywords = CellOf(Column::Keywords);
    std::string page;
    for (int row = 0; row < rows; ++row) {
        if (ws.Aborted)
            return;
        for (const SearchEngine& engine : SearchEngineTable) {
            // Rows deleted under the run: it ends at the first position past the end.
            if (!RowExists(ws, row))
                return;
            const std::string address =
                RequestAddress(engine, ws.Endpoints, ws.table.Cell(row, keywords), wrap);
            if (FetchPage(ws, address, page)) {
                std::string count = CutCount(engine, page);
                if (!RowExists(ws, row))
                    return;
                ws.table.SetCell(row, CellOf(engine.Target), std::move(count));
                ws.Ui.Pump();
            }
            if (ws.Aborted)
                return;
        }
    }
}

} // namespace vorlith
