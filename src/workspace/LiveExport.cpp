#include "workspace/LiveExport.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordTable.h"
#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace vorlith {

namespace {

// Whether the filter shows any row, read on the worker; nothing when cancelled.
QCoro::Task<std::optional<bool>> AnyRowShown(Workspace& ws) {
    if (ws.Filter.empty())
        co_return ws.table.RowCount() > 0;
    auto any = std::make_shared<bool>(false);
    auto read = [any, filter = ws.Filter](const KeywordTable& table, TableWork::Control& control) {
        const std::string needle = FoldedNeedle(filter);
        for (int r = 0; r < table.RowCount() && !*any; ++r) {
            if (r % 65536 == 0)
                StopIfAsked(&control.Cancelled);
            *any = KeywordContains(table.Cell(r, CellOf(Column::Keywords)), needle);
        }
    };
    const bool finished = co_await ReadOnWorker(ws, read, "Saving\u2026");
    if (!finished)
        co_return std::nullopt;
    co_return *any;
}

// The chosen file written on the worker, as SaveRowsTo writes it.
QCoro::Task<void> WriteOnWorker(Workspace& ws, const std::string& chosen, bool shownOnly) {
    const std::string path = WithCsvExtension(chosen);
    ws.SaveDialogFileName = path;
    auto written = std::make_shared<bool>(false);
    const RowSourceNames* sources = ws.SourceColumnShown ? &ws.RowSources : nullptr;
    auto read = [written, path, sources, shownOnly, filter = ws.Filter](const KeywordTable& table,
                                                                        TableWork::Control& control) {
        const std::vector<int> rows = shownOnly ? FilterRows(table, filter) : std::vector<int>();
        WriteFileReplacingWith(path, [&](const ByteSink& sink) {
            // A piece is about a mebibyte: Esc is seen within a few milliseconds.
            const ByteSink checked = [&](std::string_view piece) {
                StopIfAsked(&control.Cancelled);
                sink(piece);
            };
            WriteResultsCsv(table, shownOnly ? &rows : nullptr, checked, sources);
        });
        *written = true;
    };
    std::string reason;
    try {
        co_await ReadOnWorker(ws, read, "Saving\u2026");
        // Esc after the last byte: the file is already whole, and saved.
        if (!*written) {
            ws.Ui.ShowStatus(StatusPanel::Main, SaveCancelledText);
            co_return;
        }
        if (!shownOnly)
            ws.MarkSaved();
        co_return;
    } catch (const SaveError& e) {
        reason = e.what();
    } catch (const std::bad_alloc&) {
        reason = "Out of memory";
    }
    ws.Ui.ShowMessage(MessageKind::Warning, SaveFailedMessage(path, reason), MessageButtons::Ok);
}

QCoro::Task<void> SaveLive(Workspace& ws, bool shownOnly, int liveWorkRows) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        if (AtOnce(ws, static_cast<std::size_t>(ws.table.RowCount()), liveWorkRows)) {
            if (shownOnly)
                SaveShown(ws);
            else
                SaveResults(ws);
            co_return;
        }
        std::optional<bool> any = ws.table.RowCount() > 0;
        if (shownOnly)
            any = co_await AnyRowShown(ws);
        if (!any) {
            ws.Ui.ShowStatus(StatusPanel::Main, SaveCancelledText);
            co_return;
        }
        if (!*any) {
            ws.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
            co_return;
        }
        const std::optional<std::string> chosen = AskSaveTarget(ws);
        if (!chosen)
            co_return;
        // A run that began meanwhile writes to the table: the save is made at once, as it would be.
        if (!ws.Runs.Idle()) {
            const std::vector<int> rows = ShownRows(ws);
            if (const auto failed = SaveRowsTo(ws, *chosen, shownOnly ? &rows : nullptr))
                ws.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
            co_return;
        }
        co_await WriteOnWorker(ws, *chosen, shownOnly);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), shownOnly ? "Save Shown" : "Save Results");
    }
}

} // namespace

QCoro::Task<void> SaveResultsLive(Workspace& ws, int liveWorkRows) {
    return SaveLive(ws, false, liveWorkRows);
}

QCoro::Task<void> SaveShownLive(Workspace& ws, int liveWorkRows) {
    return SaveLive(ws, true, liveWorkRows);
}

QCoro::Task<std::optional<QString>> RowsTextLive(Workspace& ws, std::vector<int> rows, int liveWorkRows) {
    if (RefusedWhileBusy(ws))
        co_return std::nullopt;
    if (AtOnce(ws, rows.size(), liveWorkRows))
        co_return ToQString(RowsText(ws.table, rows));
    auto text = std::make_shared<QString>();
    auto read = [text, rows = std::move(rows)](const KeywordTable& table, TableWork::Control& control) {
        const std::string bytes = RowsText(table, rows);
        StopIfAsked(&control.Cancelled);
        // The clipboard's text is made here too: tens of megabytes to convert.
        *text = ToQString(bytes);
    };
    const bool finished = co_await ReadOnWorker(ws, read, "Copying rows\u2026");
    if (!finished) {
        ws.Ui.ShowStatus(StatusPanel::Main, CopyRowsCancelledText);
        co_return std::nullopt;
    }
    co_return std::move(*text);
}

} // namespace vorlith
