// Gather Keywords against the stand-in service, with and without its security image.
#include "StandinPages.h"
#include "StandinServer.h"
#include "harvest/Harvest.h"
#include "support/Await.h"
#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

namespace vorlith {
namespace {

using standin::Options;
using standin::StandinServer;

// Types the characters that the stand-in revealed for the challenge on the page shown.
class RevealingUi : public test::ScriptedUi {
public:
    std::mutex Lock;
    std::map<std::string, std::string> Answers; // by random value

    ChallengeAnswer AskChallenge(const ChallengePrompt& prompt) override {
        ChallengeAnswer answer = ScriptedUi::AskChallenge(prompt);
        // The stand-in's image address names the challenge: ...?random=R&seed=S.
        const std::string& image = prompt.ImageAddress;
        const std::size_t from = image.find("random=") + 7;
        const std::lock_guard lock(Lock);
        answer.Password = Answers[image.substr(from, image.find('&', from) - from)];
        return answer;
    }
};

class StandinHarvest : public ::testing::TestWithParam<int> {
protected:
    void Harvest(const std::string& keyword) {
        Options options;
        options.ChallengeEvery = GetParam();
        StandinServer server(options);
        server.OnChallenge = [this](const std::string& random, const std::string&,
                                    const std::string& characters) {
            const std::lock_guard lock(ui.Lock);
            ui.Answers[random] = characters;
        };
        ASSERT_GT(server.Start(), 0);
        Workspace ws(ui, folder.path().toStdString());
        ws.Endpoints.SuggestionServiceBase = "http://127.0.0.1:" + std::to_string(server.Port());
        ws.MainKeyword = keyword;
        test::Await(GatherKeywords(ws));
        for (const KeywordRow& row : ws.table.Rows())
            rows.emplace_back(row.Cell[1], row.Cell[0]);
        server.Stop();
    }

    QTemporaryDir folder;
    RevealingUi ui;
    std::vector<std::pair<std::string, std::string>> rows; // (count, keyword)
};

TEST_P(StandinHarvest, FillsTheTableWithTheServicesList) {
    if (GetParam() > 0)
        ui.AnswerChallenge("typed over by the revealed answer");
    Harvest("golf clubs");
    const auto expected = standin::SuggestionsFor("golf clubs");
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].first, standin::WithThousandsSeparators(expected[i].Count));
        EXPECT_EQ(rows[i].second, expected[i].Keyword);
    }
    EXPECT_EQ(ui.ChallengeImageURLs.size(), GetParam() > 0 ? 1u : 0u);
    EXPECT_TRUE(ui.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Challenges, StandinHarvest, ::testing::Values(0, 1), [](const auto& info) {
    return info.param ? std::string("EveryRequest") : std::string("Never");
});

} // namespace
} // namespace vorlith
