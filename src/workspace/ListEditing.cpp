#include "workspace/ListEditing.h"

#include "platform/Files.h"
#include "text/UUtils.h"
#include "workspace/DialogRules.h"
#include "workspace/Duplicates.h"
#include "workspace/HiddenRows.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/RowFilter.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorlith {

namespace {

// Line ends (a CR LF counts once) and the bytes between them, counted piece by piece.
struct LineCount {
    std::size_t Ends = 0, Text = 0;
    bool AfterCr = false;

    void Add(std::string_view piece) {
        std::size_t i = 0;
#if defined(__SSE2__)
        // A million-line list: sixteen bytes at a time, counted in byte lanes (at most 255 blocks
        // between two sums).
        const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
        const auto sum = [zero](__m128i lanes) {
            const __m128i pairs = _mm_sad_epu8(lanes, zero);
            return std::size_t(_mm_cvtsi128_si32(pairs)) + std::size_t(_mm_cvtsi128_si32(_mm_srli_si128(pairs, 8)));
        };
        __m128i carry = _mm_cvtsi32_si128(AfterCr ? 0xff : 0); // a CR that ended the last block
        while (i + 16 <= piece.size()) {
            __m128i ends = zero, breaks = zero;
            const std::size_t start = i;
            for (int k = 0; k < 255 && i + 16 <= piece.size(); ++k, i += 16) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(piece.data() + i));
                const __m128i crs = _mm_cmpeq_epi8(block, cr);
                const __m128i lfs = _mm_cmpeq_epi8(block, lf);
                const __m128i afterCr = _mm_or_si128(_mm_slli_si128(crs, 1), carry);
                carry = _mm_srli_si128(crs, 15);
                // Each true lane is -1: subtracting counts it.
                ends = _mm_sub_epi8(ends, _mm_or_si128(crs, _mm_andnot_si128(afterCr, lfs)));
                breaks = _mm_sub_epi8(breaks, _mm_or_si128(crs, lfs));
            }
            Ends += sum(ends);
            Text += (i - start) - sum(breaks);
        }
        AfterCr = _mm_cvtsi128_si32(carry) != 0;
#endif
        for (; i < piece.size(); ++i) {
            const bool isCr = piece[i] == '\r';
            Ends += isCr || (piece[i] == '\n' && !AfterCr) ? 1 : 0;
            Text += isCr || piece[i] == '\n' ? 0 : 1;
            AfterCr = isCr;
        }
    }
};

// The first CR or LF from p on, or end.
const char* NextLineBreak(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned breaks =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
        if (breaks != 0)
            return p + __builtin_ctz(breaks);
    }
#endif
    while (p != end && *p != '\n' && *p != '\r')
        ++p;
    return p;
}

[[noreturn]] void CannotOpen(const std::string& path, const std::string& reason) {
    std::error_code ignored;
    const std::string full = std::filesystem::absolute(path, ignored).string();
    throw std::runtime_error("Cannot open file \"" + (full.empty() ? path : full) + "\". " + reason);
}

// A list file read in pieces, but only up to its first NUL: nothing after it becomes a row.
class ListFile {
public:
    explicit ListFile(const std::string& path) : path_(path) {
        // Non-blocking so that opening a pipe cannot wait for a writer.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0)
            CannotOpen(path, std::strerror(errno));
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            CannotOpen(path, std::strerror(errno));
        // A pipe or a device could block or never end.
        if (!S_ISREG(info.st_mode))
            CannotOpen(path, "Not a regular file");
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        Size = static_cast<std::size_t>(info.st_size);
    }
    ~ListFile() { ::close(fd_); }
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;

    // Appends the next piece to text; false at the end.
    bool ReadInto(std::string& text, std::size_t piece) {
        if (ended_)
            return false;
        const std::size_t at = text.size();
        text.resize(at + piece);
        ssize_t got;
        while ((got = ::read(fd_, text.data() + at, piece)) < 0 && errno == EINTR) {
        }
        if (got < 0) {
            text.resize(at);
            CannotOpen(path_, std::strerror(errno));
        }
        const auto* nul = static_cast<const char*>(std::memchr(text.data() + at, '\0', static_cast<std::size_t>(got)));
        text.resize(nul ? static_cast<std::size_t>(nul - text.data()) : at + static_cast<std::size_t>(got));
        ended_ = got == 0 || nul;
        return !ended_ || text.size() > at;
    }

    std::size_t Size = 0;

private:
    std::string path_;
    int fd_ = -1;
    bool ended_ = false;
};

} // namespace

std::string ReadListFile(const std::string& path) {
    ListFile file(path);
    std::string text;
    text.reserve(file.Size);
    while (file.ReadInto(text, 1 << 16)) {
    }
    return text;
}

namespace {

constexpr std::size_t ImportPiece = 1 << 20;

// How much of text ends with a whole line: a CR at its very end may still be a CR LF's first half.
std::size_t WholeLines(std::string_view text) {
    if (!text.empty() && text.back() == '\n')
        return text.size();
    const std::size_t last = text.size() < 2 ? std::string_view::npos : text.find_last_of("\r\n", text.size() - 2);
    return last == std::string_view::npos ? 0 : last + 1;
}

// The list in pieces of a mebibyte, so that only a piece and its lines are held beside the
// table. A first reading bounds the rows, so the table makes room once.
std::size_t AppendListInPieces(KeywordTable& table, const std::string& path, const ImportOptions& options) {
    LineCount count;
    {
        ListFile file(path);
        std::string piece;
        while (file.ReadInto(piece, ImportPiece)) {
            count.Add(piece);
            piece.clear();
        }
    }
    ListFile file(path);
    std::string buffer;
    std::size_t done = 0, added = 0;
    table.AppendKeywordPieces(count.Ends + 1, count.Text, [&](std::vector<std::string_view>& lines) {
        buffer.erase(0, done);
        const bool more = file.ReadInto(buffer, ImportPiece);
        done = more ? WholeLines(buffer) : buffer.size();
        lines = FilterImportLines(table, SplitKeywordLines(std::string_view(buffer).substr(0, done)), options);
        added += lines.size();
        return more;
    });
    return added;
}

} // namespace

std::vector<std::string_view> SplitKeywordLines(std::string_view text) {
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::string_view> lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const char* q = NextLineBreak(p, end);
        lines.emplace_back(p, static_cast<std::size_t>(q - p));
        if (q == end)
            break;
        p = q + ((*q == '\r' && q + 1 != end && q[1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::optional<std::string_view> AddKeywords(Workspace& ws, const AddKeywordsAnswer& answer) {
    if (const auto refusal = AddKeywordsRefusal(answer.Keyword, answer.ListFile))
        return refusal;
    const ImportOptions& options = answer.Options;
    const auto step = ws.History.Command("Add Keywords");
    if (!answer.Keyword.empty()) {
        // Typed text stays one row; the options only decide whether and how it goes in.
        const auto kept = FilterImportLines(ws.table, {answer.Keyword}, options);
        if (!kept.empty())
            ws.table.AppendKeyword(std::string(kept.front()));
        ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
        return std::nullopt;
    }
    if (AppendKeywordFile(ws.table, answer.ListFile, options) > 0)
        ws.SetSecondStatus(TotalText(ws.table.RowCount()));
    return std::nullopt;
}

void AddKeywords(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    // The dialog has refused what AddKeywords would refuse.
    if (const std::optional<AddKeywordsAnswer> answer = ws.Ui.AskAddKeywords())
        AddKeywords(ws, *answer);
}

std::vector<std::string_view> FilterImportLines(const KeywordTable& table,
                                                std::vector<std::string_view> lines,
                                                const ImportOptions& options, const QLocale& locale) {
    if (options.Trim)
        for (auto& line : lines)
            line = TrimControls(line);
    if (options.SkipBlank)
        std::erase_if(lines, [](std::string_view line) { return line.empty(); });
    if (!options.SkipExisting)
        return lines;
    const int keywords = CellOf(Column::Keywords);
    const bool ascii =
        KeywordsArePrintableAscii(table) &&
        std::all_of(lines.begin(), lines.end(), [](std::string_view l) { return IsPrintableAscii(l); });
    KeywordSet known(locale, ascii);
    for (int r = 0; r < table.RowCount(); ++r)
        known.Insert(table.Cell(r, keywords));
    std::erase_if(lines, [&](std::string_view line) { return !known.Insert(line); });
    return lines;
}

std::size_t AppendKeywordFile(KeywordTable& table, const std::string& path) {
    return AppendKeywordFile(table, path, ImportOptions{});
}

std::size_t AppendKeywordFile(KeywordTable& table, const std::string& path, const ImportOptions& options) {
    // Also covers a file that vanished after the dialog checked it.
    if (!FileExists(path))
        return 0;
    // Skipping the keywords already there looks at every line at once.
    if (!options.SkipExisting)
        return AppendListInPieces(table, path, options);
    const std::string text = ReadListFile(path);
    const std::vector<std::string_view> lines = FilterImportLines(table, SplitKeywordLines(text), options);
    table.AppendKeywords(lines);
    return lines.size();
}

void ImportKeywordFile(Workspace& ws, const std::string& path) {
    // The rows already there stay; the new ones are numbered on after them.
    const auto step = ws.History.Command("Import Keywords");
    if (AppendKeywordFile(ws.table, path) == 0)
        return;
    // Shown once with the final count: the text every row would have left behind.
    ws.SetSecondStatus(TotalText(ws.table.RowCount()));
}

namespace {

// While a filter is set, Select All and Clear Selection leave the hidden rows as they are.
void SetShownChecked(Workspace& ws, bool checked) {
    if (ws.Filter.empty())
        ws.table.SetAllChecked(checked);
    else
        ws.table.SetCheckedRows(ShownRows(ws), checked);
}

} // namespace

void SelectAll(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    SetShownChecked(ws, true);
}

void ClearSelection(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    SetShownChecked(ws, false);
}

void DeleteSelected(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    std::vector<bool> marked;
    if (!ws.Filter.empty()) {
        // Ticked rows the filter hides are not deleted unseen: our question comes first.
        marked.resize(static_cast<std::size_t>(ws.table.RowCount()));
        for (int r = 0; r < ws.table.RowCount(); ++r)
            marked[static_cast<std::size_t>(r)] = ws.table.Checked(r);
        const std::vector<bool> shown = ShownMask(ws);
        const std::size_t hidden = HiddenAmong(marked, shown);
        if (hidden > 0) {
            const auto ticked = static_cast<std::size_t>(std::count(marked.begin(), marked.end(), true));
            const int answer =
                ws.Ui.ShowMessage(MessageKind::Information, HiddenTickedQuestion(hidden, ticked - hidden),
                                  MessageButtons::YesNoCancel);
            if (answer != mrYes && answer != mrNo)
                return;
            if (answer == mrNo)
                for (std::size_t r = 0; r < marked.size(); ++r)
                    marked[r] = marked[r] && shown[r];
        }
    }
    if (ws.Ui.ShowMessage(MessageKind::Information, DeleteSelectedQuestion, MessageButtons::OkCancel) ==
        mrOk) {
        const auto step = ws.History.Command("Delete Selected");
        if (marked.empty())
            ws.table.DeleteChecked();
        else
            ws.table.DeleteMarked(marked);
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
}

void SetRowsChecked(KeywordTable& table, const std::vector<int>& rows, bool checked) {
    table.SetCheckedRows(rows, checked);
}

void SetRowsChecked(Workspace& ws, const std::vector<int>& rows, bool checked) {
    if (!RefusedWhileBusy(ws))
        SetRowsChecked(ws.table, rows, checked);
}

void DeleteRows(Workspace& ws, const std::vector<int>& rows) {
    if (RefusedWhileBusy(ws))
        return;
    if (ws.Ui.ShowMessage(MessageKind::Information, DeleteSelectedQuestion, MessageButtons::OkCancel) ==
        mrOk) {
        const auto step = ws.History.Command("Delete Selected");
        std::vector<bool> marked(static_cast<std::size_t>(ws.table.RowCount()));
        for (const int row : rows)
            if (row >= 0 && row < ws.table.RowCount())
                marked[static_cast<std::size_t>(row)] = true;
        ws.table.DeleteMarked(marked);
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
}

void DeleteAll(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    if (ws.Ui.ShowMessage(MessageKind::Information, DeleteAllQuestion, MessageButtons::OkCancel) == mrOk) {
        const auto step = ws.History.Command("Delete All");
        ws.table.DeleteAll();
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
}

} // namespace vorlith
