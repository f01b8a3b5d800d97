// sources.ini from the terminal: --list-sources, --sources, --expand, --depth, --with-source and
// the closing line of Gather Keywords, against the stand-in's shapes through the demo's file.
#include "CliCapture.h"
#include "StandinPages.h"
#include "StandinServer.h"
#include "cli/CommandTable.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace vorlith::cli {
namespace {

struct SourcesCase {
    const char* Name;
    std::vector<std::string> Args;
    int Status;
    std::vector<std::string> InErr, InOut;
};

class SourcesCli : public ::testing::TestWithParam<SourcesCase> {
protected:
    void SetUp() override {
        RegisterGeneralCommands(table);
        RegisterHarvestCommands(table);
        RegisterTableCommands(table);
        ASSERT_GT(server.Start(), 0);
        const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
        std::ofstream(folder.filePath(QStringLiteral("dbconfig.dat")).toStdString())
            << "[Endpoints]\nSuggestionServiceBase=" << base << "\n";
        std::ifstream demo(std::string(VORLITH_SOURCE_DIR) + "/resources/demo/sources-standin.ini");
        std::stringstream text;
        text << demo.rdbuf();
        std::string sources = text.str();
        for (std::size_t at; (at = sources.find("@STANDIN@")) != std::string::npos;)
            sources.replace(at, 9, base);
        std::ofstream(folder.filePath(QStringLiteral("sources.ini")).toStdString())
            << sources << "\n[Suggest broken]\nURL=http://h/{query}\nFormat=yaml\n";
    }
    void TearDown() override { server.Stop(); }

    CommandTable table;
    QTemporaryDir folder;
    standin::StandinServer server{standin::Options{}};
};

TEST_P(SourcesCli, RunsAndSaysWhatHappened) {
    const SourcesCase& c = GetParam();
    std::vector<std::string> args = c.Args;
    args.insert(args.begin(), {"--folder", folder.path().toStdString()});
    const CliRun run = RunCli(table, args);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    for (const std::string& text : c.InErr)
        EXPECT_NE(run.Err.find(text), std::string::npos) << text << "\n--- stderr:\n" << run.Err;
    for (const std::string& text : c.InOut)
        EXPECT_NE(run.Out.find(text), std::string::npos) << text << "\n--- stdout:\n" << run.Out;
}

const std::string Gather = "--gather-keywords";
// The suggestion the JSON, phrase and XML shapes all answer for "golf" (their slices overlap).
const std::string Shared = standin::SuggestionsFor("golf")[6].Keyword;

INSTANTIATE_TEST_SUITE_P(
    Table, SourcesCli,
    ::testing::Values(
        SourcesCase{"ListMarksBrokenEntries",
                    {"--list-sources"},
                    0,
                    {"sources.ini: [Suggest broken] Format: unknown format \"yaml\""},
                    {"Suggest builtin\tWordtracker\tbuiltin\tenabled\n", "Suggest standin-xml\tStand-in XML\txml\tdisabled\n",
                     "Count 1\tGoogle\tbuiltin\tenabled\n", "[Suggest broken]\tbroken"}},
        SourcesCase{"UnknownSource", {"--sources", "builtin,nosuch"}, 2, {"--sources: no suggestion source \"nosuch\""}, {}},
        SourcesCase{"UnknownExpansion", {"--expand", "abc"}, 2, {"--expand: \"abc\""}, {}},
        SourcesCase{"DepthThree", {"--depth", "3"}, 2, {"--depth: \"3\""}, {}},
        SourcesCase{"ThreeSourcesAToZMerged",
                    {"--main-keyword", "golf", "--sources", "standin-json,standin-phrases,standin-xml", "--expand", "az",
                     Gather, "--with-source", "--save", "-"},
                    0,
                    {"Gather Keywords: 81 requests, ", " new keywords, 0 sources blocked\n"},
                    {"\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\",\"Source\"\r\n",
                     "\"" + Shared + "\",\"\",\"\",\"\",\"\",\"Stand-in JSON, Stand-in phrases, Stand-in XML\"\r\n",
                     "\"golf a & more \xe2\x98\xba\""}},
        SourcesCase{"BuiltinAloneKeepsItsCountsAndNamesItself",
                    {"--main-keyword", "golf", Gather, "--with-source", "--save", "-"},
                    0,
                    {"Gather Keywords: 1 requests, "},
                    {"\"" + standin::SuggestionsFor("golf")[0].Keyword + "\",\"", "\",\"\",\"\",\"\",\"Wordtracker\"\r\n"}},
        SourcesCase{"SecurityCheckPageIsABlock",
                    {"--main-keyword", "golf", "--sources", "standin-check", "--expand", "questions", Gather},
                    1,
                    {"Stand-in check: blocked (the page says \"unusual traffic\")\n",
                     "Gather Keywords: 1 requests, 0 new keywords, 1 sources blocked\n"},
                    {}},
        SourcesCase{"OneSourceBlockedTheOthersGoOn",
                    {"--main-keyword", "golf", "--sources", "standin-check,standin-json", "--expand", "prepositions", Gather},
                    0,
                    {"Gather Keywords: 9 requests, ", " 1 sources blocked\n"},
                    {}},
        SourcesCase{"CharsetsFromTheContentType",
                    {"--main-keyword", "golf", "--sources", "standin-latin1,standin-cp1251", Gather, "--save", "-"},
                    0,
                    {"Gather Keywords: 2 requests, 3 new keywords"},
                    {"\"golf caf\xc3\xa9\"", "\"golf cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e\"",
                     "\"golf \xd0\xbc\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0\""}},
        SourcesCase{"EmptyAnswerIsNoFailure",
                    {"--main-keyword", "golf", "--sources", "standin-empty", Gather},
                    0,
                    {"Gather Keywords: 1 requests, 0 new keywords, 0 sources blocked\n"},
                    {}},
        SourcesCase{"DepthTwoAsksEverySuggestionAgain",
                    {"--main-keyword", "golf", "--sources", "standin-json", "--depth", "2", "--sources", "standin-jsonp",
                     Gather},
                    0,
                    {"Gather Keywords: 11 requests, "},
                    {}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorlith::cli
