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
#include <sys/stat.h>
#include <utility>

namespace vorlith {

namespace {

// Thrown inside a job once Esc was pressed: the job ends where it is.
struct Stopped {};

void StopIfCancelled(TableWork::Control& control, std::size_t done) {
    control.Done = done;
    if (control.Cancelled)
        throw Stopped{};
}

// The file's size; false when it cannot be looked at (the direct path then says why).
bool FileSize(const std::string& path, std::size_t& size) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<std::size_t>(info.st_size);
    return true;
}

// Runs job on a worker, the table held while it reads it; true when it ran to its end. The
// progress text shows once the work has taken long enough; the usual text comes back after.
// Parameters by reference, copied before the first suspension: GCC 12 destroys a by-value
// coroutine parameter made from a temporary twice.
QCoro::Task<bool> Prepare(Workspace& ws, const std::function<void(TableWork::Control&)>& work,
                          const std::string& what, bool readsTable) {
    bool shown = false;
    const std::function<void(std::size_t)> progress = [&ws, &shown,
                                                       text = what + " (Esc cancels)"](std::size_t) {
        shown = true;
        ws.Ui.ShowStatus(StatusPanel::Main, text);
    };
    const std::function<void(TableWork::Control&)> stoppable = [job = work](TableWork::Control& control) {
        try {
            job(control);
        } catch (const Stopped&) {
        }
    };
    struct Hold {
        KeywordTable* table;
        ~Hold() {
            if (table)
                table->LetGo();
        }
    } hold{readsTable ? &ws.table : nullptr};
    if (readsTable)
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
    std::size_t size = 0;
    const bool large = answer.Keyword.empty() && FileSize(answer.ListFile, size) &&
                       (size >= liveBytes || (options.SkipExisting && ws.table.RowCount() >= LiveWorkRows));
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
    const bool finished = co_await Prepare(ws, job, what, options.SkipExisting);
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
    std::size_t size = 0;
    if (!FileSize(path, size) || size < liveBytes)
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
    const bool finished = co_await Prepare(ws, job, what, false);
    if (!finished) {
        ws.Ui.ShowStatus(StatusPanel::Main, "Open Results cancelled.");
        co_return std::nullopt;
    }
    try {
        if (!failed->empty())
            throw ResultsFileError(*failed);
        const auto step = ws.History.Command(std::string(OpenResultsTitle));
        ws.table.AppendPrepared(std::move(*prepared));
    } catch (const ResultsFileError& e) {
        co_return "Could not open \"" + path + "\": " + e.what() + ".";
    } catch (const std::bad_alloc&) {
        co_return "Could not open \"" + path + "\": out of memory.";
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
    co_return std::nullopt;
}

QCoro::Task<void> OpenResultsLive(Workspace& ws) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        const std::string& last = ws.SaveDialogFileName;
        const std::string folder = last.empty() ? ws.ProgramFolder : last.substr(0, last.rfind('/') + 1);
        const auto path = ws.Ui.AskFile(false, OpenResultsTitle, OpenResultsFilter, folder);
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
