#include "workspace/ResultsImport.h"

#include "support/ScriptedUi.h"
#include "workspace/KeywordTable.h"
#include "workspace/ResultsExport.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vorlith {
namespace {

TEST(OpenResults, ASavedFileComesBackByteForByte) {
    KeywordTable saved;
    for (const char* k : {"golf", "-golf", "=1+1", "@home", "say \"hi\", then", "two\r\nlines", "'=x", ""})
        saved.Append({k, "-5", "1,200", "+3.5", "'quoted"});
    saved.Delete(0); // numbers need not be 1..n in the table, only in the file
    const std::string file = ResultsCsv(saved);
    KeywordTable reopened;
    ASSERT_EQ(AppendResultsText(reopened, file), 7u);
    KeywordTable numbered;
    for (int r = 0; r < saved.RowCount(); ++r) {
        Cells cells;
        for (int c = 0; c < CellCount; ++c)
            cells[static_cast<std::size_t>(c)] = std::string(saved.Cell(r, c));
        numbered.Append(cells);
    }
    EXPECT_EQ(ResultsCsv(reopened), ResultsCsv(numbered));
    EXPECT_EQ(reopened.Cell(0, 0), "-golf");
    EXPECT_EQ(reopened.Cell(3, 0), "say \"hi\", then");
}

struct ReadCase {
    const char* Name;
    std::string Text;
    std::vector<std::vector<std::string>> Rows; // Keywords, Searches, Google, Yahoo, Msn
    std::string Error;                          // else the message
};

class ReadText : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadText, ReadsOrRefusesWithTheLine) {
    const ReadCase& c = GetParam();
    KeywordTable table;
    table.AppendKeyword("already here");
    if (!c.Error.empty()) {
        try {
            AppendResultsText(table, c.Text);
            ADD_FAILURE() << "no error";
        } catch (const ResultsFileError& e) {
            EXPECT_EQ(e.what(), c.Error);
        }
        EXPECT_EQ(table.RowCount(), 1);
        return;
    }
    AppendResultsText(table, c.Text);
    ASSERT_EQ(static_cast<std::size_t>(table.RowCount()), c.Rows.size() + 1);
    for (std::size_t r = 0; r < c.Rows.size(); ++r) {
        EXPECT_EQ(table.Number(static_cast<int>(r + 1)), r + 2);
        for (std::size_t f = 0; f < c.Rows[r].size(); ++f)
            EXPECT_EQ(table.Cell(static_cast<int>(r + 1), static_cast<int>(f)), c.Rows[r][f])
                << r << "," << f;
    }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Table, ReadText,
    ::testing::Values(
        ReadCase{"TsvWithQueryAndCaptionsInAnyCaseAndOrder",
                 "Clicks\tgoogle\tQUERY\nx\t12\tgolf\n",
                 {{"golf", "", "12", "", ""}},
                 ""},
        ReadCase{"CsvWithBomCrLfAndBlankLines",
                 "\xEF\xBB\xBFKeyword,Searches\r\n\r\nsalsa,9\r\n",
                 {{"salsa", "9", "", "", ""}},
                 ""},
        ReadCase{
            "OtherToolsKeepTheirQuote", "Keywords,Msn\n'-golf,'-5\n", {{"'-golf", "", "", "", "'-5"}}, ""},
        ReadCase{"HeaderOnly", "Keywords\n", {}, ""},
        ReadCase{"RaggedRow",
                 "Keyword,Searches\na,1\nb\n",
                 {},
                 "line 3: the row has 1 fields where the header has 2"},
        ReadCase{"UnterminatedQuote", "Keyword\na\n\"b\nc\n", {}, "line 3: a quoted field is not closed"},
        ReadCase{"TextAfterQuote", "Keyword\n\"a\"b\n", {}, "line 2: text follows a closing quote"},
        ReadCase{"NotText", "Keyword\na\nb\0c\n"s, {}, "line 3: this is not a text file"},
        ReadCase{"NoKeywordColumn",
                 "Term,Searches\na,1\n",
                 {},
                 "line 1: the header names no Keyword, Keywords or Query column"},
        ReadCase{"Empty", "", {}, "line 1: the file is empty"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(OpenResults, FilesThatAreNotPlainBoundedFilesAreRefusedAtOnce) {
    test::ScriptedUi ui;
    Workspace ws{ui, "/tmp"};
    QTemporaryDir dir;
    const std::string fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.filePath(QStringLiteral("huge.csv")).toStdString();
    std::ofstream(huge) << "Keyword\n";
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(OpenResultsMaxBytes + 1)), 0);
    for (const auto& [path, reason] : std::vector<std::pair<std::string, std::string>>{
             {fifo, "this is not a regular file"},
             {huge, "the file is larger than 256 MiB"},
             {dir.filePath(QStringLiteral("missing.csv")).toStdString(), "No such file or directory"}})
        EXPECT_EQ(OpenResultsFrom(ws, path).value_or(""), "Could not open \"" + path + "\": " + reason + ".");
    EXPECT_EQ(ws.table.RowCount(), 0);
    EXPECT_FALSE(ws.History.CanUndo());
}

} // namespace
} // namespace vorlith
