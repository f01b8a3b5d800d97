// The stand-in's pages, read the way the program reads them: the request addresses it builds, the
// markers it cuts between and the clean-up it applies. A page shape that drifts from the readers
// fails here.
#include "StandinPages.h"
#include "StandinServer.h"
#include "platform/IniFile.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "text/UUtils.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>

namespace vorlith::standin {
namespace {

class StandinMarkers : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<StandinServer>(ServerOptions());
        server->OnChallenge = [this](const std::string& random, const std::string& seed,
                                     const std::string& chars) {
            const std::lock_guard lock(issuedLock);
            issued = {random, seed, chars};
        };
        ASSERT_GT(server->Start(), 0);
        base = "http://127.0.0.1:" + std::to_string(server->Port());
    }

    // The page as the program fetches it; empty text when the fetch failed.
    std::string Fetch(const std::string& address) {
        std::string page;
        EXPECT_TRUE(test::FetchNow(ws, address, page)) << address << ": " << ws.MainStatusText();
        return page;
    }

    // The security image is loaded by the web view, not the page fetcher: raw bytes.
    std::string FetchImage(const std::string& address) {
        EXPECT_EQ(address.rfind(base, 0), 0u) << address;
        httplib::Client client("127.0.0.1", server->Port());
        client.set_url_encode(false);
        const auto reply = client.Get(address.substr(base.size()));
        return reply && reply->status == 200 ? reply->body : std::string();
    }

    virtual Options ServerOptions() {
        Options options;
        options.ChallengeWord = "captcha";
        return options;
    }

    std::unique_ptr<StandinServer> server;
    std::string base;
    QTemporaryDir folder;
    test::ScriptedUi ui;
    Workspace ws{ui, folder.path().toStdString()};
    std::mutex issuedLock;
    std::array<std::string, 3> issued;
};

// The rows the program appends from a suggestion page: (search count, keyword).
std::vector<std::pair<std::string, std::string>> ReadSuggestions(std::string_view page) {
    std::vector<std::pair<std::string, std::string>> rows;
    if (page.find("</tfoot>") == std::string_view::npos)
        return rows;
    ExtractBetween(page, "</tfoot>", ">");
    std::string count = CleanHtml(ExtractBetween(page, "<tr><td>", "</td>"));
    while (!count.empty()) {
        std::string keyword = CleanHtml(ExtractBetween(page, "\">", "</a>"));
        rows.emplace_back(count, keyword);
        count = CleanHtml(ExtractBetween(page, "<tr><td>", "</td>"));
    }
    return rows;
}

std::string SeedText(std::string keyword) {
    for (char& c : keyword)
        if (c == ' ')
            c = '+';
    return keyword;
}

TEST_F(StandinMarkers, SuggestionPagesGiveEverySuggestionAsARow) {
    const std::pair<const char*, const char*> cases[] = {
        {"golf clubs", "golf clubs"},
        {"Golf  Clubs", "golf clubs"},
        {"caf\xe9 cr\xe8me", "caf\xe9 cr\xe8me"},
        {"x", "x"},
        {"r&b", "r"},     // "&" ends the seed value, as it does on the real service
        {"r%26b", "r&b"}, // an ampersand in a keyword comes back through "&amp;"
    };
    for (const auto& [typed, keyword] : cases) {
        const std::string page =
            Fetch(base + "/?seed=" + SeedText(typed) + "&adult_filter=remove_offensive&suggest=Hit+Me");
        ASSERT_EQ(page.find(ChallengeSentence), std::string::npos);
        const auto rows = ReadSuggestions(page);
        const auto expected = SuggestionsFor(keyword);
        ASSERT_EQ(rows.size(), expected.size()) << typed;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].first, WithThousandsSeparators(expected[i].Count)) << typed << " row " << i;
            EXPECT_EQ(rows[i].second, expected[i].Keyword) << typed << " row " << i;
        }
    }
}

TEST_F(StandinMarkers, ASeedOfSpacesOnlyGivesAReadablePageWithoutRows) {
    const std::string page = Fetch(base + "/?seed=+++&adult_filter=remove_offensive&suggest=Hit+Me");
    EXPECT_NE(page.find("</tfoot>"), std::string::npos);
    EXPECT_TRUE(ReadSuggestions(page).empty());
}

TEST_F(StandinMarkers, ChallengePagesGiveTheHiddenValuesAndALoadableImage) {
    std::string page = Fetch(base + "/?seed=captcha+golf&adult_filter=remove_offensive&suggest=Hit+Me");
    ASSERT_NE(page.find(ChallengeSentence), std::string::npos);
    for (int round = 0; round < 2; ++round) {
        std::string_view copy = page;
        const std::string random(
            ExtractBetween(copy, "<input type=\"hidden\" name=\"random\" value=\"", "\""));
        const std::string seed(ExtractBetween(copy, "<input type=\"hidden\" name=\"seed\" value=\"", "\""));
        const std::string image = ReplaceAll(ExtractBetween(copy, "src=\"", "\""), "&amp;", "&");
        std::array<std::string, 3> shown;
        {
            const std::lock_guard lock(issuedLock);
            shown = issued;
        }
        EXPECT_EQ(random, shown[0]);
        EXPECT_EQ(seed, shown[1]);
        const std::string png = FetchImage(image);
        QImage decoded;
        EXPECT_TRUE(
            decoded.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size())))
            << image;

        // Round 0 answers wrongly and must get a new challenge; round 1 answers rightly.
        const std::string answer = round == 0 ? std::string("WRONG") : shown[2];
        page = Fetch(base + "/keyword-suggestion-tool.html?password=" + answer + "&random=" + random +
                     "&seed=" + seed);
        if (round == 0) {
            ASSERT_NE(page.find(ChallengeSentence), std::string::npos);
        } else {
            EXPECT_EQ(page.find(ChallengeSentence), std::string::npos);
            EXPECT_EQ(ReadSuggestions(page).size(), SuggestionsFor("captcha golf").size());
        }
    }
}

struct EngineCase {
    Engine engine;
    const char* path;
    const char* first;
    const char* firstEnd;
    const char* second;
    const char* secondEnd;
};

const EngineCase Engines[] = {
    {Engine::Google, "/search?q=", "<font size=-1>Results", "of about <b>", "of about <b>", "</b>"},
    {Engine::Yahoo, "/search?p=", "\"infotext\">", "of ", "of ", " for "},
    {Engine::Msn, "/results.aspx?q=", "<span id=\"count\">", " of ", " of ", "</span>"},
};

std::string Trimmed(std::string text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 32)
        ++start;
    return text.substr(start);
}

TEST_F(StandinMarkers, ResultPagesGiveTheCountOfEachEngine) {
    for (const EngineCase& e : Engines)
        for (const char* keyword : {"golf clubs", "golf", "cheap golf clubs uk", "r&b"})
            for (const bool precise : {true, false}) {
                const std::string wrap = precise ? "%22" : "";
                std::string page = Fetch(base + e.path + wrap + SeedText(keyword) + wrap);
                std::string_view buffer = page;
                ExtractBetween(buffer, e.first, e.firstEnd);
                std::string count(ExtractBetween(buffer, e.second, e.secondEnd));
                if (e.engine == Engine::Msn)
                    count = Trimmed(ReplaceAll(count, "results", ""));
                // "&" ends the query value, as it does on the real engines.
                std::string query = std::string(keyword).substr(0, std::string(keyword).find('&'));
                if (precise)
                    query = "\"" + query + (query.size() == std::strlen(keyword) ? "\"" : "");
                EXPECT_EQ(count, WithThousandsSeparators(ResultCount(e.engine, query)))
                    << e.path << " " << keyword << (precise ? " precise" : " broad");
            }
}

TEST_F(StandinMarkers, EmptyQueriesGiveEmptyCounts) {
    for (const EngineCase& e : Engines)
        for (const std::string q : {"", "%22%22"}) {
            std::string page = Fetch(base + e.path + q);
            ASSERT_FALSE(page.empty());
            std::string_view buffer = page;
            ExtractBetween(buffer, e.first, e.firstEnd);
            EXPECT_EQ(ExtractBetween(buffer, e.second, e.secondEnd), "") << e.path << q;
        }
}

TEST_F(StandinMarkers, UpdateDescriptionReadsAsTheInstalledVersion) {
    const std::string text = Fetch(base + "/liveupdate/vorlith/" + "mainappupdate.inf");
    EXPECT_EQ(ReadIniStringFromText(text, "APPLICATION", "Version"), "1.04");
}

// Starts its server in the test, once the options are set.
class StandinFaults : public StandinMarkers {
protected:
    void SetUp() override {}
    Options ServerOptions() override { return options; }
    Options options;
};

TEST_F(StandinFaults, FailedAnswersAndDroppedConnectionsAreFailedFetches) {
    options.FailRate = 1.0;
    StandinMarkers::SetUp();
    for (int i = 0; i < 8; ++i) {
        std::string page = "left over";
        EXPECT_FALSE(
            test::FetchNow(ws, base + "/?seed=golf&adult_filter=remove_offensive&suggest=Hit+Me", page));
        EXPECT_EQ(ws.MainStatusText(), ConnectionErrorText);
    }
}

TEST_F(StandinFaults, ADrippedPageArrivesWhole) {
    options.DripBytesPerSecond = 2000;
    StandinMarkers::SetUp();
    EXPECT_EQ(Fetch(base + "/help/"), PageText(HelpPage()));
}

} // namespace
} // namespace vorlith::standin
