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

// Nothing changes the rows while a worker reads them.
class TableHold {
public:
    explicit TableHold(KeywordTable& table) : table_(table) { table_.Hold(); }
    ~TableHold() { table_.LetGo(); }
    TableHold(const TableHold&) = delete;
    TableHold& operator=(const TableHold&) = delete;

private:
    KeywordTable& table_;
};

// The progress text, once the work has taken long enough to show it; the usual text comes back
// at the end only if it was replaced.
struct ProgressText {
    Workspace& ws;
    std::string text;
    bool shown = false;
    std::function<void(std::size_t)> Callback() {
        return [this](std::size_t) {
            shown = true;
            ws.Ui.ShowStatus(StatusPanel::Main, text);
        };
    }
    void Restore() const {
        if (shown)
            ws.Ui.ShowStatus(StatusPanel::Main, ws.MainStatusText());
    }
};

} // namespace

QCoro::Task<bool> ReadOnWorker(Workspace& ws,
                               std::function<void(const KeywordTable&, TableWork::Control&)> read,
                               std::string text) {
    ProgressText progress{ws, std::move(text) + " (Esc cancels)"};
    std::optional<TableHold> hold(std::in_place, ws.table);
    const KeywordTable& table = ws.table;
    auto job = [&table, read = std::move(read)](TableWork::Control& control) {
        try {
            read(table, control);
        } catch (const WorkStopped&) {
            control.Cancelled = true;
        }
    };
    const bool finished = co_await ws.Work.Run(job, progress.Callback());
    hold.reset();
    progress.Restore();
    co_return finished;
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
