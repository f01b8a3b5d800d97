#include "workspace/ResultsExport.h"

#include "workspace/KeywordTable.h"
#include "workspace/Workspace.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <numeric>
#include <random>
#include <span>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith {

bool IsPlainNumber(std::string_view value) {
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        ++i;
    const auto isDigit = [&](std::size_t at) { return at < value.size() && value[at] >= '0' && value[at] <= '9'; };
    if (!isDigit(i))
        return false;
    while (isDigit(i) || (i < value.size() && value[i] == ',' && isDigit(i + 1)))
        ++i;
    if (i < value.size() && value[i] == '.') {
        if (!isDigit(++i))
            return false;
        while (isDigit(i))
            ++i;
    }
    return i == value.size();
}

bool NeedsFormulaQuote(std::string_view value) {
    // A spreadsheet would run such a cell as a formula; the quote makes it text. A plain
    // number cannot run anything and keeps its sign.
    return !value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos &&
           !IsPlainNumber(value);
}

namespace {

void AppendField(std::string& out, std::string_view value) {
    out.push_back('"');
    if (NeedsFormulaQuote(value))
        out.push_back('\'');
    for (;;) {
        const auto quote = value.find('"');
        if (quote == std::string_view::npos)
            break;
        out.append(value.data(), quote + 1);
        out.push_back('"');
        value.remove_prefix(quote + 1);
    }
    out.append(value);
    out.push_back('"');
}

template <typename Fields> void AppendLine(std::string& out, const Fields& fields) {
    bool first = true;
    for (const auto& field : fields) {
        if (!first)
            out.push_back(',');
        first = false;
        AppendField(out, field);
    }
    out.append("\r\n");
}

[[noreturn]] void Fail(int error) {
    throw SaveError(std::strerror(error));
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FolderWithSlash(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Our temporaries of one target: ".vorlith-<hash of its name>-<random>.tmp", short enough
// beside any legal name.
std::string TemporaryPrefix(const std::string& target) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : NameOf(target))
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return ".vorlith-" + std::string(hex) + "-";
}

// Removes temporaries of this target that a killed save left: those no save holds locked.
void RemoveStaleTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string prefix = TemporaryPrefix(target);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".tmp"))
            continue;
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// Opens a new file beside target, readable as a newly created file would be, and locks it for
// as long as it is open, so that no other save takes it for stale.
int CreateTemporary(const std::string& target, std::string& name) {
    std::random_device seed;
    std::mt19937 rng(seed());
    const std::string stem = FolderOf(target) + "/" + TemporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(rng() % 1000000000u) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST)
            return fd;
    }
    return -1;
}

// AppendField into room known to be enough: at most 2 * size + 3 bytes.
char* PutField(char* w, std::string_view value) {
    *w++ = '"';
    if (NeedsFormulaQuote(value))
        *w++ = '\'';
    while (const void* quote = std::memchr(value.data(), '"', value.size())) {
        const auto n = static_cast<std::size_t>(static_cast<const char*>(quote) - value.data()) + 1;
        std::memcpy(w, value.data(), n);
        w += n;
        *w++ = '"';
        value.remove_prefix(n);
    }
    std::memcpy(w, value.data(), value.size());
    w += value.size();
    *w++ = '"';
    return w;
}

// Rows are written straight into a buffer that goes to the sink whenever the next row might not
// fit; a row larger than the buffer goes through a string of its own.
class CsvStream {
public:
    explicit CsvStream(const ByteSink& sink) : sink_(sink), buffer_(new char[Capacity]) {}

    template <typename Fields> void Line(const Fields& fields) {
        std::size_t bound = 2;
        for (const auto& field : fields)
            bound += 2 * field.size() + 4;
        if (bound > Capacity - used_)
            Flush();
        if (bound > Capacity) {
            std::string line;
            AppendLine(line, fields);
            sink_(line);
            return;
        }
        char* w = buffer_.get() + used_;
        bool first = true;
        for (const auto& field : fields) {
            if (!first)
                *w++ = ',';
            first = false;
            w = PutField(w, field);
        }
        *w++ = '\r';
        *w++ = '\n';
        used_ = static_cast<std::size_t>(w - buffer_.get());
    }

    void Flush() {
        if (used_ > 0)
            sink_(std::string_view(buffer_.get(), used_));
        used_ = 0;
    }

private:
    static constexpr std::size_t Capacity = 1 << 20;
    const ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

} // namespace

std::string ResultsCsv(const KeywordTable& table, const RowSourceNames* sources) {
    std::vector<int> rows(static_cast<std::size_t>(table.RowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    return ResultsCsv(table, rows, sources);
}

std::string ResultsCsv(const KeywordTable& table, const std::vector<int>& rows, const RowSourceNames* sources) {
    // Sized up front: the cells, their quotes and commas, the line ends and room for row
    // numbers; a quoted quote or a formula mark grows it a little.
    std::size_t size = 64;
    for (const int row : rows)
        for (int c = 0; c < CellCount; ++c)
            size += table.Cell(row, c).size() + 3;
    size += rows.size() * (3 + 10 + 1);
    std::string out;
    out.reserve(size);
    WriteResultsCsv(table, &rows, [&out](std::string_view piece) { out.append(piece); }, sources);
    return out;
}

void WriteResultsCsv(const KeywordTable& table, const std::vector<int>* rows, const ByteSink& sink,
                     const RowSourceNames* sources) {
    CsvStream stream(sink);
    std::array<std::string_view, ColumnCount + 1> fields;
    for (int c = 0; c < ColumnCount; ++c)
        fields[static_cast<std::size_t>(c)] = Columns[static_cast<std::size_t>(c)].Header;
    // The Source column, last, only while it is shown.
    const std::size_t width = sources ? fields.size() : fields.size() - 1;
    fields[ColumnCount] = SourceColumnHeader;
    stream.Line(std::span(fields.data(), width));
    char number[16];
    const int count = rows ? static_cast<int>(rows->size()) : table.RowCount();
    const auto rowAt = [&](int i) { return rows ? (*rows)[static_cast<std::size_t>(i)] : i; };
    // After a sort the rows' text lies in random order: start the reads a few rows early.
    constexpr int ahead = 8;
    for (int i = 0; i < count; ++i) {
        if (i + ahead < count)
            __builtin_prefetch(table.Cell(rowAt(i + ahead), 0).data());
        const int row = rowAt(i);
        const auto end = std::to_chars(number, number + sizeof number, table.Number(row)).ptr;
        fields[0] = std::string_view(number, static_cast<std::size_t>(end - number));
        for (int c = 0; c < CellCount; ++c)
            fields[static_cast<std::size_t>(c + 1)] = table.Cell(row, c);
        if (sources) {
            const auto found = sources->find(table.Id(row));
            fields[ColumnCount] = found == sources->end() ? std::string_view() : std::string_view(found->second);
        }
        stream.Line(std::span(fields.data(), width));
    }
    stream.Flush();
}

std::string WithCsvExtension(std::string path) {
    const std::string name = NameOf(path);
    const auto dot = name.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot);
    const bool isCsv =
        extension.size() == CsvExtension.size() &&
        std::equal(extension.begin(), extension.end(), CsvExtension.begin(),
                   [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
    if (!isCsv)
        path += CsvExtension;
    return path;
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    WriteFileReplacingWith(path, [bytes](const ByteSink& sink) { sink(bytes); });
}

void WriteFileReplacingWith(const std::string& path, const std::function<void(const ByteSink&)>& produce) {
    if (path.empty())
        Fail(ENOENT);
    std::string target = path;
    // Replace what a link points to, not the link.
    std::error_code error;
    if (std::filesystem::is_symlink(target, error)) {
        const auto resolved = std::filesystem::weakly_canonical(target, error);
        if (!error)
            target = resolved.string();
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        Fail(EISDIR);
    // A read-only file stays as it is, even though its folder would let us replace it; root,
    // whom access() lets write anything, is refused by the file's mode.
    if (exists && ::access(target.c_str(), W_OK) != 0)
        Fail(errno);
    if (exists && (old.st_mode & 0222) == 0)
        Fail(EACCES);

    RemoveStaleTemporaries(target);
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0)
        Fail(errno);
    auto abandon = [&](int failure) {
        ::close(fd);
        ::unlink(temporary.c_str());
        Fail(failure);
    };
    const ByteSink write = [&](std::string_view bytes) {
        const char* p = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t wrote = ::write(fd, p, left);
            if (wrote < 0) {
                if (errno == EINTR)
                    continue;
                abandon(errno);
            }
            p += wrote;
            left -= static_cast<std::size_t>(wrote);
        }
    };
    try {
        produce(write);
    } catch (const SaveError&) {
        throw; // abandon has closed and removed the temporary
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (exists)
        ::fchmod(fd, old.st_mode & 07777);
    // On disk before the rename, so a crash leaves the old file or the new one.
    if (::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        Fail(failure);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int failure = errno;
        ::unlink(temporary.c_str());
        Fail(failure);
    }
}

std::string SaveFailedMessage(std::string_view path, std::string_view reason) {
    return "Cannot save file \"" + std::string(path) + "\". " + std::string(reason);
}

std::optional<std::string> SaveRowsTo(Workspace& ws, std::string_view chosen, const std::vector<int>* rows) {
    const std::string path = WithCsvExtension(std::string(chosen));
    ws.SaveDialogFileName = path;
    std::string reason;
    try {
        const RowSourceNames* sources = ws.SourceColumnShown ? &ws.RowSources : nullptr;
        WriteFileReplacingWith(path, [&](const ByteSink& sink) { WriteResultsCsv(ws.table, rows, sink, sources); });
        // Only the whole table counts as saved work.
        if (!rows)
            ws.MarkSaved();
        return std::nullopt;
    } catch (const SaveError& e) {
        reason = e.what();
    } catch (const std::bad_alloc&) {
        reason = "Out of memory";
    }
    return SaveFailedMessage(path, reason);
}

std::optional<std::string> AskSaveTarget(Workspace& ws) {
    // The dialog opens where the last chosen file is, with its name; at first in the dialog folder.
    const std::string& last = ws.SaveDialogFileName;
    return last.empty() ? ws.Ui.AskSaveFile(ws.DialogFolder, "")
                        : ws.Ui.AskSaveFile(FolderWithSlash(last), NameOf(last));
}

bool SaveThroughDialog(Workspace& ws, const std::vector<int>* rows) {
    const std::optional<std::string> chosen = AskSaveTarget(ws);
    if (!chosen)
        return false;
    if (const auto failed = SaveRowsTo(ws, *chosen, rows)) {
        ws.Ui.ShowMessage(MessageKind::Warning, *failed, MessageButtons::Ok);
        return false;
    }
    return true;
}

void SaveResults(Workspace& ws) {
    if (ws.table.RowCount() == 0) {
        ws.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
        return;
    }
    SaveThroughDialog(ws);
}

} // namespace vorlith
