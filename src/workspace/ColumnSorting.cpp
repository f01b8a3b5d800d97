#include "workspace/ColumnSorting.h"

#include "platform/HugePages.h"
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
#include <optional>
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

// Calls each(i) for i in [first, last) in order, asking for textOf(i)'s bytes a few rows early (after
// a sort the rows' text lies in random order, and the misses then overlap) and looking at stop every
// StopEvery rows.
template <typename TextOf, typename Each>
void EachRow(std::size_t first, std::size_t last, const std::atomic<bool>* stop, const TextOf& textOf,
             const Each& each) {
    for (std::size_t i = first; i < last; ++i) {
        if ((i - first) % StopEvery == 0)
            StopIfAsked(stop);
        if (i + PrefetchAhead < last)
            __builtin_prefetch(textOf(i + PrefetchAhead).data());
        each(i);
    }
}

// Sized for a million rows in 2 MiB pages where the system allows: fewer faults as it fills.
template <typename T> void Presized(std::vector<T>& buffer, std::size_t count) {
    ReserveInHugePages(buffer, count);
    buffer.resize(count);
}

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

// The order of entries: by key, rows with equal keys in their order. The direction is a template
// argument so that a million comparisons do not each ask it.
template <bool Ascending> bool Before(const Entry& a, const Entry& b) {
    return a.Key != b.Key ? (Ascending ? a.Key < b.Key : a.Key > b.Key) : a.Row < b.Row;
}

void SortRange(Entry* first, Entry* last, bool ascending, const std::atomic<bool>* stop) {
    if (ascending)
        SortStoppable(first, last, Before<true>, stop);
    else
        SortStoppable(first, last, Before<false>, stop);
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

// Eight bytes of a key from depth on, big-endian, zero-padded past its end; through ranks when
// given (a keyword of printable ASCII read as its characters' ranks).
std::uint64_t ChunkOf(std::string_view key, std::size_t depth, const std::array<std::uint8_t, 256>* ranks) {
    if (depth >= key.size())
        return 0;
    const char* at = key.data() + depth;
    const std::size_t left = key.size() - depth;
    std::uint64_t chunk = 0;
    if (left >= 8) {
        std::memcpy(&chunk, at, 8);
        chunk = __builtin_bswap64(chunk);
        if (!ranks)
            return chunk;
        std::uint64_t ranked = 0;
        for (int shift = 56; shift >= 0; shift -= 8)
            ranked |= std::uint64_t{(*ranks)[(chunk >> shift) & 0xFF]} << shift;
        return ranked;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        chunk <<= 8;
        if (i < left) {
            const auto byte = static_cast<unsigned char>(at[i]);
            chunk |= ranks ? (*ranks)[byte] : byte;
        }
    }
    return chunk;
}

// The keys of all rows as if in one string: the second half's (made on another thread) follow
// the first's, without being copied after them. offsets[i] is where key i starts; one more ends it.
struct Keys {
    std::string First, Second;
    std::vector<std::size_t> Offsets;
    std::string_view operator[](std::uint32_t i) const {
        const std::size_t begin = Offsets[i];
        const std::size_t size = Offsets[i + 1] - begin;
        // No key straddles the halves: the second half's first key starts where the first half ends.
        return {begin < First.size() ? First.data() + begin : Second.data() + (begin - First.size()), size};
    }
};

// Runs work(first, last) over [0, rows), a large table in two parts on two threads when there are
// two cores: a collation key costs far more than reading the row. The parts meet at `at` (the
// middle unless given). Returns whether it split.
template <typename Work>
bool OnHalves(std::size_t rows, const Work& work, std::optional<std::size_t> at = std::nullopt) {
    const bool split = rows >= 100'000 && std::thread::hardware_concurrency() > 1;
    const std::size_t half = split ? std::min(at.value_or(rows / 2), rows) : rows;
    std::exception_ptr secondFailed;
    std::thread second;
    if (split)
        second = std::thread([&] {
            try {
                work(half, rows);
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
    work(std::size_t{0}, half);
    if (split) {
        second.join();
        if (secondFailed)
            std::rethrow_exception(secondFailed);
    }
    return split;
}

struct Group {
    std::size_t First, Last, Depth;
};

// Pushes the runs of equal chunks in [first, last) that need a look at their next eight bytes.
void PushRuns(const std::vector<Entry>& entries, std::size_t first, std::size_t last, std::size_t depth,
              std::vector<Group>& pending) {
    for (std::size_t run = first; run != last;) {
        std::size_t end = run + 1;
        while (end != last && entries[end].Key == entries[run].Key)
            ++end;
        // A zero last byte means every key of the run has ended: they are equal.
        if (end - run > 1 && (entries[run].Key & 0xFF) != 0)
            pending.push_back({run, end, depth + 8});
        run = end;
    }
}

// Each level orders a group of rows whose keys agree so far by their next eight bytes, so
// comparisons stay on plain integers. keyOf(row) gives the key (or the ranked keyword) of an entry's
// Row.
template <typename KeyOf>
void RefineGroups(std::vector<Entry>& entries, std::vector<Group> pending, const KeyOf& keyOf,
                  const std::array<std::uint8_t, 256>* ranks, bool ascending, const std::atomic<bool>* stop) {
    std::size_t sorted = 0;
    while (!pending.empty()) {
        const Group g = pending.back();
        pending.pop_back();
        Entry* first = entries.data() + g.First;
        Entry* last = entries.data() + g.Last;
        bool same = true;
        for (Entry* e = first; e != last; ++e) {
            if (last - e > PrefetchAhead)
                __builtin_prefetch(keyOf(e[PrefetchAhead].Row).data());
            e->Key = ChunkOf(keyOf(e->Row), g.Depth, ranks);
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
        PushRuns(entries, g.First, g.Last, g.Depth, pending);
    }
}

// Sorts by variable-length keys eight bytes at a time. On a large table both cores take part: each
// sorts half the rows by their first eight bytes, the halves are merged, and the groups that agree
// on those bytes are shared out between the two.
template <typename KeyOf>
void SortByKeys(std::vector<Entry>& entries, const KeyOf& keyOf, const std::array<std::uint8_t, 256>* ranks,
                bool ascending, const std::atomic<bool>* stop, bool firstChunksSet = false) {
    const std::size_t rows = entries.size();
    if (!firstChunksSet)
        OnHalves(rows, [&](std::size_t first, std::size_t last) {
            const auto keyAt = [&](std::size_t i) { return keyOf(entries[i].Row); };
            EachRow(first, last, stop, keyAt, [&](std::size_t i) { entries[i].Key = ChunkOf(keyAt(i), 0, ranks); });
        });
    std::size_t half = rows / 2;
    const bool split = OnHalves(
        rows, [&](std::size_t first, std::size_t last) {
            SortRange(entries.data() + first, entries.data() + last, ascending, stop);
        },
        half);
    if (split) {
        // Row breaks ties, so the merge gives what one sort would.
        std::vector<Entry> merged;
        Presized(merged, rows);
        const auto middle = entries.begin() + static_cast<std::ptrdiff_t>(half);
        if (ascending)
            std::merge(entries.begin(), middle, middle, entries.end(), merged.begin(), Before<true>);
        else
            std::merge(entries.begin(), middle, middle, entries.end(), merged.begin(), Before<false>);
        entries.swap(merged);
        StopIfAsked(stop);
    }
    // The two parts of the refinement meet between two groups.
    while (half > 0 && half < rows && entries[half].Key == entries[half - 1].Key)
        ++half;
    OnHalves(
        rows, [&](std::size_t first, std::size_t last) {
            std::vector<Group> pending;
            PushRuns(entries, first, last, 0, pending);
            RefineGroups(entries, std::move(pending), keyOf, ranks, ascending, stop);
        },
        half);
}

// The keys of the keywords rowOf(0..count) names.
template <typename RowOf>
void BuildKeys(const KeywordTable& table, const QLocale& locale, std::size_t count, const RowOf& rowOf, Keys& keys,
               const std::atomic<bool>* stop) {
    const int keywords = CellOf(Column::Keywords);
    std::vector<std::size_t> secondOffsets;
    keys.Offsets.reserve(count + 1);
    OnHalves(count, [&](std::size_t first, std::size_t last) {
        std::string& arena = first == 0 ? keys.First : keys.Second;
        std::vector<std::size_t>& offsets = first == 0 ? keys.Offsets : secondOffsets;
        KeywordKeys maker(locale);
        // A key is about as long as its text or longer: one good guess saves the arena's doublings.
        std::size_t text = 0;
        for (std::size_t i = first; i < last; ++i)
            text += table.Cell(rowOf(i), keywords).size() + 1;
        arena.reserve(text);
        offsets.reserve(last - first);
        const auto textAt = [&](std::size_t i) { return table.Cell(rowOf(i), keywords); };
        EachRow(first, last, stop, textAt, [&](std::size_t i) {
            offsets.push_back(arena.size());
            maker.Append(textAt(i), arena);
        });
    });
    for (const std::size_t at : secondOffsets)
        keys.Offsets.push_back(keys.First.size() + at);
    keys.Offsets.push_back(keys.First.size() + keys.Second.size());
}

// The Keywords order. Most tables are mostly printable ASCII: those rows sort by their characters'
// ranks, read from the table itself (no key to make or hold), and the few others are merged in by
// their keys. When too many rows are not such text, every row gets its key instead.
void SortKeywords(const KeywordTable& table, const QLocale& locale, bool ascending, std::vector<Entry>& entries,
                  const std::atomic<bool>* stop) {
    const int keywords = CellOf(Column::Keywords);
    const std::size_t rows = entries.size();
    KeywordKeys maker(locale);
    const std::array<std::uint8_t, 256>* ranks = maker.AsciiRanks();
    std::vector<std::uint8_t> ranked(rows);
    if (ranks)
        OnHalves(rows, [&](std::size_t first, std::size_t last) {
            const auto textAt = [&](std::size_t r) { return table.Cell(static_cast<int>(r), keywords); };
            EachRow(first, last, stop, textAt, [&](std::size_t r) {
                // The first eight ranks are taken while the text is at hand, on both threads.
                const std::string_view text = textAt(r);
                ranked[r] = IsPrintableAscii(text) ? 1 : 0;
                if (ranked[r])
                    entries[r].Key = ChunkOf(text, 0, ranks);
            });
        });
    const auto plain = static_cast<std::size_t>(std::count(ranked.begin(), ranked.end(), 1));
    if (plain == 0 || (rows - plain) * 32 > plain) {
        Keys keys;
        BuildKeys(table, locale, rows, [](std::size_t i) { return static_cast<int>(i); }, keys, stop);
        SortByKeys(entries, [&](std::uint32_t i) { return keys[i]; }, nullptr, ascending, stop);
        return;
    }
    // The ranked rows at the front in row order; the others apart, by their index in otherRows.
    std::vector<std::uint32_t> otherRows;
    std::vector<Entry> others;
    std::size_t kept = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        if (ranked[r]) {
            entries[kept++] = {entries[r].Key, static_cast<std::uint32_t>(r)};
        } else {
            others.push_back({0, static_cast<std::uint32_t>(otherRows.size())});
            otherRows.push_back(static_cast<std::uint32_t>(r));
        }
    }
    ranked = {};
    entries.resize(kept);
    SortByKeys(entries, [&](std::uint32_t row) { return table.Cell(static_cast<int>(row), keywords); }, ranks,
               ascending, stop, true);
    if (others.empty())
        return;
    Keys keys;
    BuildKeys(table, locale, otherRows.size(), [&](std::size_t i) { return static_cast<int>(otherRows[i]); }, keys,
              stop);
    SortByKeys(others, [&](std::uint32_t i) { return keys[i]; }, nullptr, ascending, stop);

    // Merged from the back into the room behind the ranked rows. Where each other row goes is
    // found by galloping back over the ranked rows, making the keys of the few the search meets.
    std::string probe;
    auto before = [&](std::size_t i, const Entry& o) { // ranked row i goes before other row o
        probe.clear();
        maker.Append(table.Cell(static_cast<int>(entries[i].Row), keywords), probe);
        const int c = std::string_view(probe).compare(keys[o.Row]);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return entries[i].Row < otherRows[o.Row];
    };
    entries.resize(kept + others.size());
    std::size_t high = kept; // the ranked rows [0, high) are not yet placed
    for (std::size_t k = others.size(); k-- > 0;) {
        const Entry& o = others[k];
        // Rows [low, high) do not go before o, rows below floor do.
        std::size_t low = high, floor = 0;
        for (std::size_t step = 1; low > 0; step *= 2) {
            const std::size_t at = low > step ? low - step : 0;
            if (before(at, o)) {
                floor = at + 1;
                break;
            }
            low = at;
        }
        while (floor < low) {
            const std::size_t mid = floor + (low - floor) / 2;
            if (before(mid, o))
                floor = mid + 1;
            else
                low = mid;
        }
        std::move_backward(entries.begin() + static_cast<std::ptrdiff_t>(low),
                           entries.begin() + static_cast<std::ptrdiff_t>(high),
                           entries.begin() + static_cast<std::ptrdiff_t>(high + k + 1));
        entries[low + k] = {0, otherRows[o.Row]};
        high = low;
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
        std::vector<Entry> entries;
        Presized(entries, static_cast<std::size_t>(rows));
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].Row = static_cast<std::uint32_t>(i);

        if (column == static_cast<int>(Column::Keywords)) {
            SortKeywords(table, locale, ascending, entries, stop);
        } else {
            // Flipping the sign bit makes signed order unsigned order; inverting every bit makes
            // descending order ascending, and the stable sort keeps equal rows in their order.
            const std::uint64_t flip = (std::uint64_t{1} << 63) ^ (ascending ? 0 : ~std::uint64_t{0});
            if (column == static_cast<int>(Column::No)) {
                for (Entry& e : entries)
                    e.Key = static_cast<std::uint64_t>(table.Number(static_cast<int>(e.Row))) ^ flip;
            } else {
                const int cell = column - 1;
                const auto textAt = [&](std::size_t r) { return table.Cell(static_cast<int>(r), cell); };
                EachRow(0, entries.size(), stop, textAt, [&](std::size_t r) {
                    entries[r].Key = static_cast<std::uint64_t>(NumberValue(textAt(r))) ^ flip;
                });
            }
            RadixSort(entries, stop);
        }

        Presized(order, entries.size());
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
