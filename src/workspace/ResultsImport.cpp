#include "workspace/ResultsImport.h"

#include "workspace/KeywordTable.h"
#include "workspace/LiveTableCommands.h"
#include "workspace/ResultsExport.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorlith {

namespace {

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
    throw ResultsFileError("line " + std::to_string(line) + ": " + what);
}

bool SameCaption(std::string_view a, std::string_view b) {
    while (!a.empty() && (a.front() == ' ' || a.front() == '\t'))
        a.remove_prefix(1);
    while (!a.empty() && (a.back() == ' ' || a.back() == '\t'))
        a.remove_suffix(1);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// Records of a CSV or TSV text: fields may be quoted ("" is a quote inside), and a quoted field
// may hold separators and line breaks.
class RecordReader {
public:
    RecordReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

    // The next record into fields; false at the end. line is the record's first line.
    bool Next(std::vector<std::string>& fields, std::size_t& line) {
        if (at_ == text_.size())
            return false;
        line = line_;
        fields.clear();
        for (;;) {
            std::string& field = fields.emplace_back();
            if (at_ < text_.size() && text_[at_] == '"')
                ReadQuoted(field);
            else
                ReadPlain(field);
            if (at_ == text_.size())
                return true;
            const char c = text_[at_++];
            if (c == separator_)
                continue;
            if (c == '\r' && at_ < text_.size() && text_[at_] == '\n')
                ++at_;
            ++line_;
            return true;
        }
    }

private:
    void ReadPlain(std::string& field) {
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != separator_ && text_[at_] != '\r' && text_[at_] != '\n')
            ++at_;
        field.assign(text_.substr(start, at_ - start));
    }

    void ReadQuoted(std::string& field) {
        const std::size_t opened = line_;
        ++at_;
        for (;;) {
            const std::size_t quote = text_.find('"', at_);
            if (quote == std::string_view::npos)
                Fail(opened, "a quoted field is not closed");
            const std::string_view part = text_.substr(at_, quote - at_);
            line_ += static_cast<std::size_t>(std::count(part.begin(), part.end(), '\n'));
            field.append(part);
            at_ = quote + 1;
            if (at_ < text_.size() && text_[at_] == '"') {
                field.push_back('"');
                ++at_;
                continue;
            }
            break;
        }
        if (at_ < text_.size() && text_[at_] != separator_ && text_[at_] != '\r' && text_[at_] != '\n')
            Fail(line_, "text follows a closing quote");
    }

    std::string_view text_;
    char separator_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
};

// A control byte that no text file holds: the file is something else.
void CheckIsText(std::string_view text) {
    std::size_t line = 1;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n')
            ++line;
        else if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\f' && byte != '\v')
            Fail(line, "this is not a text file");
    }
}

struct Layout {
    int Fields = 0;
    int Keyword = -1;
    std::array<int, CellCount - 1> Counts{-1, -1, -1, -1};
    // The header is ours exactly: cells carry the formula quote that Save Results adds.
    bool Ours = false;
};

Layout ReadHeader(const std::vector<std::string>& header) {
    Layout layout;
    layout.Fields = static_cast<int>(header.size());
    for (int f = 0; f < layout.Fields; ++f) {
        const std::string& caption = header[static_cast<std::size_t>(f)];
        if (layout.Keyword < 0 && (SameCaption(caption, "keyword") || SameCaption(caption, "keywords") ||
                                   SameCaption(caption, "query")))
            layout.Keyword = f;
        for (int c = 1; c < CellCount; ++c)
            if (layout.Counts[static_cast<std::size_t>(c - 1)] < 0 &&
                SameCaption(caption, Columns[static_cast<std::size_t>(c + 1)].Header))
                layout.Counts[static_cast<std::size_t>(c - 1)] = f;
    }
    if (layout.Keyword < 0)
        Fail(1, "the header names no Keyword, Keywords or Query column");
    layout.Ours = header.size() == Columns.size() &&
                  std::equal(header.begin(), header.end(), Columns.begin(),
                             [](const std::string& h, const ColumnInfo& c) { return h == c.Header; });
    return layout;
}

std::string CellValue(std::string&& field, bool ours) {
    if (ours && field.size() > 1 && field.front() == '\'' &&
        NeedsFormulaQuote(std::string_view(field).substr(1)))
        field.erase(0, 1);
    return std::move(field);
}

// Walks every record after the header; row is null on the checking pass.
std::size_t Walk(std::string_view text, char separator, const std::function<void(Cells&&)>& row) {
    RecordReader reader(text, separator);
    std::vector<std::string> fields;
    std::size_t line = 0;
    if (!reader.Next(fields, line))
        Fail(1, "the file is empty");
    const Layout layout = ReadHeader(fields);
    std::size_t rows = 0;
    while (reader.Next(fields, line)) {
        if (fields.size() == 1 && fields[0].empty())
            continue; // a blank line
        if (fields.size() != static_cast<std::size_t>(layout.Fields))
            Fail(line, "the row has " + std::to_string(fields.size()) + " fields where the header has " +
                           std::to_string(layout.Fields));
        if (++rows > OpenResultsMaxRows)
            Fail(line, "the file has more than " + std::to_string(OpenResultsMaxRows) + " rows");
        if (!row)
            continue;
        Cells cells;
        cells[0] = CellValue(std::move(fields[static_cast<std::size_t>(layout.Keyword)]), layout.Ours);
        for (int c = 1; c < CellCount; ++c) {
            const int from = layout.Counts[static_cast<std::size_t>(c - 1)];
            if (from >= 0)
                cells[static_cast<std::size_t>(c)] =
                    CellValue(std::move(fields[static_cast<std::size_t>(from)]), layout.Ours);
        }
        row(std::move(cells));
    }
    return rows;
}

} // namespace

std::size_t ReadResultsRows(std::string_view text, const std::function<void(Cells&&)>& row) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CheckIsText(text);
    const std::string_view firstLine = text.substr(0, text.find('\n'));
    const char separator = std::count(firstLine.begin(), firstLine.end(), '\t') >
                                   std::count(firstLine.begin(), firstLine.end(), ',')
                               ? '\t'
                               : ',';
    // Checked whole before the first row goes in, so that a wrong line changes nothing.
    const std::size_t rows = Walk(text, separator, nullptr);
    Walk(text, separator, row);
    return rows;
}

std::size_t AppendResultsText(KeywordTable& table, std::string_view text) {
    // Added in batches: a notice for each bounds the memory the parsed rows take on the way.
    constexpr std::size_t batch = 65536;
    std::vector<Cells> pending;
    const std::size_t rows = ReadResultsRows(text, [&](Cells&& cells) {
        pending.push_back(std::move(cells));
        if (pending.size() == batch) {
            table.AppendMany(std::move(pending));
            pending = {};
        }
    });
    table.AppendMany(std::move(pending));
    return rows;
}

std::string ReadResultsFile(const std::string& path) {
    // Non-blocking, so that a FIFO without a writer cannot hold the window.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw ResultsFileError(std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw ResultsFileError(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        throw ResultsFileError("this is not a regular file");
    const auto tooLarge = [] {
        return ResultsFileError("the file is larger than " + std::to_string(OpenResultsMaxBytes >> 20) +
                                " MiB");
    };
    if (static_cast<std::uintmax_t>(info.st_size) > OpenResultsMaxBytes)
        throw tooLarge();
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            // The file may have grown since fstat: read on, within the bound.
            if (bytes.size() > OpenResultsMaxBytes)
                throw tooLarge();
            bytes.resize(std::min(bytes.size() + 65536, OpenResultsMaxBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ResultsFileError(std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::optional<std::string> OpenResultsReported(Workspace& ws, const std::string& path,
                                               const std::function<void()>& open) {
    try {
        open();
    } catch (const ResultsFileError& e) {
        return "Could not open \"" + path + "\": " + e.what() + ".";
    } catch (const std::bad_alloc&) {
        return "Could not open \"" + path + "\": out of memory.";
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
    return std::nullopt;
}

std::optional<std::string> OpenResultsFrom(Workspace& ws, const std::string& path) {
    return OpenResultsReported(ws, path, [&] {
        const std::string text = ReadResultsFile(path);
        const auto step = ws.History.Command(std::string(OpenResultsTitle));
        AppendResultsText(ws.table, text);
    });
}

std::optional<std::string> AskResultsFile(Workspace& ws) {
    const std::string& last = ws.SaveDialogFileName;
    const std::string folder = last.empty() ? ws.ProgramFolder : last.substr(0, last.rfind('/') + 1);
    return ws.Ui.AskFile(false, OpenResultsTitle, OpenResultsFilter, folder);
}

void OpenResults(Workspace& ws) {
    if (RefusedWhileBusy(ws))
        return;
    const auto path = AskResultsFile(ws);
    if (!path)
        return;
    if (const auto failed = OpenResultsFrom(ws, *path))
        ws.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
}

} // namespace vorlith
