#include "stats/GatherData.h"

#include "stats/SearchEngineTable.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

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

bool AnyEngineFailed(const KeywordTable& table, int row) {
    for (const SearchEngine& engine : SearchEngineTable)
        if (table.Failed(row, CellOf(engine.Target)))
            return true;
    return false;
}

// The loop of a run. Only the failed cells when onlyFailed.
void GatherCells(Workspace& ws, bool onlyFailed) {
    ws.LastRun = {};
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int rows = ws.table.RowCount();
    const int keywords = CellOf(Column::Keywords);
    // Which rows the run visits, fixed at its start like the row count.
    std::vector<int> visit;
    for (int row = 0; row < rows; ++row)
        if (!onlyFailed || AnyEngineFailed(ws.table, row))
            visit.push_back(row);
    const auto started = std::chrono::steady_clock::now();
    std::string page;
    for (std::size_t k = 0; k < visit.size(); ++k) {
        if (ws.Aborted)
            return;
        const int row = visit[k];
        double left = -1;
        if (k > 0) {
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
            left = spent.count() / static_cast<double>(k) * static_cast<double>(visit.size() - k);
        }
        ws.Ui.ShowStatus(StatusPanel::Run,
                         RunProgressText(static_cast<int>(k) + 1, static_cast<int>(visit.size()), left));
        for (const SearchEngine& engine : SearchEngineTable) {
            // Rows deleted under the run: it ends at the first position past the end.
            if (!RowExists(ws, row))
                return;
            const int cell = CellOf(engine.Target);
            if (onlyFailed && !ws.table.Failed(row, cell))
                continue;
            const std::string address =
                RequestAddress(engine, ws.Endpoints, ws.table.Cell(row, keywords), wrap);
            ++ws.LastRun.Asked;
            const bool fetched = FetchPage(ws, address, page);
            if (!RowExists(ws, row)) {
                ++(fetched ? ws.LastRun.Succeeded : ws.LastRun.Failed);
                return;
            }
            if (fetched) {
                ++ws.LastRun.Succeeded;
                ws.table.SetCell(row, cell, CutCount(engine, page));
                ws.Ui.Pump();
            } else {
                // The cell keeps its value; the mark tells it from one never asked.
                ++ws.LastRun.Failed;
                ws.table.MarkFailed(row, cell,
                                    ws.Aborted ? AbortedText : std::string_view(ws.MainStatusText()));
            }
            if (ws.Aborted)
                return;
        }
    }
}

void Run(Workspace& ws, bool onlyFailed) {
    ws.Ui.SetHeaderClicksEnabled(false);
    ws.Aborted = false;
    ws.SetGatherDataCaption(StopCaption);
    ws.GatherDataRunning = true;
    const auto finish = [&ws](bool stopped) {
        ws.GatherDataRunning = false;
        ws.SetGatherDataCaption(GatherDataIdleCaption);
        ws.Ui.ShowStatus(StatusPanel::Run, RunOutcomeText(ws.LastRun, stopped));
    };
    try {
        GatherCells(ws, onlyFailed);
    } catch (...) {
        // The error goes on to the top-level reporting; the button must not stay "Stop".
        finish(true);
        ws.Ui.SetHeaderClicksEnabled(true);
        throw;
    }
    finish(ws.Aborted);
    ws.Ui.Pump();
    ws.Ui.SetHeaderClicksEnabled(true);
}

// A click while a run's caption reads "Stop" stops it; true when the click was that.
bool StopIfRunning(Workspace& ws) {
    if (ws.GatherDataCaption() == GatherDataIdleCaption)
        return false;
    Stop(ws);
    return true;
}

} // namespace

void GatherDataOrStop(Workspace& ws) {
    if (ws.table.RowCount() == 0) {
        ws.Ui.ShowMessage(MessageKind::Information, NoKeywordsText, MessageButtons::Ok);
        // The table may have been emptied under a running run whose request never ends; the
        // click must still be able to stop it.
        StopIfRunning(ws);
        return;
    }
    if (StopIfRunning(ws))
        return;
    // A stopped run that has not yet unwound, or another command's request: a second run would
    // enter the HTTP client twice and clear the Aborted that the first one still has to see.
    if (RefuseWhileClientBusy(ws))
        return;
    const std::optional<bool> precise = ws.Ui.AskSearchType();
    if (!precise)
        return;
    ws.SearchMode = *precise ? 0 : 1;
    Run(ws, false);
}

void GatherSearchData(Workspace& ws) {
    GatherCells(ws, false);
}

void RetryFailed(Workspace& ws) {
    if (StopIfRunning(ws))
        return;
    if (RefuseWhileClientBusy(ws))
        return;
    if (ws.table.FailedCount() == 0) {
        ws.Ui.ShowMessage(MessageKind::Information, NothingToRetryText, MessageButtons::Ok);
        return;
    }
    Run(ws, true);
}

std::string RunProgressText(int row, int rows, double secondsLeft) {
    std::string text = "Row " + std::to_string(row) + " of " + std::to_string(rows);
    if (secondsLeft < 0 || !std::isfinite(secondsLeft))
        return text;
    const long total = std::lround(secondsLeft);
    const long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
    char left[48];
    if (hours > 0)
        std::snprintf(left, sizeof left, ", %ld:%02ld:%02ld left", hours, minutes, seconds);
    else
        std::snprintf(left, sizeof left, ", %ld:%02ld left", minutes, seconds);
    return text + left;
}

std::string RunOutcomeText(const Workspace::RunCounts& counts, bool stopped) {
    return std::string(stopped ? "Stopped: " : "Done: ") + std::to_string(counts.Failed) + " failed of " +
           std::to_string(counts.Asked);
}

std::string GatherSummaryLine(const Workspace::RunCounts& counts) {
    return "Gather Data: " + std::to_string(counts.Asked) + " asked, " + std::to_string(counts.Succeeded) +
           " succeeded, " + std::to_string(counts.Failed) + " failed";
}

} // namespace vorlith
