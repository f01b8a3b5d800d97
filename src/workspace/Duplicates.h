#pragma once
// Keywords that the Keywords column compares as equal (the locale's collation, case ignored):
// Remove Duplicates, and the import option that skips keywords already in the table.

#include "workspace/KeywordKeys.h"

#include <QLocale>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;

// A set of keywords under the Keywords column's equality.
class KeywordSet {
public:
    // asciiOnly: every keyword that will be inserted is printable ASCII, so the folded bytes
    // can stand for the collation when the locale allows it.
    KeywordSet(const QLocale& locale, bool asciiOnly);
    // Adds the keyword; false when an equal one is already in the set.
    bool Insert(std::string_view keyword);
    std::size_t Size() const { return offsets_.size() - 1; }

private:
    std::string_view KeyAt(std::uint32_t item) const;
    void Grow();

    KeywordKeys keys_;
    bool folded_;
    std::string arena_;
    std::vector<std::size_t> offsets_{0};
    std::vector<std::uint64_t> hashes_;
    std::vector<std::uint32_t> slots_; // 0 empty, else item + 1
    std::string scratch_;
};

// Every keyword of the table is printable ASCII: a KeywordSet of them may match folded bytes.
bool KeywordsArePrintableAscii(const KeywordTable& table);

// The rows whose keyword equals that of an earlier row, marked for KeywordTable::DeleteMarked. It
// only reads the table, so it may run on a worker thread while nothing changes the table. A raised
// stop ends it early with WorkStopped (workspace/TableWork.h).
std::vector<bool> DuplicateRows(const KeywordTable& table, const QLocale& locale = QLocale::system(),
                                const std::atomic<bool>* stop = nullptr);

// Removes every row whose keyword equals that of an earlier row; returns how many went.
std::size_t RemoveDuplicateRows(KeywordTable& table, const QLocale& locale = QLocale::system());

// Remove Duplicates: keeps the first of equal keywords, then says how many rows went.
void RemoveDuplicates(Workspace& ws);
// Its second half, given DuplicateRows of the table as it is now.
void RemoveMarkedDuplicates(Workspace& ws, const std::vector<bool>& duplicates);
std::string DuplicatesRemovedText(std::size_t removed);

} // namespace vorlith
