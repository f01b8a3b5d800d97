#include "stats/GatherData.h"

#include "stats/SearchEngineTable.h"
#include "workspace/HiddenRows.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vorlith {

namespace {

bool AnyEngineFailed(const KeywordTable& table, int row) {
    for (const SearchEngine& engine : SearchEngineTable)
        if (table.Failed(row, CellOf(engine.Target)))
            return true;
    return false;
}

// The loop of a run. Only the failed cells when onlyFailed. Rows are visited by id: sorting,
// filtering or deleting other rows under the run never sends a count to another row, and a row
// deleted under the run is skipped (its lookup under way is counted as not asked).
QCoro::Task<void> GatherCells(Workspace& ws, bool onlyFailed) {
    ws.LastRun = {};
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int keywords = CellOf(Column::Keywords);
    // Which rows the run visits, fixed at its start like the row count.
    std::vector<RowId> visit;
    for (int row = 0; row < ws.table.RowCount(); ++row)
        if (!onlyFailed || AnyEngineFailed(ws.table, row))
            visit.push_back(ws.table.Id(row));
    const auto started = std::chrono::steady_clock::now();
    for (std::size_t k = 0; k < visit.size(); ++k) {
        if (ws.Runs.Aborted())
            co_return;
        const RowId id = visit[k];
        double left = -1;
        if (k > 0) {
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
            left = spent.count() / static_cast<double>(k) * static_cast<double>(visit.size() - k);
        }
        ws.Ui.ShowStatus(StatusPanel::Run,
                         RunProgressText(static_cast<int>(k) + 1, static_cast<int>(visit.size()), left));
        for (const SearchEngine& engine : SearchEngineTable) {
            int row = ws.table.Find(id);
            if (row < 0)
                break;
            const int cell = CellOf(engine.Target);
            if (onlyFailed && !ws.table.Failed(row, cell))
                continue;
            const std::string address =
                RequestAddress(engine, ws.Endpoints, ws.table.Cell(row, keywords), wrap);
            ++ws.LastRun.Asked;
            const FetchResult fetched = co_await FetchPage(ws, address);
            row = ws.table.Find(id);
            if (row < 0) {
                --ws.LastRun.Asked;
                break;
            }
            if (fetched.Ok) {
                ++ws.LastRun.Succeeded;
                ws.table.SetCell(row, cell, CutCount(engine, fetched.Page));
                // The count is drawn before the next request starts.
                co_await NextTurn();
            } else {
                // The cell keeps its value; the mark tells it from one never asked.
                ++ws.LastRun.Failed;
                ws.table.MarkFailed(row, cell, fetched.Reason);
            }
            if (ws.Runs.Aborted())
                co_return;
        }
    }
}

QCoro::Task<void> Run(Workspace& ws, RunKind kind) {
    const auto running = ws.Runs.Begin(kind);
    const auto step = ws.History.Run(kind == RunKind::RetryFailed ? "Retry Failed" : "Gather Data");
    bool stopped = true;
    try {
        co_await GatherCells(ws, kind == RunKind::RetryFailed);
        stopped = ws.Runs.Aborted();
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Gather Data");
    }
    ws.Ui.ShowStatus(StatusPanel::Run, RunOutcomeText(ws.LastRun, stopped));
}

// A click while a search-count run goes on stops it; true when the click was that.
bool StopIfRunning(Workspace& ws) {
    if (!ws.Runs.GatherDataRunning())
        return false;
    ws.Runs.Stop();
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
    ws.Runs.Adopt(Run(ws, RunKind::GatherData));
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
    std::vector<bool> failed(static_cast<std::size_t>(ws.table.RowCount()));
    for (int r = 0; r < ws.table.RowCount(); ++r)
        for (int c = 1; c < CellCount; ++c)
            failed[static_cast<std::size_t>(r)] =
                failed[static_cast<std::size_t>(r)] || ws.table.Failed(r, c);
    if (!AgreeToHiddenRows(ws, failed, HiddenFailedQuestion))
        return;
    ws.Runs.Adopt(Run(ws, RunKind::RetryFailed));
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
