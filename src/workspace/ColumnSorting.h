#pragma once
// A header click sorts the keyword table by that column: No and the count columns by number,
// Keywords by the system locale's collation with case ignored.

#include <QCollator>
#include <QLocale>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vorlith {

class KeywordTable;
class Workspace;
struct KeywordRow;

// A cell read as a number: commas removed, then the whole text as a signed 64-bit integer
// (leading spaces, an optional sign, decimal digits, or hexadecimal after "$", "x", "X", "0x",
// "0X"). Anything else, or a value beyond the 64-bit range, is 0.
std::int64_t NumberValue(std::string_view text);

// 1 when the first number is greater, -1 when it is smaller, 0 when they are equal.
int CompareNumbers(std::string_view first, std::string_view second);

// The Keywords comparison: the locale's collation, case ignored.
QCollator KeywordCollator(const QLocale& locale = QLocale::system());
int CompareKeywords(const QCollator& collator, std::string_view first, std::string_view second);

// The order of two rows for column 0..5 (No, Keywords, Searches, Google, Yahoo, Msn); negated
// when descending.
int CompareRows(const KeywordRow& first, const KeywordRow& second, int column, bool ascending,
                const QCollator& keywords);

// Sorts the rows into the order CompareRows gives, computing each row's key once. Rows that
// compare equal keep their order.
void SortRows(KeywordTable& table, int column, bool ascending, const QLocale& locale = QLocale::system());

// What SortRows gives to KeywordTable::Reorder. It only reads the table, so it may run on a worker
// thread while nothing changes the table; the reorder then runs where the table lives. A raised
// stop ends it early with WorkStopped (workspace/TableWork.h).
std::vector<std::size_t> SortOrder(const KeywordTable& table, int column, bool ascending,
                                   const QLocale& locale = QLocale::system(),
                                   const std::atomic<bool>* stop = nullptr);

// The header click: the same column again flips the direction, another column keeps it.
void SortByColumn(Workspace& ws, int column);

} // namespace vorlith
