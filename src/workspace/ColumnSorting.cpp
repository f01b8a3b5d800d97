#include "workspace/ColumnSorting.h"

#include "platform/QStringBytes.h"
#include "workspace/KeywordKeys.h"
#include "workspace/KeywordTable.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
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

// After a sort the cells sit in the table's arena in random order: key building starts the
// reads this many rows early so that their misses overlap.
constexpr int PrefetchAhead = 16;
// Rows between two looks at the stop flag: a few milliseconds of key building.
constexpr int StopEvery = 4096;

struct Entry {
    std::uint64_t Key;
    std::uint32_t Row;
};

// A sort of a million keys takes a hundred milliseconds or more: with a stop flag it is looked at
// every 65,536 comparisons.
template <typename Less>
void SortStoppable(Entry* first, Entry* last, Less less, const std::atomic<bool>* stop) {
    if (!stop) {
        std::sort(first, last, less);
        return;
    }
    std::size_t compared = 0;
    std::sort(first, last, [&](const Entry& a, const Entry& b) {
        if ((++compared & 0xFFFF) == 0)
            StopIfAsked(stop);
        return less(a, b);
    });
}

void SortRange(Entry* first, Entry* last, bool ascending, const std::atomic<bool>* stop) {
    if (ascending)
        SortStoppable(
            first, last,
            [](const Entry& a, const Entry& b) { return a.Key != b.Key ? a.Key < b.Key : a.Row < b.Row; },
            stop);
    else
        SortStoppable(
            first, last,
            [](const Entry& a, const Entry& b) { return a.Key != b.Key ? a.Key > b.Key : a.Row < b.Row; },
            stop);
}

// A stable sort by Key, a byte at a time from the lowest: counts are parsed into keys once, and
// the bytes every key shares (the high ones, for counts of a few billion) cost nothing.
void RadixSort(std::vector<Entry>& entries, const std::atomic<bool>* stop) {
    std::array<std::array<std::size_t, 256>, 8> counts{};
    for (const Entry& e : entries)
        for (std::size_t b = 0; b < 8; ++b)
            ++counts[b][(e.Key >> (8 * b)) & 0xFF];
    std::vector<Entry> spare(entries.size());
    for (std::size_t b = 0; b < 8; ++b) {
        StopIfAsked(stop);
        std::array<std::size_t, 256>& bucket = counts[b];
        if (std::find(bucket.begin(), bucket.end(), entries.size()) != bucket.end())
            continue; // every key has the same byte here
        std::size_t start = 0;
        for (std::size_t& n : bucket)
            start += std::exchange(n, start);
        for (const Entry& e : entries)
            spare[bucket[(e.Key >> (8 * b)) & 0xFF]++] = e;
        entries.swap(spare);
    }
}

// The keys of all rows as if in one string: the second half's (made on another thread) follow
// the first's, without being copied after them.
struct KeyArena {
    std::string First, Second;
    const char* At(std::size_t offset) const {
        return offset < First.size() ? First.data() + offset : Second.data() + (offset - First.size());
    }
};

// Eight key bytes from depth on, big-endian, zero-padded past the key's end.
std::uint64_t Chunk(const KeyArena& arena, const std::vector<std::size_t>& offsets, std::uint32_t row,
                    std::size_t depth) {
    const std::size_t begin = offsets[row] + depth;
    const std::size_t end = offsets[row + 1];
    if (begin >= end)
        return 0;
    const char* at = arena.At(begin);
    if (begin + 8 <= end) {
        std::uint64_t chunk;
        std::memcpy(&chunk, at, 8);
        return __builtin_bswap64(chunk);
    }
    std::uint64_t chunk = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        chunk <<= 8;
        if (begin + i < end)
            chunk |= static_cast<unsigned char>(at[i]);
    }
    return chunk;
}

// Sorts by variable-length keys eight bytes at a time: each level orders a group of rows whose
// keys agree so far by their next eight bytes, so comparisons stay on plain integers.
void SortByKeys(std::vector<Entry>& entries, const KeyArena& arena, const std::vector<std::size_t>& offsets,
                bool ascending, const std::atomic<bool>* stop) {
    struct Group {
        std::size_t First, Last, Depth;
    };
    std::vector<Group> pending{{0, entries.size(), 0}};
    std::size_t sorted = 0;
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
            SortRange(first, last, ascending, stop);
        sorted += g.Last - g.First;
        if (sorted >= StopEvery) {
            sorted = 0;
            StopIfAsked(stop);
        }
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

// The keys of rows [first, last): offsets[i] is where row first + i's key starts in arena.
void AppendKeys(const KeywordTable& table, const QLocale& locale, int first, int last, std::string& arena,
                std::vector<std::size_t>& offsets, const std::atomic<bool>* stop) {
    KeywordKeys keys(locale);
    offsets.reserve(static_cast<std::size_t>(last - first) + 1);
    const int keywords = CellOf(Column::Keywords);
    // A key is about as long as its text or longer: one good guess saves the arena's doublings.
    std::size_t text = 0;
    for (int r = first; r < last; ++r)
        text += table.Cell(r, keywords).size() + 1;
    arena.reserve(text);
    for (int r = first; r < last; ++r) {
        if ((r - first) % StopEvery == 0)
            StopIfAsked(stop);
        if (r + PrefetchAhead < last)
            __builtin_prefetch(table.Cell(r + PrefetchAhead, keywords).data());
        offsets.push_back(arena.size());
        keys.Append(table.Cell(r, keywords), arena);
    }
}

// Every row's key, with one more offset at the end. A collation key costs far more than reading
// the row, so a large table's keys are made in halves on two threads when there are two cores.
void BuildKeys(const KeywordTable& table, const QLocale& locale, KeyArena& arena,
               std::vector<std::size_t>& offsets, const std::atomic<bool>* stop) {
    const int rows = table.RowCount();
    const bool split = rows >= 100'000 && std::thread::hardware_concurrency() > 1;
    const int half = split ? rows / 2 : rows;
    std::vector<std::size_t> secondOffsets;
    std::exception_ptr secondFailed;
    std::thread second;
    if (split)
        second = std::thread([&, locale] {
            try {
                AppendKeys(table, locale, half, rows, arena.Second, secondOffsets, stop);
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    struct Joiner {
        std::thread& Thread;
        ~Joiner() {
            if (Thread.joinable())
                Thread.join();
        }
    } joiner{second};
    offsets.reserve(static_cast<std::size_t>(rows) + 1);
    AppendKeys(table, locale, 0, half, arena.First, offsets, stop);
    if (split) {
        second.join();
        if (secondFailed)
            std::rethrow_exception(secondFailed);
        const std::size_t base = arena.First.size();
        for (const std::size_t at : secondOffsets)
            offsets.push_back(base + at);
    }
    offsets.push_back(arena.First.size() + arena.Second.size());
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
    std::string firstInvalid, secondInvalid;
    const int r =
        Sign(collator.compare(ToCollationText(first, firstInvalid), ToCollationText(second, secondInvalid)));
    return r != 0 ? r : Sign(firstInvalid.compare(secondInvalid));
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
    if (table.RowCount() < 2)
        return;
    // The work's memory goes before the rows move, which takes a second copy of the row slots.
    const std::vector<std::size_t> order = SortOrder(table, column, ascending, locale);
    table.Reorder(order);
}

std::vector<std::size_t> SortOrder(const KeywordTable& table, int column, bool ascending,
                                   const QLocale& locale, const std::atomic<bool>* stop) {
    CheckColumn(column);
    const int rows = table.RowCount();
    std::vector<std::size_t> order;
    {
        std::vector<Entry> entries(static_cast<std::size_t>(rows));
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].Row = static_cast<std::uint32_t>(i);

        if (column == static_cast<int>(Column::Keywords)) {
            KeyArena arena;
            std::vector<std::size_t> offsets;
            BuildKeys(table, locale, arena, offsets, stop);
            SortByKeys(entries, arena, offsets, ascending, stop);
        } else {
            // Flipping the sign bit makes signed order unsigned order; inverting every bit makes
            // descending order ascending, and the stable sort keeps equal rows in their order.
            const std::uint64_t flip = (std::uint64_t{1} << 63) ^ (ascending ? 0 : ~std::uint64_t{0});
            if (column == static_cast<int>(Column::No)) {
                for (Entry& e : entries)
                    e.Key = static_cast<std::uint64_t>(table.Number(static_cast<int>(e.Row))) ^ flip;
            } else {
                const int cell = column - 1;
                for (int r = 0; r < rows; ++r) {
                    if (r % (16 * StopEvery) == 0)
                        StopIfAsked(stop);
                    if (r + PrefetchAhead < rows)
                        __builtin_prefetch(table.Cell(r + PrefetchAhead, cell).data());
                    entries[static_cast<std::size_t>(r)].Key =
                        static_cast<std::uint64_t>(NumberValue(table.Cell(r, cell))) ^ flip;
                }
            }
            RadixSort(entries, stop);
        }

        order.resize(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            order[i] = entries[i].Row;
    }
    return order;
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
