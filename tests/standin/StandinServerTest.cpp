#include "StandinServer.h"

#include "StandinPages.h"

#include <QImage>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlith::standin {
namespace {

// The stand-in on a free loopback port, read with cpp-httplib's own client.
class Standin {
public:
    explicit Standin(Options options = {}, const std::function<void(StandinServer&)>& configure = {})
        : server(options) {
        server.OnChallenge = [this](const std::string& random, const std::string& seed,
                                    const std::string& chars) {
            const std::lock_guard lock(challengesLock);
            challenges.push_back({random, seed, chars});
        };
        if (configure)
            configure(server);
        port = server.Start();
    }
    httplib::Result Get(const std::string& target) {
        httplib::Client client("127.0.0.1", port);
        client.set_url_encode(false); // addresses go out as the program sends them
        client.set_keep_alive(false);
        client.set_decompress(false);
        return client.Get(target);
    }
    struct Issued {
        std::string Random, Seed, Characters;
    };
    Issued LastChallenge() {
        const std::lock_guard lock(challengesLock);
        return challenges.empty() ? Issued{} : challenges.back();
    }
    std::size_t ChallengeCount() {
        const std::lock_guard lock(challengesLock);
        return challenges.size();
    }

    StandinServer server;
    int port = -1;
    std::mutex challengesLock;
    std::vector<Issued> challenges;
};

std::string Between(const std::string& page, const std::string& first, const std::string& second) {
    const auto start = page.find(first);
    if (start == std::string::npos)
        return {};
    const auto end = page.find(second, start + first.size());
    return end == std::string::npos ? std::string()
                                    : page.substr(start + first.size(), end - start - first.size());
}

std::string Suggest(const std::string& seed) {
    return "/?seed=" + seed + "&adult_filter=remove_offensive&suggest=Hit+Me";
}

TEST(StandinServer, ServesEveryPageOnItsPath) {
    Options options;
    options.Version = "1.07";
    Standin standin(options);
    ASSERT_GT(standin.port, 0);
    const struct {
        std::string target;
        std::string body;
        std::string type;
    } cases[] = {
        {Suggest("golf+clubs"), SuggestionPage("golf clubs"), "text/html"},
        {Suggest("golf+clubs%21"), SuggestionPage("golf clubs!"), "text/html"},
        {"/search?q=%22golf+clubs%22", ResultsPage(Engine::Google, "\"golf clubs\""), "text/html"},
        {"/search?p=golf+clubs", ResultsPage(Engine::Yahoo, "golf clubs"), "text/html"},
        {"/results.aspx?q=golf", ResultsPage(Engine::Msn, "golf"), "text/html"},
        {"/liveupdate/vorlith/mainappupdate.inf", UpdateDescription("1.07"), "text/plain"},
        {"/help/", HelpPage(), "text/html"},
        {"/", AffiliatePage("/"), "text/html"},
        {"/partner42", AffiliatePage("/partner42"), "text/html"},
    };
    for (const auto& c : cases) {
        const auto result = standin.Get(c.target);
        ASSERT_TRUE(result) << c.target;
        EXPECT_EQ(result->status, 200) << c.target;
        EXPECT_EQ(result->body, c.body) << c.target;
        EXPECT_EQ(result->get_header_value("Content-Type"), c.type) << c.target;
    }
}

TEST(StandinServer, SameSeedSameSuggestions) {
    Standin first, second;
    const auto a = first.Get(Suggest("tennis+rackets"));
    const auto b = second.Get(Suggest("tennis+rackets"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->body, b->body);
}

TEST(StandinServer, ChallengeRoundTrip) {
    Options options;
    options.ChallengeEvery = 1;
    Standin standin(options);
    const auto first = standin.Get(Suggest("golf+clubs"));
    ASSERT_TRUE(first);
    ASSERT_NE(first->body.find(ChallengeSentence), std::string::npos);
    const auto issued = standin.LastChallenge();
    EXPECT_EQ(Between(first->body, "name=\"random\" value=\"", "\""), issued.Random);
    EXPECT_EQ(Between(first->body, "name=\"seed\" value=\"", "\""), issued.Seed);
    ASSERT_EQ(issued.Characters.size(), 5u);

    // The image address is absolute, with &amp; between its parameters, and gives a real PNG.
    std::string image = Between(first->body, "src=\"", "\"");
    const std::string prefix = "http://127.0.0.1:" + std::to_string(standin.port);
    ASSERT_EQ(image.rfind(prefix, 0), 0u) << image;
    ASSERT_NE(image.find("&amp;"), std::string::npos);
    image = image.substr(prefix.size());
    image.replace(image.find("&amp;"), 5, "&");
    const auto png = standin.Get(image);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(reinterpret_cast<const uchar*>(png->body.data()),
                                     static_cast<int>(png->body.size()), "PNG"));
    EXPECT_EQ(decoded.size(), QSize(200, 60));
    EXPECT_EQ(standin.Get(image)->body, png->body) << "Refresh shows the same image";

    // A wrong answer brings a new challenge with new hidden values.
    const auto wrong = standin.Get("/keyword-suggestion-tool.html?password=WRONG&random=" + issued.Random +
                                   "&seed=" + issued.Seed);
    ASSERT_TRUE(wrong);
    ASSERT_NE(wrong->body.find(ChallengeSentence), std::string::npos);
    const auto again = standin.LastChallenge();
    EXPECT_NE(again.Random, issued.Random);
    EXPECT_NE(again.Seed, issued.Seed);
    EXPECT_EQ(Between(wrong->body, "name=\"random\" value=\"", "\""), again.Random);
    EXPECT_EQ(standin.Get(image)->status, 404) << "an answered challenge's image is gone";

    // The old values no longer count, even with the right characters.
    const auto stale = standin.Get("/keyword-suggestion-tool.html?password=" + issued.Characters +
                                   "&random=" + issued.Random + "&seed=" + issued.Seed);
    ASSERT_TRUE(stale);
    EXPECT_NE(stale->body.find(ChallengeSentence), std::string::npos);

    // The right characters, in any case, answer the suggestions of the first request's seed.
    const auto newest = standin.LastChallenge();
    std::string lower = newest.Characters;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto right = standin.Get("/keyword-suggestion-tool.html?password=" + lower +
                                   "&random=" + newest.Random + "&seed=" + newest.Seed);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->body, SuggestionPage("golf clubs"));
}

TEST(StandinServer, WrongSeedValueFailsTheAnswer) {
    Options options;
    options.ChallengeEvery = 1;
    Standin standin(options);
    ASSERT_TRUE(standin.Get(Suggest("golf")));
    const auto issued = standin.LastChallenge();
    const auto reply = standin.Get("/keyword-suggestion-tool.html?password=" + issued.Characters +
                                   "&random=" + issued.Random + "&seed=ffffffff");
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->body.find(ChallengeSentence), std::string::npos);
}

TEST(StandinServer, ChallengesFollowTheSeed) {
    const auto issued = [](std::uint64_t seed) {
        Options options;
        options.ChallengeEvery = 1;
        options.Seed = seed;
        Standin standin(options);
        std::string all;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(standin.Get(Suggest("golf")));
            const auto c = standin.LastChallenge();
            all += c.Random + "/" + c.Seed + "/" + c.Characters + " ";
        }
        return all;
    };
    EXPECT_EQ(issued(5), issued(5));
    EXPECT_NE(issued(5), issued(6));
}

TEST(StandinServer, ChallengesEveryNthSuggestionRequest) {
    Options options;
    options.ChallengeEvery = 3;
    Standin standin(options);
    std::string pattern;
    for (int i = 0; i < 7; ++i) {
        const auto reply = standin.Get(Suggest("golf"));
        ASSERT_TRUE(reply);
        pattern += reply->body.find(ChallengeSentence) != std::string::npos ? 'C' : 's';
        ASSERT_TRUE(standin.Get("/search?q=golf")) << "other requests do not count";
    }
    EXPECT_EQ(pattern, "ssCssCs");
}

TEST(StandinServer, ChallengesSeedsHoldingTheWord) {
    Options options;
    options.ChallengeWord = "trap";
    Standin standin(options);
    const std::pair<const char*, bool> cases[] = {
        {"trap", true},      {"cheap+trap", true}, {"TRAP+door", true},
        {"trapdoor", false}, {"golf", false},      {"mousetrap", false},
    };
    for (const auto& [seed, challenged] : cases) {
        const auto reply = standin.Get(Suggest(seed));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->body.find(ChallengeSentence) != std::string::npos, challenged) << seed;
    }
}

// What a client saw of each of n requests: the status, or 'x' for a dropped connection.
std::string Outcomes(Options options, int n) {
    Standin standin(options);
    std::string seen;
    for (int i = 0; i < n; ++i) {
        const auto reply = standin.Get("/help/");
        seen += !reply ? 'x' : reply->status == 200 ? '.' : reply->status == 500 ? '5' : '?';
        if (reply && reply->status == 200) {
            EXPECT_EQ(reply->body, HelpPage());
        }
    }
    return seen;
}

TEST(StandinServer, FailuresFollowTheSeed) {
    Options options;
    options.FailRate = 0.5;
    options.Seed = 7;
    const std::string first = Outcomes(options, 60);
    EXPECT_EQ(Outcomes(options, 60), first);
    EXPECT_NE(first.find('.'), std::string::npos) << first;
    EXPECT_NE(first.find('5'), std::string::npos) << first;
    EXPECT_NE(first.find('x'), std::string::npos) << first;
    EXPECT_EQ(first.find('?'), std::string::npos) << first;
    options.Seed = 8;
    EXPECT_NE(Outcomes(options, 60), first);
}

TEST(StandinServer, FailRateBounds) {
    Options options;
    options.FailRate = 1.0;
    EXPECT_EQ(Outcomes(options, 20).find('.'), std::string::npos);
    options.FailRate = 0.0;
    EXPECT_EQ(Outcomes(options, 20), std::string(20, '.'));
}

TEST(StandinServer, DroppedConnectionEndsBeforeAnyAnswer) {
    Options options;
    options.FailRate = 1.0;
    std::atomic<int> drops{0};
    Standin standin(options, [&drops](StandinServer& server) {
        server.OnLog = [&drops](const std::string& line) { drops += line.ends_with("dropped") ? 1 : 0; };
    });
    int seen = 0;
    for (int i = 0; i < 10; ++i) {
        httplib::Client client("127.0.0.1", standin.port);
        bool answered = false;
        const auto reply = client.Get(
            "/help/",
            [&](const httplib::Response&) {
                answered = true;
                return true;
            },
            [&](const char*, std::size_t) { return true; });
        if (reply && reply->status == 500)
            continue;
        ++seen;
        EXPECT_FALSE(reply);
        EXPECT_FALSE(answered) << "no status line may arrive";
    }
    EXPECT_GT(seen, 0) << "no dropped connection in ten failures";
    // The server logs a drop after closing, so the client may see the close first.
    for (int wait = 0; wait < 200 && drops < seen; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(drops, seen);
}

TEST(StandinServer, LatencyDelaysEveryAnswer) {
    Options options;
    options.LatencyMs = 120;
    Standin standin(options);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(standin.Get("/help/"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

TEST(StandinServer, DripSendsTheWholeBodySlowly) {
    Options options;
    options.DripBytesPerSecond = 1000;
    Standin standin(options);
    const std::size_t size = HelpPage().size();
    int pieces = 0;
    const auto start = std::chrono::steady_clock::now();
    httplib::Client client("127.0.0.1", standin.port);
    std::string body;
    const auto reply = client.Get("/help/", [&](const char* data, std::size_t length) {
        ++pieces;
        body.append(data, length);
        return true;
    });
    ASSERT_TRUE(reply);
    EXPECT_EQ(body, HelpPage());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(size * 1000 / 1000));
    EXPECT_GE(pieces, 2);
}

TEST(StandinServer, AClientHangingUpMidBodyLeavesTheServerServing) {
    Options options;
    options.DripBytesPerSecond = 1000;
    Standin standin(options);
    {
        httplib::Client client("127.0.0.1", standin.port);
        EXPECT_FALSE(client.Get("/help/", [](const char*, std::size_t) { return false; }));
    }
    // The hung-up answer keeps writing while this one drips; that must neither end the program
    // (SIGPIPE) nor hold up the next answer.
    const auto reply = standin.Get("/help/");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, HelpPage());
}

TEST(StandinServer, StopEndsADripUnderWay) {
    Options options;
    options.DripBytesPerSecond = 1; // the page would take minutes
    std::promise<void> answering;
    auto standin = std::make_unique<Standin>(options, [&answering](StandinServer& server) {
        server.OnLog = [&answering](const std::string&) { answering.set_value(); };
    });
    auto request = std::async(std::launch::async, [port = standin->port] {
        httplib::Client client("127.0.0.1", port);
        return static_cast<bool>(client.Get("/help/"));
    });
    answering.get_future().wait();
    standin->server.Stop();
    EXPECT_FALSE(request.get());
}

TEST(StandinServer, SecondServerOnATakenPortFails) {
    Standin first;
    Options options;
    options.Port = first.port;
    StandinServer second(options);
    EXPECT_EQ(second.Start(), -1);
}

} // namespace
} // namespace vorlith::standin
