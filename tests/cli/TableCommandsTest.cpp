// vorlith-cli's table commands, run in-process.
#include "CliCapture.h"
#include "cli/CommandTable.h"

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace vorlith::cli {
namespace {

class TableCli : public ::testing::Test {
protected:
    TableCli() {
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

    CommandTable table;
    QTemporaryDir folder;
};

constexpr const char* Header = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";

std::string Line(const char* no, const char* keyword) {
    return std::string("\"") + no + "\",\"" + keyword + "\",\"\",\"\",\"\",\"\"\r\n";
}

TEST_F(TableCli, AddedAndImportedRowsGoToStandardOutputAsCsv) {
    const std::string list = Write("list.txt", "banana\r\n\r\nApple\r\n");
    const auto run = Cli({"--add", "golf, \"soccer\"", "--keywords", list, "--save", "-"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Header + Line("1", "golf, \"\"soccer\"\"") + Line("2", "banana") + Line("3", "") +
                           Line("4", "Apple"));
}

TEST_F(TableCli, SortClicksFollowTheHeaderRulesByIndexOrName) {
    const std::string list = Write("list.txt", "b\nc\na\n");
    auto run = Cli({"--keywords", list, "--sort", "keywords", "--save", "-"});
    EXPECT_EQ(run.Out, Header + Line("3", "a") + Line("1", "b") + Line("2", "c"));
    run = Cli({"--keywords", list, "--sort", "1", "--sort", "Keywords", "--save", "-"});
    EXPECT_EQ(run.Out, Header + Line("2", "c") + Line("1", "b") + Line("3", "a"));
    run = Cli({"--keywords", list, "--sort", "0", "--save", "-"}); // ascending at the first click
    EXPECT_EQ(run.Out, Header + Line("1", "b") + Line("2", "c") + Line("3", "a"));
    run = Cli({"--sort", "Clicks"});
    EXPECT_EQ(run.Status, ExitUsage);
}

TEST_F(TableCli, DeletionsAskAndOnlyYesAnswersOk) {
    const std::string list = Write("list.txt", "a\nb\n");
    auto run = Cli({"--keywords", list, "--select-all", "--delete-selected", "--save", "-"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, Header + Line("1", "a") + Line("2", "b"));
    EXPECT_NE(run.Err.find("Are you sure do you want to delete the selected keywords?"), std::string::npos);
    run = Cli({"--yes", "--keywords", list, "--select-all", "--clear-selection", "--delete-selected",
               "--save", "-"});
    EXPECT_EQ(run.Out, Header + Line("1", "a") + Line("2", "b"));
    run = Cli({"--yes", "--keywords", list, "--select-all", "--delete-selected", "--save", "-"});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find("Information: You don't have any data to save."), std::string::npos);
    run = Cli({"--yes", "--keywords", list, "--delete-all", "--add", "z", "--save", "-"});
    EXPECT_EQ(run.Out, Header + Line("1", "z"));
}

TEST_F(TableCli, SaveToAFileAppendsCsvAndAFailureExitsWithOneNamingTheFile) {
    auto run = Cli({"--add", "golf", "--save", In("out")});
    EXPECT_EQ(run.Status, 0) << run.Err;
    std::ifstream in(In("out.csv"), std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), Header + Line("1", "golf"));
    const std::string gone = In("gone/out.csv");
    run = Cli({"--add", "golf", "--save", gone});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_NE(run.Err.find("Warning: Cannot save file \"" + gone + "\". No such file or directory"),
              std::string::npos);
}

TEST_F(TableCli, AMissingKeywordFileIsRefusedAsTheDialogWould) {
    const auto run = Cli({"--keywords", In("none.txt"), "--save", "-"});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_NE(run.Err.find("Please select a valid file."), std::string::npos);
}

TEST_F(TableCli, FilterAppliesToSaveShownOnlyAndDuplicatesGo) {
    const std::string list = Write("list.txt", "Golf\nchess\ngolf\nmini GOLF\n");
    auto run = Cli({"--keywords", list, "--filter", "golf", "--save-shown", "-", "--save", "-"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Header + Line("1", "Golf") + Line("3", "golf") + Line("4", "mini GOLF") + Header +
                           Line("1", "Golf") + Line("2", "chess") + Line("3", "golf") +
                           Line("4", "mini GOLF"));
    run = Cli({"--keywords", list, "--remove-duplicates", "--sort", "1", "--save", "-"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Header + Line("2", "chess") + Line("1", "Golf") + Line("4", "mini GOLF"));
    EXPECT_NE(run.Err.find("1 duplicate keyword removed."), std::string::npos) << run.Err;
    // A filter that shows nothing has nothing to save.
    run = Cli({"--keywords", list, "--filter", "tennis", "--save-shown", "-"});
    EXPECT_EQ(run.Status, ExitFailed);
    EXPECT_EQ(run.Out, "");
}

// Corrected: the options used to hold only for later imports, so the README's own example trimmed
// nothing and nothing warned.
TEST_F(TableCli, ImportOptionsHoldForEveryImportWhereverTheyStand) {
    const std::string list = Write("list.txt", " golf \r\n\r\nchess\r\n");
    const std::vector<std::string> options = {"--trim", "--skip-blank", "--skip-existing"};
    const std::vector<std::string> imports = {"--keywords", list, "--keywords", list, "--add", " GOLF ", "--add", "tennis"};
    for (const std::size_t at : {std::size_t{0}, std::size_t{2}, imports.size()}) {
        std::vector<std::string> args(imports.begin(), imports.begin() + static_cast<std::ptrdiff_t>(at));
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), imports.begin() + static_cast<std::ptrdiff_t>(at), imports.end());
        args.insert(args.end(), {"--save", "-"});
        const auto run = Cli(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out, Header + Line("1", "golf") + Line("2", "chess") + Line("3", "tennis")) << at;
    }
}

} // namespace
} // namespace vorlith::cli
