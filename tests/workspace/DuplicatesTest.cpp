#include "workspace/Duplicates.h"

#include "support/ScriptedUi.h"
#include "workspace/ColumnSorting.h"
#include "workspace/KeywordTable.h"
#include "workspace/ListEditing.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace vorlith {
namespace {

using Lines = std::vector<std::string>;

Lines Keywords(const KeywordTable& table) {
    Lines out;
    for (int r = 0; r < table.RowCount(); ++r)
        out.emplace_back(table.Cell(r, 0));
    return out;
}

struct DedupeCase {
    const char* Name;
    const char* Locale;
    Lines In;
    Lines Kept;
};

class RemoveDuplicateRowsTable : public ::testing::TestWithParam<DedupeCase> {};

TEST_P(RemoveDuplicateRowsTable, KeepsTheFirstOfEqualKeywords) {
    const auto& c = GetParam();
    KeywordTable table;
    for (const auto& k : c.In)
        table.AppendKeyword(k);
    const std::size_t removed = RemoveDuplicateRows(table, QLocale(QString::fromLatin1(c.Locale)));
    EXPECT_EQ(Keywords(table), c.Kept);
    EXPECT_EQ(removed, c.In.size() - c.Kept.size());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RemoveDuplicateRowsTable,
    ::testing::Values(
        DedupeCase{"CaseIgnored", "en_US", {"Golf", "golf", "GOLF", "chess"}, {"Golf", "chess"}},
        DedupeCase{"CaseIgnoredInC", "C", {"Golf", "golf", "chess", "CHESS"}, {"Golf", "chess"}},
        DedupeCase{"BlanksAndPunctuationCount",
                   "en_US",
                   {"golf", "golf ", " golf", "go-lf", "golf"},
                   {"golf", "golf ", " golf", "go-lf"}},
        DedupeCase{"EmptyKeywordsAreEqual", "en_US", {"", "a", ""}, {"", "a"}},
        DedupeCase{"NonAsciiCaseIgnored",
                   "de_DE",
                   {"\xC3\x84rger", "\xC3\xA4rger", "arger"},
                   {"\xC3\x84rger", "arger"}},
        DedupeCase{"NonAsciiCaseIgnoredInC", "C", {"\xC3\x84rger", "\xC3\xA4rger"}, {"\xC3\x84rger"}},
        // Turkish tells dotless I from dotted i: the ASCII shortcut must not merge them.
        DedupeCase{"TurkishIAndiDiffer", "tr_TR", {"I", "i", "ii"}, {"I", "i", "ii"}},
        DedupeCase{"NoDuplicates", "en_US", {"a", "b", "c"}, {"a", "b", "c"}}),
    [](const auto& info) { return std::string(info.param.Name); });

// The set must agree with the Keywords column's comparison on random mixed-case words, on both
// of its roads (folded ASCII, collation keys).
TEST(KeywordSet, AgreesWithTheKeywordsComparison) {
    std::mt19937 rng(7);
    const std::vector<std::string> ascii{"a", "A", "b", "B", " ", "-", "i", "I"};
    std::vector<std::string> mixed = ascii;
    mixed.insert(mixed.end(), {"\xC3\xA9", "\xC3\x89"});
    for (const char* name : {"C", "en_US", "de_DE", "tr_TR"})
        for (const std::vector<std::string>* tokens :
             {&ascii, static_cast<const std::vector<std::string>*>(&mixed)}) {
            const QLocale locale(QString::fromLatin1(name));
            const QCollator collator = KeywordCollator(locale);
            KeywordSet set(locale, tokens == &ascii);
            std::vector<std::string> kept;
            for (int i = 0; i < 300; ++i) {
                std::string w;
                for (int n = static_cast<int>(rng() % 4); n > 0; --n)
                    w += (*tokens)[rng() % tokens->size()];
                bool seen = false;
                for (const auto& k : kept)
                    seen = seen || CompareKeywords(collator, k, w) == 0;
                EXPECT_EQ(set.Insert(w), !seen) << name << " \"" << w << '"';
                if (!seen)
                    kept.push_back(w);
            }
            EXPECT_EQ(set.Size(), kept.size());
        }
}

// A table large enough to be hashed on two threads keeps what the collation keys keep.
TEST(RemoveDuplicateRows, LargeTableAgreesWithTheCollationKeys) {
    std::mt19937 rng(5);
    for (const char* name : {"C", "en_US"}) {
        const QLocale locale(QString::fromLatin1(name));
        KeywordTable table;
        KeywordSet keys(locale, false);
        Lines kept;
        for (int i = 0; i < 120000; ++i) {
            std::string w = std::to_string(rng() % 50000) + "golf@`[{";
            for (char& c : w)
                c = rng() % 2 ? static_cast<char>(std::toupper(c)) : c;
            table.AppendKeyword(w);
            if (keys.Insert(w))
                kept.push_back(w);
        }
        RemoveDuplicateRows(table, locale);
        EXPECT_EQ(Keywords(table), kept) << name;
    }
}

class RemoveDuplicatesCommand : public ::testing::Test {
protected:
    RemoveDuplicatesCommand() : ws(ui, folder.path().toStdString()) {}
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws;
};

TEST_F(RemoveDuplicatesCommand, SaysHowManyWentAndShowsTheCount) {
    for (const char* k : {"golf", "Golf", "chess", "GOLF"})
        ws.table.AppendKeyword(k);
    ws.table.SetChecked(1, true);
    ui.AnswerMessage(DuplicatesRemovedText(2));
    RemoveDuplicates(ws);
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_EQ(Keywords(ws.table), (Lines{"golf", "chess"}));
    EXPECT_EQ(ws.table.Caption(1), "3") << "rows keep their numbers";
    EXPECT_EQ(ws.SecondStatusText(), ItemCountText(2));
    EXPECT_NE(DuplicatesRemovedText(1), DuplicatesRemovedText(2));
}

struct ImportCase {
    const char* Name;
    std::string File;
    ImportOptions Options;
    Lines Already;
    Lines Added;
};

class ImportOptionsTable : public ::testing::TestWithParam<ImportCase> {};

TEST_P(ImportOptionsTable, LetThroughOnlyWhatTheyAllow) {
    const auto& c = GetParam();
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString());
    for (const auto& k : c.Already)
        ws.table.AppendKeyword(k);
    const std::string path = folder.filePath(QStringLiteral("list.txt")).toStdString();
    std::ofstream(path, std::ios::binary) << c.File;
    ui.AnswerAddKeywords(AddKeywordsAnswer{"", path, c.Options});
    AddKeywords(ws);
    Lines added = Keywords(ws.table);
    added.erase(added.begin(), added.begin() + static_cast<std::ptrdiff_t>(c.Already.size()));
    EXPECT_EQ(added, c.Added);
    // Numbers go on from the rows already there, without gaps for skipped lines.
    for (std::size_t i = 0; i < added.size(); ++i)
        EXPECT_EQ(ws.table.Caption(static_cast<int>(c.Already.size() + i)),
                  std::to_string(c.Already.size() + i + 1));
    if (!added.empty()) {
        EXPECT_EQ(ws.SecondStatusText(), TotalText(ws.table.RowCount()));
    }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Table, ImportOptionsTable,
    ::testing::Values(
        ImportCase{"AllOffKeepsLinesAsTheyStand", " a \r\n\r\nb\r\nb\r\n", {}, {}, {" a ", "", "b", "b"}},
        ImportCase{"TrimRemovesControlBytesToo",
                   " \ta\x01 \n\x1F\x7F b\n",
                   {true, false, false},
                   {},
                   {"a", "\x7F b"}},
        ImportCase{"TrimKeepsBlankLinesAsEmptyRows", "a\n  \nb\n", {true, false, false}, {}, {"a", "", "b"}},
        ImportCase{"SkipBlankWithoutTrimSkipsOnlyEmptyLines",
                   "a\n  \n\nb\n",
                   {false, true, false},
                   {},
                   {"a", "  ", "b"}},
        ImportCase{"TrimBeforeTheBlankTest", "a\n \t \n\nb\n", {true, true, false}, {}, {"a", "b"}},
        ImportCase{
            "SkipExistingIgnoresCase", "GOLF\nchess\nChess\n", {false, false, true}, {"golf"}, {"chess"}},
        ImportCase{
            "SkipExistingComparesTrimmedText", " golf \nsoccer\n", {true, false, true}, {"Golf"}, {"soccer"}},
        ImportCase{
            "SkipExistingWithoutTrimKeepsBlanksApart", " golf\n", {false, false, true}, {"golf"}, {" golf"}},
        ImportCase{"EverythingSkippedAddsNothing", "golf\n\n", {false, true, true}, {"golf"}, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ImportOptions, TypedTextStaysOneRowAndFollowsTheOptions) {
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws(ui, folder.path().toStdString());
    ws.table.AppendKeyword("golf");
    ui.AnswerAddKeywords(AddKeywordsAnswer{"  chess, go \n", "", {true, true, true}});
    AddKeywords(ws);
    ui.AnswerAddKeywords(AddKeywordsAnswer{"GOLF", "", {false, false, true}});
    AddKeywords(ws);
    ui.AnswerAddKeywords(AddKeywordsAnswer{"   ", "", {true, true, false}});
    AddKeywords(ws);
    EXPECT_EQ(Keywords(ws.table), (Lines{"golf", "chess, go"}));
    EXPECT_EQ(ws.SecondStatusText(), ItemCountText(2));
}

} // namespace
} // namespace vorlith
