#include "workspace/ResultsExport.h"

#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlith {
namespace {

using test::ScriptedUi;
using Record = std::vector<std::string>;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// An RFC 4180 reader written apart from the writer: quoted fields, doubled quotes, CR LF records.
std::vector<Record> ReadCsv(const std::string& text) {
    std::vector<Record> records;
    Record record;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    throw std::runtime_error("unterminated quoted field");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r')
                field += text[i++];
        }
        record.push_back(std::move(field));
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
        } else if (text.compare(i, 2, "\r\n") == 0) {
            i += 2;
            records.push_back(std::move(record));
            record.clear();
        } else {
            throw std::runtime_error("stray character after a field at " + std::to_string(i));
        }
    }
    if (!record.empty())
        throw std::runtime_error("last record without CR LF");
    return records;
}

TEST(ResultsCsv, WorkedExampleGivesExactlyTheseBytes) {
    KeywordTable table;
    table.Append({"golf clubs", "1,234", "985", "", "77"});
    table.Append({"soccer", "", "", "", ""});
    EXPECT_EQ(ResultsCsv(table), "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n"
                                 "\"1\",\"golf clubs\",\"1,234\",\"985\",\"\",\"77\"\r\n"
                                 "\"2\",\"soccer\",\"\",\"\",\"\",\"\"\r\n");
}

struct FieldCase {
    const char* Name;
    std::string Value;
    std::string Written;
};

class CsvField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CsvField, IsQuotedWithInnerQuotesDoubled) {
    KeywordTable table;
    table.Append({GetParam().Value, "", "", "", ""});
    const std::string csv = ResultsCsv(table);
    const std::string line = csv.substr(csv.find("\r\n") + 2);
    EXPECT_EQ(line, "\"1\"," + GetParam().Written + ",\"\",\"\",\"\",\"\"\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, CsvField,
    ::testing::Values(
        FieldCase{"Plain", "golf", "\"golf\""},
        FieldCase{"CommaStaysInside", "golf, soccer", "\"golf, soccer\""},
        FieldCase{"Quote", "golf \"pro\"", "\"golf \"\"pro\"\"\""}, FieldCase{"OnlyAQuote", "\"", "\"\"\"\""},
        FieldCase{"Empty", "", "\"\""}, FieldCase{"SpacesKept", "  golf  ", "\"  golf  \""},
        FieldCase{"BreaksKept", "a\r\nb\nc", "\"a\r\nb\nc\""},
        FieldCase{"BytesKept", "caf\xe9 \xff", "\"caf\xe9 \xff\""},
        // A spreadsheet runs these as formulas: a quote makes them text.
        FieldCase{"FormulaEquals", "=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        FieldCase{"FormulaPlus", "+1+2", "\"'+1+2\""}, FieldCase{"FormulaMinus", "-2+3", "\"'-2+3\""},
        FieldCase{"FormulaAt", "@SUM(A1)", "\"'@SUM(A1)\""}, FieldCase{"LeadingTab", "\t=1", "\"'\t=1\""},
        FieldCase{"LeadingCr", "\r=1", "\"'\r=1\""},
        FieldCase{"SignInsideKept", "golf -clubs =+@", "\"golf -clubs =+@\""},
        FieldCase{"LeadingSpaceKept", " =1", "\" =1\""},
        // A plain number runs nothing and keeps its sign; a word after the sign does not.
        FieldCase{"NegativeNumber", "-5", "\"-5\""}, FieldCase{"SignedGrouped", "+1,234.50", "\"+1,234.50\""},
        FieldCase{"SignedWord", "-golf", "\"'-golf\""}, FieldCase{"TrailingComma", "-1,", "\"'-1,\""},
        FieldCase{"TwoPoints", "-1.2.3", "\"'-1.2.3\""}, FieldCase{"BarePoint", "-1.", "\"'-1.\""},
        FieldCase{"SignAlone", "-", "\"'-\""}),
    [](const auto& info) { return info.param.Name; });

struct ExtensionCase {
    const char* Typed;
    const char* Saved;
};

class CsvExtensionRule : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(CsvExtensionRule, AppendsCsvUnlessTheExtensionIsCsvInAnyCase) {
    EXPECT_EQ(WithCsvExtension(GetParam().Typed), GetParam().Saved);
}

INSTANTIATE_TEST_SUITE_P(Table, CsvExtensionRule,
                         ::testing::Values(ExtensionCase{"/d/report", "/d/report.csv"},
                                           ExtensionCase{"/d/report.csv", "/d/report.csv"},
                                           ExtensionCase{"/d/report.CSV", "/d/report.CSV"},
                                           ExtensionCase{"/d/report.Csv", "/d/report.Csv"},
                                           ExtensionCase{"/d/report.txt", "/d/report.txt.csv"},
                                           ExtensionCase{"/d/report.csv.txt", "/d/report.csv.txt.csv"},
                                           ExtensionCase{"/d/report.csvx", "/d/report.csvx.csv"},
                                           ExtensionCase{"/d/report.", "/d/report..csv"},
                                           ExtensionCase{"/d.csv/report", "/d.csv/report.csv"},
                                           ExtensionCase{"/d/.csv", "/d/.csv"},
                                           ExtensionCase{"report", "report.csv"}));

class SaveResultsCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ws.table.Append({"golf clubs", "1,234", "985", "", "77"});
        ws.table.Append({"soccer", "", "", "", ""});
    }
    std::string In(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    QStringList Entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    ScriptedUi ui;
    Workspace ws{ui, "/opt/vorlith"};
};

TEST_F(SaveResultsCommand, EmptyTableShowsTheMessageAndNoDialog) {
    ws.table.DeleteAll();
    ui.AnswerMessage(std::string(NoDataToSaveMessage));
    SaveResults(ws);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages[0].Buttons, MessageButtons::Ok);
    EXPECT_TRUE(ui.SaveDialogStarts.empty());
}

TEST_F(SaveResultsCommand, CancelWritesAndShowsNothing) {
    ui.AnswerSaveFile(std::nullopt);
    SaveResults(ws);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_TRUE(ui.StatusLog.empty());
    EXPECT_TRUE(Entries().isEmpty());
    EXPECT_EQ(ws.SaveDialogFileName, "");
}

TEST_F(SaveResultsCommand, SavesAppendsCsvAndReopensWhereTheLastFileWasAndReplacesWithoutAQuestion) {
    ui.AnswerSaveFile(In("report")).AnswerSaveFile(In("report.csv"));
    SaveResults(ws);
    ws.table.SetCell(1, 2, "12");
    SaveResults(ws);
    ASSERT_EQ(ui.SaveDialogStarts.size(), 2u);
    EXPECT_EQ(ui.SaveDialogStarts[0], (std::pair<std::string, std::string>{"/opt/vorlith/", ""}));
    EXPECT_EQ(ui.SaveDialogStarts[1],
              (std::pair<std::string, std::string>{dir.path().toStdString() + "/", "report.csv"}));
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_TRUE(ui.StatusLog.empty());
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("report.csv")}); // no temporary file left
    EXPECT_EQ(Slurp(In("report.csv")), ResultsCsv(ws.table));
    EXPECT_NE(Slurp(In("report.csv")).find("\"soccer\",\"\",\"12\""), std::string::npos);
}

TEST_F(SaveResultsCommand, RoundTripThroughAnRfc4180ReaderGivesTheSameCells) {
    ws.table.Append({"say \"hi\", \"bye\"", "a\r\nb", "\"", "\xc3\xa9t\xc3\xa9 \xff\x01", ",,"});
    ws.table.Append({"line\nbreak\rcr", "\"\"", " ", "", "end\""});
    ui.AnswerSaveFile(In("round.csv"));
    SaveResults(ws);
    const auto records = ReadCsv(Slurp(In("round.csv")));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0], (Record{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"}));
    for (int r = 0; r < 4; ++r) {
        Record expected{ws.table.Caption(r)};
        for (const auto& cell : ws.table.Row(r).Cell)
            expected.push_back(cell);
        EXPECT_EQ(records[static_cast<std::size_t>(r) + 1], expected) << "row " << r;
    }
}

TEST_F(SaveResultsCommand, ReplacingKeepsTheFileModeAndWritesThroughALink) {
    const std::string real = In("real.csv");
    Put(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(real.c_str(), In("link.csv").c_str()), 0);
    ui.AnswerSaveFile(In("link.csv"));
    SaveResults(ws);
    struct stat info {};
    ASSERT_EQ(::lstat(In("link.csv").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Slurp(real), ResultsCsv(ws.table));
}

struct FailureCase {
    const char* Name;
    const char* Target; // under the test folder
    const char* Reason;
};

class SaveFailure : public SaveResultsCommand, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SaveFailure, WarnsWithTheFileAndTheReasonAndLeavesNothingBehind) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    const std::string path = In(GetParam().Target);
    ui.AnswerSaveFile(path).AnswerMessage(SaveFailedMessage(path, GetParam().Reason));
    SaveResults(ws);
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Warning);
    EXPECT_EQ(ui.Messages[0].Buttons, MessageButtons::Ok);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("taken.csv")});
    EXPECT_EQ(ws.table.RowCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Table, SaveFailure,
                         ::testing::Values(FailureCase{"FolderMissing", "gone/report.csv",
                                                       "No such file or directory"},
                                           FailureCase{"TargetIsAFolder", "taken.csv", "Is a directory"}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(SaveResultsCommand, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
    const std::string path = In("results.csv");
    Put(path, "old content\r\n");
    for (int i = 0; i < 200; ++i)
        ws.table.AppendKeyword("a keyword long enough to pass the limit " + std::to_string(i));
    // The process may write 4 KiB per file: the new table is bigger, so its write fails.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ui.AnswerSaveFile(path).AnswerMessage(SaveFailedMessage(path, "File too large"));
    SaveResults(ws);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(Slurp(path), "old content\r\n");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("results.csv")});
}

// For root too, although root could write it.
TEST_F(SaveResultsCommand, AReadOnlyFileIsNotReplaced) {
    const std::string path = In("locked.csv");
    Put(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ui.AnswerSaveFile(path).AnswerMessage(SaveFailedMessage(path, "Permission denied"));
    SaveResults(ws);
    EXPECT_EQ(Slurp(path), "old");
}

// The longest name a Linux file system takes: the temporary beside it must still fit.
TEST_F(SaveResultsCommand, TheLongestLegalNameIsSaved) {
    const std::string name = std::string(251, 'k') + ".csv";
    const std::string path = In(name.c_str());
    ui.AnswerSaveFile(path);
    SaveResults(ws);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(Slurp(path), ResultsCsv(ws.table));
    EXPECT_EQ(Entries().size(), 1);
}

// A save killed halfway leaves its temporary; the next save of that file removes it, and leaves
// other files' temporaries alone.
TEST_F(SaveResultsCommand, TheNextSaveRemovesWhatAKilledSaveLeft) {
    const std::string path = In("results.csv");
    for (int i = 0; i < 200; ++i)
        ws.table.AppendKeyword("a keyword long enough to pass the limit " + std::to_string(i));
    const std::string csv = ResultsCsv(ws.table);
    for (const std::string& target : {path, In("other.csv")}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Killed by SIGXFSZ in the middle of writing the temporary.
            rlimit small{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &small);
            std::signal(SIGXFSZ, SIG_DFL);
            try {
                WriteFileReplacing(target, csv);
            } catch (...) {
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    ASSERT_EQ(Entries().size(), 2); // the two temporaries
    ui.AnswerSaveFile(path);
    SaveResults(ws);
    EXPECT_EQ(Slurp(path), csv);
    const QStringList left = Entries();
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left.contains(QStringLiteral("results.csv")));
}

} // namespace
} // namespace vorlith

namespace vorlith {
namespace {

// An installed copy's program folder is hidden: its dialogs open where users look for files.
class FirstSaveDialog : public ::testing::TestWithParam<std::tuple<bool, bool, const char*>> {};

TEST_P(FirstSaveDialog, OpensWhereUsersLookForTheirFiles) {
    const auto [installed, documents, expected] = GetParam(); // expected: under HOME, or "/opt/..."
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    if (documents)
        QDir(home.path()).mkdir(QStringLiteral("Documents"));
    ScriptedUi ui;
    Workspace ws(ui, ProgramFolders{installed, "/opt/vorlith/", {"/opt/vorlith/"}});
    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
    ws.table.Append({"golf", "", "", "", ""});
    ui.AnswerSaveFile(std::nullopt);
    SaveResults(ws);
    const std::string under = expected[0] == '/' ? "" : home.path().toStdString() + "/";
    EXPECT_EQ(ui.SaveDialogStarts.at(0).first, under + expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FirstSaveDialog,
                         ::testing::Values(std::tuple{true, true, "Documents/"}, std::tuple{true, false, ""},
                                           std::tuple{false, true, "/opt/vorlith/"}));

} // namespace
} // namespace vorlith
