#include "workspace/ListEditing.h"

#include "support/ScriptedUi.h"
#include "text/UUtils.h"
#include "workspace/Workspace.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith {
namespace {

using test::ScriptedUi;
using Lines = std::vector<std::string>;

Lines Keywords(const KeywordTable& table) {
    Lines out;
    for (const auto& row : table.Rows())
        out.push_back(row.Cell[0]);
    return out;
}

Lines Captions(const KeywordTable& table) {
    Lines out;
    for (const auto& row : table.Rows())
        out.push_back(row.Caption);
    return out;
}

struct SplitCase {
    const char* Name;
    std::string Text;
    Lines Expected;
};

class KeywordLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(KeywordLines, SplitAtEveryKindOfBreak) {
    const auto& c = GetParam();
    const auto lines = SplitKeywordLines(c.Text);
    EXPECT_EQ(Lines(lines.begin(), lines.end()), c.Expected);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Table, KeywordLines,
    ::testing::Values(SplitCase{"CrLf", "a\r\n\r\nc\r\n", {"a", "", "c"}},
                      SplitCase{"Lf", "a\n\nc\n", {"a", "", "c"}},
                      SplitCase{"Cr", "a\r\rc\r", {"a", "", "c"}},
                      SplitCase{"MixedBreaks", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
                      SplitCase{"LfThenCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}},
                      SplitCase{"CrThenCrLf", "\r\r\n", {"", ""}},
                      SplitCase{"NoFinalBreak", "golf\nsoccer", {"golf", "soccer"}},
                      SplitCase{"Empty", "", {}}, SplitCase{"OnlyABreak", "\r\n", {""}},
                      SplitCase{"NothingTrimmedOrSplitOrDeduplicated",
                                " golf, soccer \t\ngolf\ngolf\n",
                                {" golf, soccer \t", "golf", "golf"}},
                      SplitCase{"NulEndsTheList", "a\nb\0c\nd"s, {"a", "b"}},
                      SplitCase{"NulAfterABreak", "a\n\0b"s, {"a"}}, SplitCase{"NulFirst", "\0a\n"s, {}},
                      SplitCase{"BytesKeptAsTheyAre", "caf\xe9\n\xff\xfe", {"caf\xe9", "\xff\xfe"}}),
    [](const auto& info) { return info.param.Name; });

class ListEditing : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    void AddRows(int count) {
        for (int i = 0; i < count; ++i)
            ws.table.AppendKeyword("k" + std::to_string(i + 1));
    }

    QTemporaryDir dir;
    ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
};

TEST_F(ListEditing, TypedKeywordIsOneRowAsTypedAndShowsTheItemCount) {
    ui.AnswerAddKeywords(AddKeywordsAnswer{" golf, soccer ", ""});
    AddKeywords(ws);
    ASSERT_EQ(ws.table.RowCount(), 1);
    EXPECT_EQ(ws.table.Cell(0, 0), " golf, soccer ");
    for (int cell = 1; cell < CellCount; ++cell)
        EXPECT_EQ(ws.table.Cell(0, cell), "");
    EXPECT_FALSE(ws.table.Checked(0));
    EXPECT_EQ(ws.SecondStatusText(), "1 items listed");
    EXPECT_EQ(ui.Status[StatusPanel::Second], "1 items listed");
}

TEST_F(ListEditing, TypedKeywordAfterADeletionIsNumberedByTheRowCount) {
    AddRows(3);
    ws.table.Delete(0);
    ui.AnswerAddKeywords(AddKeywordsAnswer{"tennis", ""});
    AddKeywords(ws);
    EXPECT_EQ(Captions(ws.table), (Lines{"2", "3", "3"}));
    EXPECT_EQ(ws.SecondStatusText(), "3 items listed");
}

TEST_F(ListEditing, CancelOrTwoEmptyBoxesOrAMissingFileChangeNothing) {
    AddRows(2);
    const std::string gone = Write("gone.txt", "a\n");
    ASSERT_EQ(::unlink(gone.c_str()), 0);
    ui.AnswerAddKeywords(std::nullopt)
        .AnswerAddKeywords(AddKeywordsAnswer{"", ""})
        .AnswerAddKeywords(AddKeywordsAnswer{"", gone});
    for (int i = 0; i < 3; ++i)
        AddKeywords(ws);
    ImportKeywordFile(ws, dir.path().toStdString()); // a folder is no file
    EXPECT_EQ(ws.table.RowCount(), 2);
    EXPECT_TRUE(ui.StatusLog.empty());
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(ListEditing, ImportAppendsAfterTheRowsThereNumberingOnAndShowsTheTotal) {
    AddRows(3);
    ws.table.Delete(0); // rows 2, 3: the import numbers from the row count, 2
    ui.AnswerAddKeywords(AddKeywordsAnswer{"", Write("list.txt", "a\r\n\r\nc\r\n")});
    AddKeywords(ws);
    EXPECT_EQ(Keywords(ws.table), (Lines{"k2", "k3", "a", "", "c"}));
    EXPECT_EQ(Captions(ws.table), (Lines{"2", "3", "3", "4", "5"}));
    EXPECT_EQ(ws.SecondStatusText(), "Total: 5");
    EXPECT_EQ(ui.Status[StatusPanel::Second], "Total: 5");
}

// The file is read in pieces of a mebibyte: whatever straddles a piece's end gives the rows the
// whole text gives.
struct PieceCase {
    const char* Name;
    std::size_t Before; // bytes of short lines before the tail, counted back from the piece's end
    std::string Tail;
};

class ImportInPieces : public ::testing::TestWithParam<PieceCase> {};

TEST_P(ImportInPieces, GivesTheRowsOfTheWholeText) {
    QTemporaryDir dir;
    std::string text;
    while (text.size() + 5 <= (std::size_t{1} << 20) - GetParam().Before)
        text += "golf\n";
    text.append((std::size_t{1} << 20) - GetParam().Before - text.size(), 'x');
    text += GetParam().Tail;
    const std::string path = dir.path().toStdString() + "/list.txt";
    std::ofstream(path, std::ios::binary) << text;
    KeywordTable table;
    table.AppendKeyword("first");
    const std::size_t added = AppendKeywordFile(table, path, ImportOptions{.Trim = true});
    EXPECT_EQ(added, static_cast<std::size_t>(table.RowCount() - 1));
    Lines expected{"first"};
    for (const std::string_view line : SplitKeywordLines(text))
        expected.emplace_back(TrimControls(line));
    EXPECT_EQ(Keywords(table), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImportInPieces,
    ::testing::Values(PieceCase{"CrLfAcross", 1, "\r\nb\n"}, PieceCase{"CrAtTheEnd", 1, "\rb"},
                      PieceCase{"CrCrAcross", 1, "\r\rb"}, PieceCase{"LfAtTheEnd", 1, "\nb\r\n"},
                      PieceCase{"LineLongerThanAPiece", 3, std::string(3 << 20, 'k') + "\r\nend"},
                      PieceCase{"NulInTheSecondPiece", 2, "a\nb\0c\nd"s}, PieceCase{"NoBreakAtAll", 0, " z "},
                      PieceCase{"EndsAtThePiece", 0, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(KeywordPieces, AFailingPieceAddsNoRowAndNoNotice) {
    KeywordTable table;
    table.AppendKeyword("kept");
    QSignalSpy appended(&table, &KeywordTable::RowsAppended);
    int pieces = 0;
    EXPECT_THROW(table.AppendKeywordPieces(4, 64,
                                           [&](std::vector<std::string_view>& lines) {
                                               if (pieces++ > 0)
                                                   throw std::runtime_error("read failed");
                                               lines = {"a", "b"};
                                               return true;
                                           }),
                 std::runtime_error);
    EXPECT_EQ(Keywords(table), Lines{"kept"});
    EXPECT_EQ(appended.count(), 0);
    table.AppendKeyword("next");
    EXPECT_EQ(Keywords(table), (Lines{"kept", "next"}));
}

TEST_F(ListEditing, ImportOfAnEmptyFileOrOneStartingWithNulAddsNothingAndShowsNothing) {
    for (const std::string& bytes : {""s, "\0golf\n"s}) {
        ImportKeywordFile(ws, Write("empty.txt", bytes));
        EXPECT_EQ(ws.table.RowCount(), 0);
        EXPECT_TRUE(ui.StatusLog.empty());
        EXPECT_EQ(ws.SecondStatusText(), "0 item listed");
    }
}

TEST_F(ListEditing, ImportOfAFileThatCannotBeReadThrowsWithItsFullNameAndTheReason) {
    const std::string fifo = dir.filePath(QStringLiteral("pipe.txt")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        ImportKeywordFile(ws, fifo);
        FAIL() << "a pipe was read as a keyword list";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + fifo + "\". Not a regular file");
    }
    if (::geteuid() != 0) {
        const std::string locked = Write("locked.txt", "a\n");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        EXPECT_THROW(ImportKeywordFile(ws, locked), std::runtime_error);
    }
    EXPECT_EQ(ws.table.RowCount(), 0);
    EXPECT_TRUE(ui.StatusLog.empty());
}

TEST_F(ListEditing, SelectAllAndClearSelectionTickEveryRowAndLeaveTheStatusAlone) {
    AddRows(4);
    ws.table.SetChecked(2, true);
    SelectAll(ws);
    for (int r = 0; r < 4; ++r)
        EXPECT_TRUE(ws.table.Checked(r)) << r;
    ClearSelection(ws);
    for (int r = 0; r < 4; ++r)
        EXPECT_FALSE(ws.table.Checked(r)) << r;
    EXPECT_TRUE(ui.StatusLog.empty());
}

struct DeleteCase {
    const char* Name;
    bool All; // Delete All instead of Delete Selected
    int Rows;
    std::vector<int> Ticked;
    int Answer;
    Lines Left;
    std::string Status;
};

class Deletion : public ListEditing, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Deletion, AsksFirstAndAlwaysRefreshesTheItemCount) {
    const auto& c = GetParam();
    AddRows(c.Rows);
    for (int r : c.Ticked)
        ws.table.SetChecked(r, true);
    ui.AnswerMessage(std::string(c.All ? DeleteAllQuestion : DeleteSelectedQuestion), c.Answer);
    c.All ? DeleteAll(ws) : DeleteSelected(ws);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages[0].Buttons, MessageButtons::OkCancel);
    EXPECT_EQ(Captions(ws.table), c.Left);
    EXPECT_EQ(ui.Status[StatusPanel::Second], c.Status);
    int ticked = 0;
    for (const auto& row : ws.table.Rows())
        ticked += row.Checked;
    // A cancelled question keeps the ticks; an accepted Delete Selected leaves none.
    EXPECT_EQ(ticked, c.Answer == mrOk ? 0 : static_cast<int>(c.Ticked.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Deletion,
    ::testing::Values(
        DeleteCase{"SecondAndFourthOfFive", false, 5, {1, 3}, mrOk, {"1", "3", "5"}, "3 items listed"},
        DeleteCase{
            "SelectedCancelled", false, 5, {1, 3}, mrCancel, {"1", "2", "3", "4", "5"}, "5 items listed"},
        DeleteCase{"NothingTicked", false, 3, {}, mrOk, {"1", "2", "3"}, "3 items listed"},
        DeleteCase{"EveryRowTicked", false, 3, {0, 1, 2}, mrOk, {}, "0 items listed"},
        DeleteCase{"FirstAndLast", false, 4, {0, 3}, mrOk, {"2", "3"}, "2 items listed"},
        DeleteCase{"SelectedOnAnEmptyTableStillAsks", false, 0, {}, mrOk, {}, "0 items listed"},
        DeleteCase{"All", true, 3, {1}, mrOk, {}, "0 items listed"},
        DeleteCase{"AllCancelled", true, 3, {1}, mrCancel, {"1", "2", "3"}, "3 items listed"}),
    [](const auto& info) { return info.param.Name; });

TEST_F(ListEditing, RowsAddedAfterDeleteSelectedAreNumberedByTheNewCount) {
    AddRows(5);
    ws.table.SetChecked(1, true);
    ws.table.SetChecked(3, true);
    ui.AnswerMessage(std::string(DeleteSelectedQuestion), mrOk);
    DeleteSelected(ws);
    ImportKeywordFile(ws, Write("two.txt", "x\ny"));
    EXPECT_EQ(Captions(ws.table), (Lines{"1", "3", "5", "4", "5"}));
    EXPECT_FALSE(ws.table.Checked(3));
}

} // namespace
} // namespace vorlith
