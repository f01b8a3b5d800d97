#include "workspace/Endpoints.h"

#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

std::vector<std::string> Bases(const Endpoints& e) {
    return {e.SuggestionServiceBase, e.GoogleSearchBase, e.YahooSearchBase,
            e.MsnSearchBase,         e.MakerSiteBase,    e.UpdateBase};
}

class EndpointsFile : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().toStdString() + "/"; }
    std::string File() const { return Folder() + "dbconfig.dat"; }
    void Write(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }
    QTemporaryDir dir;
};

TEST_F(EndpointsFile, DefaultsArePlainHttpAndTheMakersReservedHost) {
    const auto bases = Bases(LoadEndpoints(File()));
    EXPECT_EQ(bases, Bases(Endpoints{}));
    for (const auto& base : bases) {
        EXPECT_EQ(base.rfind("http://", 0), 0u) << base;
        EXPECT_NE(base.back(), '/') << base;
    }
    EXPECT_NE(Endpoints{}.UpdateBase.find(".example"), std::string::npos);
}

TEST_F(EndpointsFile, EachKeyOverridesOnlyItsOwnBase) {
    const char* keys[] = {"SuggestionServiceBase", "GoogleSearchBase", "YahooSearchBase",
                          "MsnSearchBase",         "MakerSiteBase",    "UpdateBase"};
    for (int i = 0; i < 6; ++i) {
        Write(std::string("[Endpoints]\n") + keys[i] + "=http://127.0.0.1:9\n");
        auto expected = Bases(Endpoints{});
        expected[static_cast<std::size_t>(i)] = "http://127.0.0.1:9";
        EXPECT_EQ(Bases(LoadEndpoints(File())), expected) << keys[i];
    }
}

TEST_F(EndpointsFile, ReadsWithTheIniRules) {
    const struct {
        std::string text;
        const char* suggestion; // what SuggestionServiceBase becomes
    } cases[] = {
        {"[endpoints]\nsuggestionservicebase = http://a:1\n", "http://a:1"},
        {"[Endpoints]\r\nSuggestionServiceBase=\"http://a:2\"\r\n", "http://a:2"},
        {"[Endpoints]\nSuggestionServiceBase=http://a:3/\n", "http://a:3"},
        {"[Endpoints]\nSuggestionServiceBase=http://a:4//\n", "http://a:4"},
        {"[Endpoints]\nSuggestionServiceBase=\n", nullptr},
        {"[Endpoints]\nSuggestionServiceBase=/\n", nullptr},
        {"[Settings]\nSuggestionServiceBase=http://settings\n", nullptr},
        {"[Settings]\nAppName=Demo\n[Endpoints]\nSuggestionServiceBase=http://a:5\n", "http://a:5"},
        {std::string("\x00\x01[Endpoints]\x02\xff\nSuggestionServiceBase\x00=x", 40), nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        Write(c.text);
        EXPECT_EQ(LoadEndpoints(File()).SuggestionServiceBase,
                  c.suggestion ? c.suggestion : Endpoints{}.SuggestionServiceBase)
            << c.text;
    }
}

TEST_F(EndpointsFile, GivenDefaultsStandWhereTheFileIsSilent) {
    Endpoints given;
    given.GoogleSearchBase = "http://127.0.0.1:1";
    given.YahooSearchBase = "http://127.0.0.1:2";
    Write("[Endpoints]\nYahooSearchBase=http://127.0.0.1:3\n");
    const Endpoints loaded = LoadEndpoints(File(), given);
    EXPECT_EQ(loaded.GoogleSearchBase, "http://127.0.0.1:1");
    EXPECT_EQ(loaded.YahooSearchBase, "http://127.0.0.1:3");
}

TEST_F(EndpointsFile, TheWorkspaceReadsItsFolderWhenCreated) {
    Write("[Endpoints]\nUpdateBase=http://127.0.0.1:4242\nMakerSiteBase=http://127.0.0.1:4243\n");
    test::ScriptedUi ui;
    Workspace ws(ui, dir.path().toStdString()); // without the trailing "/"
    EXPECT_EQ(ws.Endpoints.UpdateBase, "http://127.0.0.1:4242");
    EXPECT_EQ(ws.Endpoints.MakerSiteBase, "http://127.0.0.1:4243");
    EXPECT_EQ(ws.Endpoints.GoogleSearchBase, Endpoints{}.GoogleSearchBase);

    QTemporaryDir empty;
    Workspace plain(ui, empty.path().toStdString());
    EXPECT_EQ(Bases(plain.Endpoints), Bases(Endpoints{}));
}

} // namespace
} // namespace vorlith
