#include "workspace/ColumnSorting.h"

#include "support/ScriptedUi.h"
#include "workspace/KeywordKeys.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <numeric>
#include <random>

namespace vorlith {
namespace {

using test::ScriptedUi;
using Texts = std::vector<std::string>;

struct Reading {
    std::string Text;
    std::int64_t Value;
};

class NumberReading : public ::testing::TestWithParam<Reading> {};

TEST_P(NumberReading, ReadsTheWholeTextOrCountsAsZero) {
    EXPECT_EQ(NumberValue(GetParam().Text), GetParam().Value) << '"' << GetParam().Text << '"';
}

constexpr std::int64_t Max64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t Min64 = std::numeric_limits<std::int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Table, NumberReading,
    ::testing::Values(Reading{"987", 987}, Reading{"1,234", 1234}, Reading{"1,,2,3", 123}, Reading{"007", 7},
                      Reading{"0", 0}, Reading{"", 0}, Reading{",", 0}, Reading{"golf", 0}, Reading{"5 ", 0},
                      Reading{"   5", 5}, Reading{" , 5", 5}, Reading{"\t5", 0}, Reading{"+5", 5},
                      Reading{"-5", -5}, Reading{"-,5", -5}, Reading{"- 5", 0}, Reading{"--5", 0},
                      Reading{"5-", 0}, Reading{"+", 0}, Reading{"1.5", 0}, Reading{"1 000", 0},
                      Reading{"1e3", 0}, Reading{"$1F", 31}, Reading{"x1f", 31}, Reading{"X1F", 31},
                      Reading{"0x1F", 31}, Reading{"0X1f", 31}, Reading{"0,x10", 16}, Reading{"-$10", -16},
                      Reading{"  +0x10", 16}, Reading{"$", 0}, Reading{"0x", 0}, Reading{"x", 0},
                      Reading{"00x10", 0}, Reading{"0x-1", 0}, Reading{"$1G", 0}, Reading{"1F", 0},
                      // 64-bit: counts above 2,147,483,647 are common
                      Reading{"3,000,000,000", 3000000000}, Reading{"2147483648", 2147483648},
                      Reading{"9,223,372,036,854,775,807", Max64}, Reading{"9223372036854775808", 0},
                      Reading{"-9223372036854775808", Min64}, Reading{"-9223372036854775809", 0},
                      Reading{"99999999999999999999999", 0}, Reading{"$7FFFFFFFFFFFFFFF", Max64},
                      Reading{"-$8000000000000000", Min64}, Reading{"$8000000000000000", 0},
                      Reading{"$FFFFFFFFFFFFFFFF", 0}));

TEST(CompareNumbers, GivesTheSignOfTheDifference) {
    EXPECT_EQ(CompareNumbers("987", "1,234"), -1);
    EXPECT_EQ(CompareNumbers("1,234", "987"), 1);
    EXPECT_EQ(CompareNumbers("3,000,000,000", "5"), 1);
    EXPECT_EQ(CompareNumbers("", "golf"), 0);
    EXPECT_EQ(CompareNumbers("5 ", "0"), 0);
    EXPECT_EQ(CompareNumbers("$10", "16"), 0);
    EXPECT_EQ(CompareNumbers("-1", ""), -1);
}

Texts Column(const KeywordTable& table, int column) {
    Texts out;
    for (const auto& row : table.Rows())
        out.push_back(column == 0 ? row.Caption : row.Cell[static_cast<std::size_t>(column - 1)]);
    return out;
}

class HeaderClicks : public ::testing::Test {
protected:
    void SetUp() override {
        ws.SortColumn = -1;
        ws.SortAscending = true;
        ws.table.Append({"golf", "1,234", "987", "3", ""});
        ws.table.Append({"Apple", "", "1,234", "1", "x"});
        ws.table.Append({"banana", "50", "", "2", "7"});
        ws.table.Append({"apple", "5 ", "3,000,000,000", "2", "-1"});
    }
    ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
};

TEST_F(HeaderClicks, SameColumnFlipsTheDirectionAnotherKeepsIt) {
    SortByColumn(ws, 3); // Google, ascending
    EXPECT_EQ(ws.SortColumn, 3);
    EXPECT_TRUE(ws.SortAscending);
    EXPECT_EQ(Column(ws.table, 3), (Texts{"", "987", "1,234", "3,000,000,000"}));
    SortByColumn(ws, 3); // Google again: descending
    EXPECT_FALSE(ws.SortAscending);
    EXPECT_EQ(Column(ws.table, 3), (Texts{"3,000,000,000", "1,234", "987", ""}));
    SortByColumn(ws, 4); // Yahoo: the direction carries over
    EXPECT_EQ(ws.SortColumn, 4);
    EXPECT_FALSE(ws.SortAscending);
    EXPECT_EQ(Column(ws.table, 4), (Texts{"3", "2", "2", "1"}));
    SortByColumn(ws, 4);
    EXPECT_TRUE(ws.SortAscending);
    EXPECT_EQ(Column(ws.table, 4), (Texts{"1", "2", "2", "3"}));
    EXPECT_TRUE(ui.StatusLog.empty()); // sorting leaves the item count alone
}

TEST_F(HeaderClicks, WholeRowsTravelWithoutRenumbering) {
    ws.table.SetChecked(3, true);
    SortByColumn(ws, 5); // Msn: "x" counts as 0, "" as 0
    EXPECT_EQ(Column(ws.table, 5), (Texts{"-1", "", "x", "7"}));
    const KeywordRow& first = ws.table.Row(0);
    EXPECT_EQ(first.Caption, "4");
    EXPECT_EQ(first.Cell, (Cells{"apple", "5 ", "3,000,000,000", "2", "-1"}));
    EXPECT_TRUE(first.Checked);
    for (int r = 1; r < 4; ++r)
        EXPECT_FALSE(ws.table.Checked(r));
    SortByColumn(ws, 0);
    EXPECT_EQ(Column(ws.table, 0), (Texts{"1", "2", "3", "4"}));
}

TEST_F(HeaderClicks, NonNumbersSortWithTheZerosAndEqualRowsKeepTheirOrder) {
    SortByColumn(ws, 2); // Searches: "", "5 " are 0
    EXPECT_EQ(Column(ws.table, 2), (Texts{"", "5 ", "50", "1,234"}));
    EXPECT_EQ(Column(ws.table, 1), (Texts{"Apple", "apple", "banana", "golf"}));
}

TEST_F(HeaderClicks, KeywordsIgnoreCase) {
    SortByColumn(ws, 1);
    EXPECT_EQ(Column(ws.table, 1), (Texts{"Apple", "apple", "banana", "golf"}));
    SortByColumn(ws, 1);
    EXPECT_EQ(Column(ws.table, 1), (Texts{"golf", "banana", "Apple", "apple"}));
}

TEST(HeaderClick, OnAnEmptyOrOneRowTableOnlyUpdatesTheState) {
    ScriptedUi ui;
    Workspace ws(ui, "/tmp");
    ws.SortColumn = -1;
    ws.SortAscending = true;
    QSignalSpy layout(&ws.table, &KeywordTable::RowsReordered);
    SortByColumn(ws, 2);
    SortByColumn(ws, 2);
    EXPECT_EQ(ws.SortColumn, 2);
    EXPECT_FALSE(ws.SortAscending);
    ws.table.AppendKeyword("solo");
    SortByColumn(ws, 1);
    EXPECT_EQ(ws.SortColumn, 1);
    EXPECT_EQ(layout.count(), 0);
    EXPECT_THROW(SortByColumn(ws, 6), std::out_of_range);
    EXPECT_THROW(SortByColumn(ws, -1), std::out_of_range);
    EXPECT_EQ(ws.SortColumn, 1);
}

TEST(KeywordCollation, AppleAndAppleAreEqualAndBananaFollowsInEveryLocale) {
    for (const char* name : {"C", "en_US", "de_DE", "tr_TR"}) {
        const QCollator collator = KeywordCollator(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(CompareKeywords(collator, "apple", "Apple"), 0) << name;
        EXPECT_EQ(CompareKeywords(collator, "Banana", "apple"), 1) << name;
        EXPECT_EQ(CompareKeywords(collator, "", "apple"), -1) << name;
    }
}

// Texts built to reach every branch of the keys: case, accents, scripts, long shared prefixes,
// empty and ignorable characters, invalid UTF-8 and duplicates.
std::string RandomKeyword(std::mt19937& rng) {
    static const std::vector<std::string> pieces{"a",
                                                 "A",
                                                 "b",
                                                 "B",
                                                 "z",
                                                 " ",
                                                 "-",
                                                 "_",
                                                 ".",
                                                 "1",
                                                 "10",
                                                 "2",
                                                 "\xc3\xa9",
                                                 "\xc3\x89",
                                                 "\xc3\x9f",
                                                 "\xc4\xb0",
                                                 "\xc4\xb1",
                                                 "ch",
                                                 "aa",
                                                 "\xc3\xa5",
                                                 "\xc3\xb6",
                                                 "\xe3\x81\x82",
                                                 "\xef\xbc\xa1",
                                                 "\xf0\x9f\x98\x80",
                                                 "\x01",
                                                 "\x7f",
                                                 "\xff",
                                                 "\xe2\x84\xaa",
                                                 "\xf0\x90\x90\x80",
                                                 "\xf0\x90\x90\xa8",
                                                 "\xed\xa0\x80",
                                                 "e\xcc\x81",
                                                 "\xcc\xa3",
                                                 "\xe1\x84\x80\xe1\x85\xa1",
                                                 "golf clubs and balls ",
                                                 "GOLF CLUBS AND BALLS "};
    std::string text;
    const int count = static_cast<int>(rng() % 7);
    for (int i = 0; i < count; ++i)
        text += pieces[rng() % pieces.size()];
    return text;
}

std::string RandomCount(std::mt19937& rng) {
    static const std::vector<std::string> fixed{"",
                                                "0",
                                                "1,234",
                                                "987",
                                                "-5",
                                                "$FF",
                                                "golf",
                                                "5 ",
                                                "3,000,000,000",
                                                "99999999999999999999",
                                                "0x10",
                                                "16",
                                                "-0",
                                                "9223372036854775807"};
    if (rng() % 2)
        return fixed[rng() % fixed.size()];
    return std::to_string(static_cast<long long>(rng() % 2000) - 1000);
}

class SortOrder : public ::testing::TestWithParam<const char*> {};

TEST_P(SortOrder, EqualsWhatCompareRowsGivesAndKeepsEqualRowsInOrder) {
    const QLocale locale(QString::fromLatin1(GetParam()));
    const QCollator collator = KeywordCollator(locale);
    std::mt19937 rng(20260);
    KeywordTable table;
    for (int i = 0; i < 1500; ++i)
        table.Append(
            {RandomKeyword(rng), RandomCount(rng), RandomCount(rng), RandomCount(rng), RandomCount(rng)});
    for (int column = 0; column < ColumnCount; ++column) {
        for (bool ascending : {true, false}) {
            std::map<std::string, std::size_t> before;
            for (int i = 0; i < table.RowCount(); ++i)
                before[table.Caption(i)] = static_cast<std::size_t>(i);
            SortRows(table, column, ascending, locale);
            const std::vector<KeywordRow> rows = table.Rows();
            std::vector<bool> seen(rows.size() + 1);
            for (const auto& row : rows)
                seen[std::stoul(row.Caption)] = true;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<long>(rows.size()));
            for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
                const int r = CompareRows(rows[i], rows[i + 1], column, ascending, collator);
                ASSERT_LE(r, 0) << "column " << column << (ascending ? " up" : " down") << " at " << i
                                << ": \"" << rows[i].Cell[0] << "\" / \"" << rows[i + 1].Cell[0] << '"';
                if (r == 0) {
                    ASSERT_LT(before[rows[i].Caption], before[rows[i + 1].Caption]) << "equal rows swapped";
                }
            }
            for (int k = 0; k < 3000; ++k) {
                std::size_t i = rng() % rows.size(), j = rng() % rows.size();
                if (i > j)
                    std::swap(i, j);
                ASSERT_LE(CompareRows(rows[i], rows[j], column, ascending, collator), 0)
                    << "column " << column << ": \"" << rows[i].Cell[0] << "\" / \"" << rows[j].Cell[0]
                    << '"';
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, SortOrder,
                         ::testing::Values("C", "en_US", "de_DE", "sv_SE", "cs_CZ", "tr_TR", "ja_JP"),
                         [](const auto& info) { return std::string(info.param); });

// Mostly printable ASCII with a few other texts, as most tables are: the order is that of every
// row's collation key, rows with equal keys in their order. From 100,000 rows the sort shares its
// work between two threads; with one other text in ten, every row gets its key.
struct RankCase {
    const char* Locale;
    int Rows;
    int OtherEvery;
};
class AsciiRanks : public ::testing::TestWithParam<RankCase> {};

TEST_P(AsciiRanks, OrderEqualsTheKeysOrder) {
    const QLocale locale(QString::fromLatin1(GetParam().Locale));
    const int every = GetParam().OtherEvery;
    const std::string alphabet = " !\"#$%&'()*+,-./09:;<=>?@AZ[\\]^_`az{|}~aAbBcCiIyYzZ";
    std::mt19937 rng(99);
    KeywordTable table;
    KeywordKeys keys(locale);
    std::vector<std::string> key;
    for (int i = 0; i < GetParam().Rows; ++i) {
        std::string k = i % every == 0 ? RandomKeyword(rng) : std::string();
        for (int n = i % every == 0 ? 0 : static_cast<int>(rng() % 6); n > 0; --n)
            k += alphabet[rng() % alphabet.size()];
        table.Append({k, "", "", "", ""});
        keys.Append(k, key.emplace_back());
    }
    for (const bool ascending : {true, false}) {
        std::vector<std::size_t> expected(key.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
            return ascending ? key[a] < key[b] : key[a] > key[b];
        });
        EXPECT_EQ(vorlith::SortOrder(table, static_cast<int>(Column::Keywords), ascending, locale), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, AsciiRanks,
                         ::testing::Values(RankCase{"C", 4000, 50}, RankCase{"en_US", 4000, 50},
                                           RankCase{"fr_CA", 4000, 50}, RankCase{"da_DK", 4000, 50},
                                           RankCase{"tr_TR", 4000, 50}, RankCase{"sv_SE", 4000, 50},
                                           RankCase{"ja_JP", 4000, 50}, RankCase{"de_DE", 4000, 50},
                                           RankCase{"en_US", 120'000, 50}, RankCase{"de_DE", 120'000, 10}),
                         [](const auto& info) {
                             return std::string(info.param.Locale) + "_" + std::to_string(info.param.Rows) +
                                    "_" + std::to_string(info.param.OtherEvery);
                         });

} // namespace
} // namespace vorlith
