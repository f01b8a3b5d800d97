#include "workspace/ColumnSorting.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordTable.h"
#include "workspace/Workspace.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <unicode/ucol.h>
#include <vector>

namespace vorlith {

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view TextOf(const KeywordRow& row, int column) {
    return column == 0 ? std::string_view(row.Caption)
                       : std::string_view(row.Cell[static_cast<std::size_t>(column - 1)]);
}

void CheckColumn(int column) {
    if (column < 0 || column >= ColumnCount)
        throw std::out_of_range("No column " + std::to_string(column) + " to sort by");
}

// Sort keys for the Keywords column whose byte order is the collator's order. QCollator's own
// keys are slow to compare and, for the C locale, do not ignore case; so: for the C locale the
// case-folded UTF-16 text (the comparison Qt makes there), otherwise ICU keys from a collator
// set up as QCollator sets up its own.
class KeywordKeys {
public:
    explicit KeywordKeys(const QLocale& locale) {
        if (locale.language() == QLocale::C)
            return;
        const std::string name = locale.bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toStdString();
        UErrorCode status = U_ZERO_ERROR;
        collator_.reset(ucol_open(name.c_str(), &status));
        if (U_FAILURE(status) || !collator_)
            throw std::runtime_error("Cannot open the collation of locale " + name);
        ucol_setAttribute(collator_.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(collator_.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
        ucol_setAttribute(collator_.get(), UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(collator_.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        if (U_FAILURE(status))
            throw std::runtime_error("Cannot set up the collation of locale " + name);
    }

    // Appends the key of text to out. Keys hold no zero byte, so a shorter key that is a prefix
    // of a longer one sorts first when both are padded with zeros.
    void Append(std::string_view text, std::string& out) {
        if (text.empty())
            return; // the empty text sorts before every other one
        if (!collator_)
            return AppendFolded(text, out);
        const QString shown = ToQString(text);
        const auto* units = reinterpret_cast<const UChar*>(shown.utf16());
        const auto length = static_cast<int32_t>(shown.size());
        // Qt puts an empty text first even where the collation ignores every character.
        out.push_back('\x01');
        int32_t size = ucol_getSortKey(collator_.get(), units, length, buffer_.data(),
                                       static_cast<int32_t>(buffer_.size()));
        if (size > static_cast<int32_t>(buffer_.size())) {
            buffer_.resize(static_cast<std::size_t>(size));
            size = ucol_getSortKey(collator_.get(), units, length, buffer_.data(), size);
        }
        if (size > 1) // without the terminating zero
            out.append(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(size - 1));
    }

private:
    struct Closer {
        void operator()(UCollator* c) const { ucol_close(c); }
    };

    // A UTF-16 unit + 1 in UTF-8's order-keeping form: no zero byte, byte order = unit order.
    static void Encode(char32_t cp, std::string& out) {
        const char32_t v = cp + 1;
        if (v < 0x80) {
            out.push_back(static_cast<char>(v));
        } else if (v < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (v >> 6)));
            out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else if (v < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (v >> 12)));
            out.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (v >> 18)));
            out.push_back(static_cast<char>(0x80 | ((v >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        }
    }

    static void AppendFolded(std::string_view text, std::string& out) {
        // Most keywords are plain ASCII below DEL: one byte each, lower case + 1.
        if (std::all_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x7F; })) {
            const std::size_t at = out.size();
            out.resize(at + text.size());
            char* p = out.data() + at;
            for (char c : text)
                *p++ = static_cast<char>((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) + 1);
            return;
        }
        const QString shown = ToQString(text);
        const qsizetype n = shown.size();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t cp = shown.at(i).unicode();
            if (QChar::isHighSurrogate(cp) && i + 1 < n && shown.at(i + 1).isLowSurrogate()) {
                cp = QChar::surrogateToUcs4(shown.at(i), shown.at(i + 1));
                ++i;
            }
            // Qt compares the folded text by UTF-16 units, not by code points.
            cp = QChar::isSurrogate(cp) ? cp : QChar::toCaseFolded(cp);
            if (QChar::requiresSurrogates(cp)) {
                Encode(QChar::highSurrogate(cp), out);
                Encode(QChar::lowSurrogate(cp), out);
            } else {
                Encode(cp, out);
            }
        }
    }

    std::unique_ptr<UCollator, Closer> collator_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(256);
};

struct Entry {
    std::uint64_t Key;
    std::uint32_t Row;
};

void SortRange(Entry* first, Entry* last, bool ascending) {
    if (ascending)
        std::sort(first, last, [](const Entry& a, const Entry& b) {
            return a.Key != b.Key ? a.Key < b.Key : a.Row < b.Row;
        });
    else
        std::sort(first, last, [](const Entry& a, const Entry& b) {
            return a.Key != b.Key ? a.Key > b.Key : a.Row < b.Row;
        });
}

// Eight key bytes from depth on, big-endian, zero-padded past the key's end.
std::uint64_t Chunk(const std::string& arena, const std::vector<std::size_t>& offsets, std::uint32_t row,
                    std::size_t depth) {
    const std::size_t begin = offsets[row] + depth;
    const std::size_t end = offsets[row + 1];
    if (begin + 8 <= end) {
        std::uint64_t chunk;
        std::memcpy(&chunk, arena.data() + begin, 8);
        return __builtin_bswap64(chunk);
    }
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        chunk <<= 8;
        if (begin + i < end)
            chunk |= static_cast<unsigned char>(arena[begin + i]);
    }
    return chunk;
}

// Sorts by variable-length keys eight bytes at a time: each level orders a group of rows whose
// keys agree so far by their next eight bytes, so comparisons stay on plain integers.
void SortByKeys(std::vector<Entry>& entries, const std::string& arena,
                const std::vector<std::size_t>& offsets, bool ascending) {
    struct Group {
        std::size_t First, Last, Depth;
    };
    std::vector<Group> pending{{0, entries.size(), 0}};
    while (!pending.empty()) {
        const Group g = pending.back();
        pending.pop_back();
        Entry* first = entries.data() + g.First;
        Entry* last = entries.data() + g.Last;
        bool same = true;
        for (Entry* e = first; e != last; ++e) {
            e->Key = Chunk(arena, offsets, e->Row, g.Depth);
            same = same && e->Key == first->Key;
        }
        // Rows enter a group in row order, so a group of equal chunks needs no sort.
        if (!same)
            SortRange(first, last, ascending);
        for (Entry* run = first; run != last;) {
            Entry* end = run + 1;
            while (end != last && end->Key == run->Key)
                ++end;
            // A zero last byte means every key of the run has ended: they are equal.
            if (end - run > 1 && (run->Key & 0xFF) != 0)
                pending.push_back({static_cast<std::size_t>(run - entries.data()),
                                   static_cast<std::size_t>(end - entries.data()), g.Depth + 8});
            run = end;
        }
    }
}

} // namespace

std::int64_t NumberValue(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skipCommas = [&] {
        while (i < n && text[i] == ',')
            ++i;
    };
    skipCommas();
    while (i < n && (text[i] == ' ' || text[i] == ',')) // leading spaces, commas already gone
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        skipCommas();
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i < n && text[i] == '0') {
        std::size_t j = i + 1;
        while (j < n && text[j] == ',')
            ++j;
        if (j < n && (text[j] == 'x' || text[j] == 'X')) {
            base = 16;
            i = j + 1;
        }
    }
    // The magnitude may reach 2^63 for the most negative value.
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
    std::uint64_t magnitude = 0;
    bool digits = false;
    for (; i < n; ++i) {
        if (text[i] == ',')
            continue;
        const int d =
            base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0)
            return 0;
        if (magnitude > (limit - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return 0;
        magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        digits = true;
    }
    if (!digits || (!negative && magnitude == limit))
        return 0;
    return negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
}

int CompareNumbers(std::string_view first, std::string_view second) {
    const std::int64_t a = NumberValue(first);
    const std::int64_t b = NumberValue(second);
    return (a > b) - (a < b);
}

QCollator KeywordCollator(const QLocale& locale) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

int CompareKeywords(const QCollator& collator, std::string_view first, std::string_view second) {
    return Sign(collator.compare(ToQString(first), ToQString(second)));
}

int CompareRows(const KeywordRow& first, const KeywordRow& second, int column, bool ascending,
                const QCollator& keywords) {
    CheckColumn(column);
    const int r = column == static_cast<int>(Column::Keywords)
                      ? CompareKeywords(keywords, TextOf(first, column), TextOf(second, column))
                      : CompareNumbers(TextOf(first, column), TextOf(second, column));
    return ascending ? r : -r;
}

void SortRows(KeywordTable& table, int column, bool ascending, const QLocale& locale) {
    CheckColumn(column);
    const std::vector<KeywordRow>& rows = table.Rows();
    if (rows.size() < 2)
        return;
    std::vector<Entry> entries(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        entries[i].Row = static_cast<std::uint32_t>(i);

    if (column == static_cast<int>(Column::Keywords)) {
        KeywordKeys keys(locale);
        std::string arena;
        std::vector<std::size_t> offsets;
        offsets.reserve(rows.size() + 1);
        for (const KeywordRow& row : rows) {
            offsets.push_back(arena.size());
            keys.Append(row.Cell[0], arena);
        }
        offsets.push_back(arena.size());
        SortByKeys(entries, arena, offsets, ascending);
    } else {
        // Flipping the sign bit makes signed order unsigned order.
        for (Entry& e : entries)
            e.Key = static_cast<std::uint64_t>(NumberValue(TextOf(rows[e.Row], column))) ^
                    (std::uint64_t{1} << 63);
        SortRange(entries.data(), entries.data() + entries.size(), ascending);
    }

    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].Row;
    table.Reorder(order);
}

void SortByColumn(Workspace& ws, int column) {
    CheckColumn(column);
    if (column == ws.SortColumn)
        ws.SortAscending = !ws.SortAscending;
    else
        ws.SortColumn = column;
    SortRows(ws.table, column, ws.SortAscending);
}

} // namespace vorlith
