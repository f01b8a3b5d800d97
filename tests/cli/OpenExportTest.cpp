// vorlith-cli's --open and --save-xlsx, run in-process; the workbook is read back by openpyxl.
#include "CliCapture.h"
#include "cli/CommandTable.h"

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace vorlith::cli {
namespace {

class OpenExportCli : public ::testing::Test {
protected:
    OpenExportCli() {
        RegisterGeneralCommands(table);
        RegisterTableCommands(table);
    }
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", folder.path().toStdString()});
        return RunCli(table, std::move(args));
    }
    std::string In(const char* name) const {
        return folder.filePath(QString::fromLatin1(name)).toStdString();
    }
    std::string Write(const char* name, const std::string& bytes) {
        std::ofstream(In(name), std::ios::binary) << bytes;
        return In(name);
    }
    static std::string Read(const std::string& path) {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }

    CommandTable table;
    QTemporaryDir folder;
};

const char* const Sample = "Query,Google,Clicks,Searches\n"
                           "golf,\"1,234\",x,-5\n"
                           "-golf,12345678901234567,,007\n"
                           "=1+1,+3,,1.5\n"
                           "\"two\nlines\",1,2,3\n";

TEST_F(OpenExportCli, OpenThenSaveGivesTheSameBytesAndBrokenFilesNameTheLine) {
    const std::string first = In("first.csv");
    auto run = Cli({"--open", Write("in.csv", Sample), "--save", first});
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Cli({"--open", first, "--save", "-"});
    EXPECT_EQ(run.Out, Read(first));
    run = Cli({"--add", "kept", "--open", Write("bad.csv", "Keyword,Google\na,1\nb,2,3\n"), "--save", "-"});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_NE(run.Err.find(": line 3: the row has 3 fields where the header has 2."), std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Out, "");
}

TEST_F(OpenExportCli, TheWorkbookHoldsNumbersAsNumbersAndTextAsText) {
    const std::string xlsx = In("out.xlsx");
    const auto run = Cli({"--open", Write("in.csv", Sample), "--save-xlsx", In("out")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    QProcess python;
    python.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import openpyxl,sys\n"
                        "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                        "print(ws.freeze_panes, ws['A1'].font.b, ws.column_dimensions['B'].width > 8)\n"
                        "for row in ws.iter_rows(values_only=True): print(repr(row))\n"),
         QString::fromStdString(xlsx)});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.readAllStandardOutput().toStdString(),
              "A2 True True\n"
              "('No', 'Keywords', 'Searches', 'Google', 'Yahoo', 'Msn')\n"
              "(1, 'golf', -5, 1234, None, None)\n"
              "(2, '-golf', 7, '12345678901234567', None, None)\n"
              "(3, '=1+1', '1.5', '+3', None, None)\n"
              "(4, 'two\\nlines', 3, 1, None, None)\n")
        << python.readAllStandardError().toStdString();
}

} // namespace
} // namespace vorlith::cli
