#include "workspace/XlsxExport.h"

#include "workspace/KeywordTable.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>
#include <xlsxwriter.h>

namespace vorlith {

bool IsXlsxNumber(std::string_view value) {
    std::size_t i = value.starts_with('-') ? 1 : 0;
    int digits = 0;
    const auto isDigit = [&](std::size_t at) {
        return at < value.size() && value[at] >= '0' && value[at] <= '9';
    };
    if (!isDigit(i))
        return false;
    for (; i < value.size(); ++i) {
        if (isDigit(i))
            ++digits;
        else if (value[i] != ',' || !isDigit(i + 1))
            return false;
    }
    return digits <= 15;
}

std::string WithXlsxExtension(std::string path) {
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    const bool has = name.size() > 5 && std::equal(name.end() - 5, name.end(), ".xlsx", [](char a, char b) {
                         return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
                     });
    if (!has)
        path += ".xlsx";
    return path;
}

namespace {

// A worksheet holds UTF-8 text without control characters but tab and line feed, at most 32767 characters a
// cell: a byte that is not part of good UTF-8 becomes U+FFFD, a control character a space.
std::string_view CellText(std::string_view text, std::string& scratch, std::size_t& characters) {
    characters = 0;
    bool clean = true;
    for (std::size_t i = 0; i < text.size() && clean; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        clean = byte >= 0x20 && byte < 0x7f;
    }
    if (clean && text.size() <= 32767) {
        characters = text.size();
        return text;
    }
    scratch.clear();
    for (std::size_t i = 0; i < text.size() && characters < 32767; ++characters) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80         ? 1
                             : (byte >> 5) == 6  ? 2
                             : (byte >> 4) == 14 ? 3
                             : (byte >> 3) == 30 ? 4
                                                 : 0;
        bool good = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; good && k < length; ++k)
            good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!good) {
            scratch.append("\xEF\xBF\xBD");
            ++i;
        } else if (length == 1 && ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7f)) {
            scratch.push_back(' ');
            ++i;
        } else {
            scratch.append(text.substr(i, length));
            i += length;
        }
    }
    return scratch;
}

void Check(lxw_error error) {
    if (error != LXW_NO_ERROR)
        throw SaveError(lxw_strerror(error));
}

double NumberOf(std::string_view value) {
    double number = 0;
    for (const char c : value)
        if (c >= '0' && c <= '9')
            number = number * 10 + (c - '0');
    return value.starts_with('-') ? -number : number;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

} // namespace

bool WriteXlsx(const RowBlock& rows, const std::string& path, TableWork::Control& control) {
    if (rows.Count() + 1 > XlsxMaxRows)
        throw SaveError("The table has more rows than a worksheet holds");
    // Beside the target, so that the rename is atomic and a cancelled or failed export leaves the
    // old file whole.
    static std::atomic<unsigned> serial{0};
    const std::string temporary = FolderOf(path) + ".vorlith-export-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(serial++) + ".tmp";
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(temporary.c_str(), &options);
    if (book == nullptr)
        throw SaveError("The workbook could not be created");
    struct Abandon {
        lxw_workbook*& book;
        const std::string& temporary;
        ~Abandon() {
            if (book != nullptr)
                lxw_workbook_free(book);
            ::unlink(temporary.c_str());
        }
    } abandon{book, temporary};
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Keywords");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);

    // Widths that fit the longest value, found before the first row is written (constant
    // memory writes each row out as it goes).
    std::array<std::size_t, ColumnCount> widths{};
    std::string scratch;
    for (int c = 0; c < ColumnCount; ++c)
        widths[static_cast<std::size_t>(c)] = std::strlen(Columns[static_cast<std::size_t>(c)].Header);
    for (std::size_t r = 0; r < rows.Count(); ++r) {
        widths[0] = std::max(widths[0], std::to_string(rows.Number(r)).size());
        for (int c = 0; c < CellCount; ++c) {
            std::size_t characters = 0;
            CellText(rows.Cell(r, c), scratch, characters);
            auto& width = widths[static_cast<std::size_t>(c + 1)];
            width = std::max(width, characters);
        }
    }
    for (int c = 0; c < ColumnCount; ++c)
        Check(worksheet_set_column(
            sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
            static_cast<double>(std::min<std::size_t>(widths[static_cast<std::size_t>(c)], 80) + 2),
            nullptr));
    worksheet_freeze_panes(sheet, 1, 0);
    for (int c = 0; c < ColumnCount; ++c)
        Check(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c),
                                     Columns[static_cast<std::size_t>(c)].Header, bold));
    for (std::size_t r = 0; r < rows.Count(); ++r) {
        if (control.Cancelled)
            return false;
        const auto row = static_cast<lxw_row_t>(r + 1);
        Check(worksheet_write_number(sheet, row, 0, rows.Number(r), nullptr));
        for (int c = 0; c < CellCount; ++c) {
            const std::string_view value = rows.Cell(r, c);
            const auto col = static_cast<lxw_col_t>(c + 1);
            if (value.empty())
                continue;
            if (c > 0 && IsXlsxNumber(value)) {
                Check(worksheet_write_number(sheet, row, col, NumberOf(value), nullptr));
                continue;
            }
            std::size_t characters = 0;
            const std::string text(CellText(value, scratch, characters));
            Check(worksheet_write_string(sheet, row, col, text.c_str(), nullptr));
        }
        if ((r & 1023) == 0)
            control.Done = r;
    }
    const lxw_error closed = workbook_close(book);
    book = nullptr;
    Check(closed);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        throw SaveError(std::strerror(errno));
    control.Done = rows.Count();
    return true;
}

QCoro::Task<std::optional<std::string>> ExportXlsxTo(Workspace& ws, std::string path) {
    if (ws.Work.Busy())
        co_return std::string("An export is already under way.");
    path = WithXlsxExtension(std::move(path));
    std::optional<std::string> failure;
    try {
        auto rows = std::make_shared<RowBlock>();
        // A large table's copy is made on the worker too, unless a run may write to it meanwhile.
        const bool copyAtOnce = AtOnce(ws, static_cast<std::size_t>(ws.table.RowCount()));
        if (copyAtOnce)
            *rows = ws.table.Copy();
        std::function<void(const KeywordTable&)> copy = [rows](const KeywordTable& table) {
            *rows = table.Copy();
        };
        bool copied = true;
        if (!copyAtOnce)
            copied = co_await ReadOnWorker(ws, std::move(copy), "Exporting XLSX\u2026");
        if (!copied) {
            ws.Ui.ShowStatus(StatusPanel::Main, "Export XLSX cancelled.");
            co_return std::nullopt;
        }
        const std::size_t total = rows->Count();
        auto job = [rows, path](TableWork::Control& control) {
            if (!WriteXlsx(*rows, path, control))
                control.Cancelled = true;
        };
        auto progress = [&ws, total](std::size_t done) {
            const auto percent = total == 0 ? 100 : done * 100 / total;
            ws.Ui.ShowStatus(StatusPanel::Main,
                             "Exporting XLSX: " + std::to_string(percent) + "% (Esc cancels)");
        };
        const bool finished = co_await ws.Work.Run(job, progress);
        ws.Ui.ShowStatus(StatusPanel::Main, finished
                                                ? "Exported " + std::to_string(total) + " rows to " + path
                                                : std::string("Export XLSX cancelled."));
    } catch (const SaveError& e) {
        failure = SaveFailedMessage(path, e.what());
    } catch (const std::bad_alloc&) {
        failure = SaveFailedMessage(path, "Out of memory");
    }
    if (failure)
        ws.Ui.ShowStatus(StatusPanel::Main, ws.MainStatusText());
    co_return failure;
}

QCoro::Task<void> ExportXlsx(Workspace& ws) {
    try {
        if (RefusedWhileBusy(ws))
            co_return;
        if (ws.table.RowCount() == 0) {
            ws.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
            co_return;
        }
        const std::string& last = ws.SaveDialogFileName;
        const std::string folder = last.empty() ? ws.ProgramFolder : FolderOf(last);
        const auto path = ws.Ui.AskFile(true, ExportXlsxTitle, ExportXlsxFilter, folder);
        if (!path)
            co_return;
        const std::optional<std::string> failed = co_await ExportXlsxTo(ws, *path);
        if (failed)
            ws.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
    } catch (...) {
        ws.Ui.ReportError(std::current_exception(), ExportXlsxTitle);
    }
}

} // namespace vorlith
