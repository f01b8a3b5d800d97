#include "workspace/Duplicates.h"

#include "platform/HugePages.h"
#include "workspace/HiddenRows.h"
#include "workspace/KeywordTable.h"
#include "workspace/StatusTexts.h"
#include "workspace/TableWork.h"
#include "workspace/Workspace.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <thread>

namespace vorlith {

KeywordSet::KeywordSet(const QLocale& locale, bool asciiOnly)
    : keys_(locale), folded_(asciiOnly && keys_.AsciiFoldsLikeCollation()), slots_(1024, 0) {}

std::string_view KeywordSet::KeyAt(std::uint32_t item) const {
    return std::string_view(arena_).substr(offsets_[item], offsets_[item + 1] - offsets_[item]);
}

void KeywordSet::Grow() {
    std::vector<std::uint32_t> bigger(slots_.size() * 2, 0);
    const std::size_t mask = bigger.size() - 1;
    for (std::uint32_t item = 0; item < hashes_.size(); ++item) {
        std::size_t at = hashes_[item] & mask;
        while (bigger[at] != 0)
            at = (at + 1) & mask;
        bigger[at] = item + 1;
    }
    slots_.swap(bigger);
}

bool KeywordSet::Insert(std::string_view keyword) {
    scratch_.clear();
    if (folded_) {
        scratch_.resize(keyword.size());
        for (std::size_t i = 0; i < keyword.size(); ++i) {
            const char c = keyword[i];
            scratch_[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    } else {
        keys_.Append(keyword, scratch_);
    }
    const std::uint64_t hash = std::hash<std::string_view>{}(scratch_);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at] != 0) {
        const std::uint32_t item = slots_[at] - 1;
        if (hashes_[item] == hash && KeyAt(item) == scratch_)
            return false;
        at = (at + 1) & mask;
    }
    const auto item = static_cast<std::uint32_t>(hashes_.size());
    arena_.append(scratch_);
    offsets_.push_back(arena_.size());
    hashes_.push_back(hash);
    slots_[at] = item + 1;
    if (hashes_.size() * 2 > slots_.size())
        Grow();
    return true;
}

bool KeywordsArePrintableAscii(const KeywordTable& table) {
    for (int r = 0; r < table.RowCount(); ++r)
        if (!IsPrintableAscii(table.Cell(r, CellOf(Column::Keywords))))
            return false;
    return true;
}

namespace {

// Eight bytes of printable ASCII with the capitals made small, all at once: a byte gets 0x20 when
// it is at least 'A' and at most 'Z' (no byte is above 0x7F, so no sum carries into the next).
std::uint64_t FoldWord(std::uint64_t x) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t atLeastA = x + ones * (0x80 - 'A');
    const std::uint64_t aboveZ = x + ones * (0x80 - 'Z' - 1);
    return x | (((atLeastA & ~aboveZ) & ones * 0x80) >> 2);
}

std::uint64_t FoldedHash(std::string_view text) {
    std::uint64_t h = 0x9E3779B97F4A7C15u ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        h = (h ^ FoldWord(word)) * 0xFF51AFD7ED558CCDu;
        h ^= h >> 32;
    }
    if (i < text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, text.size() - i);
        h = (h ^ FoldWord(word)) * 0xFF51AFD7ED558CCDu;
    }
    h ^= h >> 29;
    h *= 0xC4CEB9FE1A85EC53u;
    return h ^ (h >> 32);
}

bool EqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i], y = b[i];
        if (x != y && (x | 0x20) != (y | 0x20))
            return false;
        if (x != y && !(((x | 0x20) >= 'a') && ((x | 0x20) <= 'z')))
            return false;
    }
    return true;
}

// Printable ASCII keywords where the locale folds them as ASCII does: the rows are hashed by their
// folded bytes (in two halves on two threads for a large table) and matched in the table itself,
// with no copy of any keyword.
std::vector<bool> FoldedDuplicates(const KeywordTable& table, const std::atomic<bool>* stop) {
    const int rows = table.RowCount();
    const int keywords = CellOf(Column::Keywords);
    // Every hash is written, and the table below starts as zeros from calloc: nothing is zeroed
    // twice, and both are faulted in 2 MiB at a time where the system allows.
    const std::unique_ptr<std::uint64_t[]> hashes(new std::uint64_t[static_cast<std::size_t>(rows)]);
    PreferHugePages(hashes.get(), static_cast<std::size_t>(rows) * sizeof(std::uint64_t));
    const auto hashRows = [&](int first, int last) {
        for (int r = first; r < last; ++r) {
            // Both halves end at a raised stop; only the first throws.
            if ((r - first) % 65536 == 0 && stop && stop->load(std::memory_order_relaxed))
                return;
            if (r + 16 < last)
                __builtin_prefetch(table.Cell(r + 16, keywords).data());
            hashes[static_cast<std::size_t>(r)] = FoldedHash(table.Cell(r, keywords));
        }
    };
    const bool split = rows >= 100'000 && std::thread::hardware_concurrency() > 1;
    if (split) {
        std::thread second(hashRows, rows / 2, rows);
        hashRows(0, rows / 2);
        second.join();
    } else {
        hashRows(0, rows);
    }
    StopIfAsked(stop);
    std::size_t size = 1024;
    while (size < 2 * static_cast<std::size_t>(rows))
        size *= 2;
    // A slot: the hash's high half, then row + 1 (0 is empty).
    const std::unique_ptr<std::uint64_t[], decltype(&std::free)> slots(
        static_cast<std::uint64_t*>(std::calloc(size, sizeof(std::uint64_t))), &std::free);
    if (!slots)
        throw std::bad_alloc();
    PreferHugePages(slots.get(), size * sizeof(std::uint64_t));
    const std::size_t mask = size - 1;
    std::vector<bool> duplicate(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        if (r % 65536 == 0)
            StopIfAsked(stop);
        // The probes wait on memory: the slot a few rows on is asked for now.
        if (r + 16 < rows)
            __builtin_prefetch(&slots[hashes[static_cast<std::size_t>(r + 16)] & mask]);
        const std::uint64_t hash = hashes[static_cast<std::size_t>(r)];
        const std::uint64_t tag = hash & 0xFFFFFFFF00000000u;
        std::size_t at = hash & mask;
        bool seen = false;
        for (; slots[at] != 0; at = (at + 1) & mask) {
            if ((slots[at] & 0xFFFFFFFF00000000u) == tag &&
                EqualFolded(table.Cell(static_cast<int>((slots[at] & 0xFFFFFFFFu) - 1), keywords),
                            table.Cell(r, keywords))) {
                seen = true;
                break;
            }
        }
        if (seen)
            duplicate[static_cast<std::size_t>(r)] = true;
        else
            slots[at] = tag | (static_cast<std::uint64_t>(r) + 1);
    }
    return duplicate;
}

} // namespace

std::vector<bool> DuplicateRows(const KeywordTable& table, const QLocale& locale,
                                const std::atomic<bool>* stop) {
    const int rows = table.RowCount();
    const int keywords = CellOf(Column::Keywords);
    const bool ascii = KeywordsArePrintableAscii(table);
    if (ascii && KeywordKeys(locale).AsciiFoldsLikeCollation())
        return FoldedDuplicates(table, stop);
    KeywordSet seen(locale, ascii);
    std::vector<bool> duplicate(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        if (r % 4096 == 0)
            StopIfAsked(stop);
        duplicate[static_cast<std::size_t>(r)] = !seen.Insert(table.Cell(r, keywords));
    }
    return duplicate;
}

std::size_t RemoveDuplicateRows(KeywordTable& table, const QLocale& locale) {
    if (table.RowCount() < 2)
        return 0;
    return table.DeleteMarked(DuplicateRows(table, locale));
}

std::string DuplicatesRemovedText(std::size_t removed) {
    return removed == 1 ? "1 duplicate keyword removed."
                        : std::to_string(removed) + " duplicate keywords removed.";
}

void RemoveDuplicates(Workspace& ws) {
    RemoveMarkedDuplicates(ws, DuplicateRows(ws.table));
}

void RemoveMarkedDuplicates(Workspace& ws, const std::vector<bool>& duplicates) {
    if (!AgreeToHiddenRows(ws, duplicates, HiddenDuplicatesQuestion))
        return;
    std::size_t removed = 0;
    {
        const auto step = ws.History.Command("Remove Duplicates");
        removed = ws.table.DeleteMarked(duplicates);
    }
    ws.SetSecondStatus(ItemCountText(ws.table.RowCount()));
    ws.Ui.ShowMessage(MessageKind::Information, DuplicatesRemovedText(removed), MessageButtons::Ok);
}

} // namespace vorlith
