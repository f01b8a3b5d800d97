#include "workspace/LiveTableCommands.h"

#include "workspace/ColumnSorting.h"
#include "workspace/Duplicates.h"
#include "workspace/KeywordTable.h"
#include "workspace/Workspace.h"

#include <QLocale>
#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlith {

namespace {

constexpr const char* BusyText = "Wait for the table work under way to end, or press Esc to cancel it.";

} // namespace

QCoro::Task<bool> RunOnWorker(Workspace& ws, const std::function<void(TableWork::Control&)>& job,
                              const std::string& text, bool holdTable) {
    // Copied before the first suspension: GCC 12 destroys a by-value coroutine parameter made
    // from a temporary twice.
    const std::function<void(TableWork::Control&)> stoppable = [job](TableWork::Control& control) {
        try {
            job(control);
        } catch (const WorkStopped&) {
            control.Cancelled = true;
        }
    };
    // The progress text, once the work has taken long enough to show it; the usual text comes
    // back at the end, however it ends, only if it was replaced.
    bool shown = false;
    const std::function<void(std::size_t)> progress = [&ws, &shown, shownText = text + " (Esc cancels)"](std::size_t) {
        shown = true;
        ws.Ui.ShowStatus(StatusPanel::Main, shownText);
    };
    // Nothing changes the rows while a worker reads them.
    struct Hold {
        KeywordTable* table;
        ~Hold() {
            if (table)
                table->LetGo();
        }
    } hold{holdTable ? &ws.table : nullptr};
    if (holdTable)
        ws.table.Hold();
    bool finished = false;
    std::exception_ptr failed;
    try {
        finished = co_await ws.Work.Run(stoppable, progress);
    } catch (...) {
        failed = std::current_exception();
    }
    if (shown)
        ws.Ui.ShowStatus(StatusPanel::Main, ws.MainStatusText());
    if (failed)
        std::rethrow_exception(failed);
    co_return finished;
}

QCoro::Task<bool> ReadOnWorker(Workspace& ws,
                               std::function<void(const KeywordTable&, TableWork::Control&)> read,
                               std::string text) {
    const KeywordTable& table = ws.table;
    const std::function<void(TableWork::Control&)> job = [&table, read = std::move(read)](TableWork::Control& control) {
        read(table, control);
    };
    return RunOnWorker(ws, job, text, true);
}

QCoro::Task<bool> ReadOnWorker(Workspace& ws, std::function<void(const KeywordTable&)> read,
                               std::string text) {
    std::function<void(const KeywordTable&, TableWork::Control&)> withControl =
        [read = std::move(read)](const KeywordTable& table, TableWork::Control&) { read(table); };
    return ReadOnWorker(ws, std::move(withControl), std::move(text));
}

bool AtOnce(const Workspace& ws, std::size_t rows, int liveWorkRows) {
    return rows < static_cast<std::size_t>(std::max(liveWorkRows, 0)) || !ws.Runs.Idle();
}

bool RefusedWhileBusy(Workspace& ws) {
    if (!ws.Work.Busy())
        return false;
    ws.Ui.ShowStatus(StatusPanel::Main, BusyText);
    return true;
}

QCoro::Task<void> SortByColumnLive(Workspace& ws, int column, int liveWorkRows) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        if (AtOnce(ws, static_cast<std::size_t>(ws.table.RowCount()), liveWorkRows)) {
            SortByColumn(ws, column);
            co_return;
        }
        // The direction is settled only when the rows move: a cancelled sort leaves both as they were.
        const bool ascending = column == ws.SortColumn ? !ws.SortAscending : ws.SortAscending;
        auto order = std::make_shared<KeywordTable::PreparedOrder>();
        const QLocale locale = QLocale::system();
        auto read = [order, column, ascending, locale](const KeywordTable& table,
                                                       TableWork::Control& control) {
            const auto* stop = &control.Cancelled;
            *order = table.PrepareReorder(SortOrder(table, column, ascending, locale, stop), stop);
        };
        const bool finished = co_await ReadOnWorker(ws, read, "Sorting\u2026");
        if (!finished) {
            ws.Ui.ShowStatus(StatusPanel::Main, "Sort cancelled.");
            co_return;
        }
        ws.SortColumn = column;
        ws.SortAscending = ascending;
        ws.table.Reorder(std::move(*order));
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Sort");
    }
}

QCoro::Task<void> RemoveDuplicatesLive(Workspace& ws, int liveWorkRows) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        if (AtOnce(ws, static_cast<std::size_t>(ws.table.RowCount()), liveWorkRows)) {
            RemoveDuplicates(ws);
            co_return;
        }
        auto duplicates = std::make_shared<std::vector<bool>>();
        const QLocale locale = QLocale::system();
        auto read = [duplicates, locale](const KeywordTable& table, TableWork::Control& control) {
            *duplicates = DuplicateRows(table, locale, &control.Cancelled);
        };
        const bool finished = co_await ReadOnWorker(ws, read, "Looking for duplicates\u2026");
        if (!finished) {
            ws.Ui.ShowStatus(StatusPanel::Main, "Remove Duplicates cancelled.");
            co_return;
        }
        RemoveMarkedDuplicates(ws, *duplicates);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Remove Duplicates");
    }
}

} // namespace vorlith
