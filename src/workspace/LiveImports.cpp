#include "workspace/LiveImports.h"

#include "platform/Files.h"
#include "workspace/DialogRules.h"
#include "workspace/KeywordTable.h"
#include "workspace/ListEditing.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/ResultsImport.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <QLocale>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <utility>

namespace vorlith {

namespace {

// Counts the rows done and ends the job with WorkStopped once Esc was pressed.
void StopIfCancelled(TableWork::Control& control, std::size_t done) {
    control.Done = done;
    StopIfAsked(&control.Cancelled);
}

constexpr std::size_t StopCheckRows = 65536;

// The table's rows and text now, for PreparedRows::LeaveRoom.
std::pair<std::size_t, std::size_t> Room(const Workspace& ws) {
    return {static_cast<std::size_t>(ws.table.RowCount()), ws.table.ArenaUsed()};
}

} // namespace

QCoro::Task<std::optional<std::string_view>> AddKeywordsLive(Workspace& ws, const AddKeywordsAnswer& given,
                                                             std::size_t liveBytes) {
    const AddKeywordsAnswer answer = given;
    if (const auto refusal = AddKeywordsRefusal(answer.Keyword, answer.ListFile))
        co_return refusal;
    const ImportOptions options = answer.Options;
    const std::optional<std::size_t> size =
        answer.Keyword.empty() ? RegularFileSize(answer.ListFile) : std::nullopt;
    const bool large = size && (*size >= liveBytes || (options.SkipExisting && ws.table.RowCount() >= LiveWorkRows));
    // A run may append rows meanwhile: a check against them cannot hold the table.
    if (!large || (options.SkipExisting && !ws.Runs.Idle()))
        co_return AddKeywords(ws, answer);
    auto prepared = std::make_shared<KeywordTable::PreparedRows>();
    const KeywordTable& table = ws.table;
    const std::function<void(TableWork::Control&)> job = [prepared, &table, path = answer.ListFile, options,
                                                          locale = QLocale::system(),
                                                          room = Room(ws)](TableWork::Control& control) {
        // Also covers a file that vanished after the dialog checked it.
        if (!FileExists(path))
            return;
        prepared->LeaveRoom(room.first, room.second);
        const std::string text = ReadListFile(path);
        StopIfCancelled(control, 0);
        const std::vector<std::string_view> lines =
            FilterImportLines(table, SplitKeywordLines(text), options, locale);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i % StopCheckRows == 0)
                StopIfCancelled(control, i);
            prepared->AddKeyword(lines[i]);
        }
    };
    const std::string what = "Reading the keyword list\u2026";
    const bool finished = co_await RunOnWorker(ws, job, what, options.SkipExisting);
    if (!finished) {
        ws.Ui.ShowStatus(StatusPanel::Main, "Add Keywords cancelled.");
        co_return std::nullopt;
    }
    const std::size_t added = prepared->Count();
    const auto step = ws.History.Command("Add Keywords");
    ws.table.AppendPrepared(std::move(*prepared));
    if (added > 0)
        ws.SetSecondStatus(TotalText(ws.table.RowCount()));
    co_return std::nullopt;
}

QCoro::Task<void> AddKeywordsLive(Workspace& ws) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        // The dialog has refused what AddKeywords would refuse.
        std::optional<AddKeywordsAnswer> answer = ws.Ui.AskAddKeywords();
        if (!answer)
            co_return;
        co_await AddKeywordsLive(ws, *answer);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "TfrmMain btnAddKeywordClick");
    }
}

QCoro::Task<std::optional<std::string>> OpenResultsFromLive(Workspace& ws, const std::string& given,
                                                            std::size_t liveBytes) {
    const std::string path = given;
    const std::optional<std::size_t> size = RegularFileSize(path);
    if (!size || *size < liveBytes)
        co_return OpenResultsFrom(ws, path);
    auto prepared = std::make_shared<KeywordTable::PreparedRows>();
    auto failed = std::make_shared<std::string>();
    const std::function<void(TableWork::Control&)> job = [prepared, failed, path,
                                                          room = Room(ws)](TableWork::Control& control) {
        try {
            prepared->LeaveRoom(room.first, room.second);
            const std::string text = ReadResultsFile(path);
            StopIfCancelled(control, 0);
            std::size_t rows = 0;
            ReadResultsRows(text, [&](Cells&& cells) {
                if (++rows % StopCheckRows == 0)
                    StopIfCancelled(control, rows);
                prepared->Add(cells);
            });
        } catch (const ResultsFileError& e) {
            *failed = e.what();
        } catch (const std::bad_alloc&) {
            *failed = "out of memory";
        }
    };
    const std::string what = "Reading the results file\u2026";
    const bool finished = co_await RunOnWorker(ws, job, what, false);
    if (!finished) {
        ws.Ui.ShowStatus(StatusPanel::Main, "Open Results cancelled.");
        co_return std::nullopt;
    }
    co_return OpenResultsReported(ws, path, [&] {
        if (!failed->empty())
            throw ResultsFileError(*failed);
        const auto step = ws.History.Command(std::string(OpenResultsTitle));
        ws.table.AppendPrepared(std::move(*prepared));
    });
}

QCoro::Task<void> OpenResultsLive(Workspace& ws) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        const auto path = AskResultsFile(ws);
        if (!path)
            co_return;
        const auto failed = co_await OpenResultsFromLive(ws, *path);
        if (failed)
            ws.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), "Open Results\u2026");
    }
}

} // namespace vorlith
