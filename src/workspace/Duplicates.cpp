#include "workspace/Duplicates.h"

#include "workspace/HiddenRows.h"
#include "workspace/KeywordTable.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <functional>

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

std::size_t RemoveDuplicateRows(KeywordTable& table, const QLocale& locale) {
    return table.DeleteMarked(DuplicateMarks(table, locale));
}

std::vector<bool> DuplicateMarks(const KeywordTable& table, const QLocale& locale) {
    const int rows = table.RowCount();
    if (rows < 2)
        return std::vector<bool>(static_cast<std::size_t>(rows));
    const int keywords = CellOf(Column::Keywords);
    KeywordSet seen(locale, KeywordsArePrintableAscii(table));
    std::vector<bool> duplicate(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        duplicate[static_cast<std::size_t>(r)] = !seen.Insert(table.Cell(r, keywords));
    return duplicate;
}

std::string DuplicatesRemovedText(std::size_t removed) {
    return removed == 1 ? "1 duplicate keyword removed."
                        : std::to_string(removed) + " duplicate keywords removed.";
}

void RemoveDuplicates(Workspace& ws) {
    const std::vector<bool> duplicates = DuplicateMarks(ws.table);
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
