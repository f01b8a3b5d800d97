#include "stats/GatherData.h"

#include "stats/CountEngines.h"
#include "stats/SearchEngineTable.h"
#include "workspace/SourceFetch.h"
#include "workspace/HiddenRows.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <array>
#include <memory>
#include <optional>
#include <random>
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

// What one lookup brought for a cell.
struct CellOutcome {
    bool Ok = false;
    std::string Value;
    std::string Reason;
    bool Blocked = false;
};

CellOutcome OutcomeOf(const CountEngine& engine, const SourceAnswer& answer) {
    CellOutcome outcome;
    if (answer.What == SourceAnswer::Outcome::Read) {
        CountEngine::Reading reading = engine.Read(answer.Text);
        outcome.Ok = reading.Ok;
        outcome.Value = std::move(reading.Count);
        outcome.Reason = std::move(reading.Reason);
    } else if (answer.What == SourceAnswer::Outcome::Blocked) {
        outcome.Blocked = true;
        outcome.Reason = BlockedText(engine.Entry(), answer.Reason);
    } else if (answer.What == SourceAnswer::Outcome::Stopped) {
        outcome.Reason = AbortedText;
    } else if (engine.Builtin()) {
        outcome.Reason = ConnectionErrorText;
    } else {
        outcome.Reason = engine.Entry().Name + ": " + answer.Reason;
    }
    return outcome;
}

// The built-in engines through FetchPage, as always; the file's engines politely, in memory.
QCoro::Task<CellOutcome> AskEngine(Workspace& ws, const CountEngine& engine, std::string address) {
    CellOutcome outcome;
    if (engine.Builtin()) {
        const FetchResult fetched = co_await FetchPage(ws, address);
        outcome.Ok = fetched.Ok;
        outcome.Reason = fetched.Reason;
        if (fetched.Ok)
            outcome.Value = engine.Read(fetched.Page).Count;
        co_return outcome;
    }
    if (ws.Runs.Aborted()) {
        outcome.Reason = AbortedText;
        co_return outcome;
    }
    ws.SetMainStatus(std::string(GettingUrlText) + address + std::string(GettingUrlEllipsis));
    const SourceAnswer answer = co_await AskEntry(ws.http, engine.Entry(), address, ws.Runs.Token());
    outcome = OutcomeOf(engine, answer);
    ws.SetMainStatus(outcome.Ok ? CompletedText : std::string_view(outcome.Reason));
    co_return outcome;
}

// Whether a cell's engine is to be asked; a cell Retry Failed skips is no lookup, and a blocked
// engine is not asked again in this run: its cell is marked with why.
bool RequestDue(Workspace& ws, int row, int cell, bool onlyFailed, const std::string& blocked) {
    if (onlyFailed && !ws.table.Failed(row, cell))
        return false;
    ++ws.LastRun.Asked;
    if (blocked.empty())
        return true;
    ++ws.LastRun.Failed;
    ws.table.MarkFailed(row, cell, blocked);
    return false;
}

// Writes what one lookup brought: the count, or the failure mark (and the engine's block).
void Apply(Workspace& ws, int row, int cell, const CellOutcome& outcome, std::string& blocked) {
    if (outcome.Ok) {
        ++ws.LastRun.Succeeded;
        ws.table.SetCell(row, cell, outcome.Value);
        return;
    }
    // The cell keeps its value; the mark tells it from one never asked.
    ++ws.LastRun.Failed;
    ws.table.MarkFailed(row, cell, outcome.Reason);
    if (outcome.Blocked) {
        blocked = outcome.Reason;
        ws.SetMainStatus(outcome.Reason);
        ws.BlockedNotices.push_back(outcome.Reason);
    }
}

using Clock = std::chrono::steady_clock;

// One engine of a parallel run: its own client, whose connection is kept, and its pause.
struct Lane {
    std::unique_ptr<HttpClient> Client;
    std::optional<Clock::time_point> LastStart;
};

// Never throws: the row's other engines are still under way on the run's data.
QCoro::Task<CellOutcome> AskLane(Lane& lane, CountEngine engine, std::string address, int pauseMs,
                                 CancelToken cancel) {
    CellOutcome outcome;
    outcome.Reason = AbortedText;
    try {
        if (lane.LastStart && pauseMs > 0) {
            const auto due = *lane.LastStart + std::chrono::milliseconds(pauseMs);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
            const bool waited =
                co_await PauseUnlessCancelled(static_cast<int>(std::max<long long>(left.count(), 0)), cancel);
            if (!waited)
                co_return outcome;
        }
        lane.LastStart = Clock::now();
        const SourceAnswer answer = co_await AskEntry(*lane.Client, engine.Entry(), std::move(address), cancel, true);
        outcome = OutcomeOf(engine, answer);
    } catch (const std::exception& error) {
        outcome.Reason = error.what();
    }
    co_return outcome;
}

// Which rows a run visits, fixed at its start like the row count.
std::vector<RowId> RowsToVisit(const KeywordTable& table, bool onlyFailed) {
    std::vector<RowId> visit;
    for (int row = 0; row < table.RowCount(); ++row)
        if (!onlyFailed || AnyEngineFailed(table, row))
            visit.push_back(table.Id(row));
    return visit;
}

// "Row k+1 of all" with the time left, from the pace of the rows done so far.
void ShowRunProgress(Workspace& ws, Clock::time_point started, std::size_t done, std::size_t all) {
    double secondsLeft = -1;
    if (done > 0) {
        const std::chrono::duration<double> spent = Clock::now() - started;
        secondsLeft = spent.count() / static_cast<double>(done) * static_cast<double>(all - done);
    }
    ws.Ui.ShowStatus(StatusPanel::Run,
                     RunProgressText(static_cast<int>(done) + 1, static_cast<int>(all), secondsLeft));
}

// The run with the engines of a row asked at the same time.
QCoro::Task<void> GatherCellsAtOnce(Workspace& ws, bool onlyFailed) {
    constexpr std::size_t engines = SearchEngineTable.size();
    ws.LastRun = {};
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int keywords = CellOf(Column::Keywords);
    const std::vector<RowId> visit = RowsToVisit(ws.table, onlyFailed);
    const CancelToken cancel = ws.Runs.Token();
    std::array<Lane, engines> lanes;
    for (Lane& lane : lanes) {
        lane.Client = std::make_unique<HttpClient>();
        lane.Client->Options() = ws.http.Options();
    }
    std::array<std::string, engines> blocked;
    std::mt19937 random(std::random_device{}());
    const auto started = Clock::now();
    for (std::size_t k = 0; k < visit.size(); ++k) {
        if (ws.Runs.Aborted())
            co_return;
        const RowId id = visit[k];
        ShowRunProgress(ws, started, k, visit.size());
        int row = ws.table.Find(id);
        if (row < 0)
            continue;
        const std::string keyword(ws.table.Cell(row, keywords));
        std::array<std::optional<QCoro::Task<CellOutcome>>, engines> asking;
        for (std::size_t e = 0; e < engines; ++e) {
            const CountEngine engine = CountEngineFor(ws.Sources, ws.Endpoints, e);
            const int cell = CellOf(engine.Target());
            if (!RequestDue(ws, row, cell, onlyFailed, blocked[e]))
                continue;
            const int pause = engine.Builtin() ? 0 : Jittered(engine.Entry().DelayMs, random);
            asking[e].emplace(AskLane(lanes[e], engine, engine.Address(keyword, wrap), pause, cancel));
        }
        std::string said;
        for (std::size_t e = 0; e < engines; ++e) {
            if (!asking[e])
                continue;
            CellOutcome outcome = co_await std::move(*asking[e]);
            row = ws.table.Find(id);
            if (row < 0) {
                --ws.LastRun.Asked;
                continue;
            }
            if (!outcome.Ok && said.empty())
                said = outcome.Reason;
            Apply(ws, row, CellOf(SearchEngineTable[e].Target), outcome, blocked[e]);
        }
        ws.SetMainStatus(said.empty() ? std::string(CompletedText) : said);
        // The row's counts are drawn before the next row's requests start.
        co_await NextTurn();
    }
}

// The loop of a run. Only the failed cells when onlyFailed. Rows are visited by id: sorting,
// filtering or deleting other rows under the run never sends a count to another row, and a row
// deleted under the run is skipped (its lookup under way is counted as not asked).
QCoro::Task<void> GatherCells(Workspace& ws, bool onlyFailed) {
    ws.LastRun = {};
    const std::string_view wrap = WrapText(ws.SearchMode);
    const int keywords = CellOf(Column::Keywords);
    const std::vector<RowId> visit = RowsToVisit(ws.table, onlyFailed);
    const auto started = Clock::now();
    std::array<std::string, SearchEngineTable.size()> blocked; // per engine, for the rest of the run
    for (std::size_t k = 0; k < visit.size(); ++k) {
        if (ws.Runs.Aborted())
            co_return;
        const RowId id = visit[k];
        ShowRunProgress(ws, started, k, visit.size());
        for (std::size_t e = 0; e < SearchEngineTable.size(); ++e) {
            const CountEngine engine = CountEngineFor(ws.Sources, ws.Endpoints, e);
            int row = ws.table.Find(id);
            if (row < 0)
                break;
            const int cell = CellOf(engine.Target());
            if (!RequestDue(ws, row, cell, onlyFailed, blocked[e]))
                continue;
            const std::string address = engine.Address(ws.table.Cell(row, keywords), wrap);
            const CellOutcome outcome = co_await AskEngine(ws, engine, address);
            row = ws.table.Find(id);
            if (row < 0) {
                --ws.LastRun.Asked;
                break;
            }
            Apply(ws, row, cell, outcome, blocked[e]);
            // The count is drawn before the next request starts.
            if (outcome.Ok)
                co_await NextTurn();
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
        if (ws.AskEnginesAtOnce)
            co_await GatherCellsAtOnce(ws, kind == RunKind::RetryFailed);
        else
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
    // Counts cannot be written while a worker reads the table.
    if (RefusedWhileBusy(ws))
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
    // Counts cannot be written while a worker reads the table.
    if (RefusedWhileBusy(ws))
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
