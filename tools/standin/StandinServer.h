#pragma once
// vorlith-standin's HTTP service on 127.0.0.1: suggestion pages, security-image challenges, result
// pages of the three engines, the update description, help and affiliate pages, and faults on request.

#include "StandinOptions.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace vorlith::standin {

class StandinServer {
public:
    explicit StandinServer(Options options);
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Set before Start. OnChallenge gets each challenge's random, seed and characters; OnLog one line
    // per answered request. Both run on the server's threads.
    std::function<void(const std::string& random, const std::string& seed, const std::string& characters)>
        OnChallenge;
    std::function<void(const std::string& line)> OnLog;

    // Binds 127.0.0.1 and serves on threads of its own. Returns the port, or -1 when binding failed.
    int Start();
    // Ends every answer under way (drips and latency waits included) and joins the threads.
    void Stop();
    int Port() const { return port_; }

private:
    struct Challenge {
        std::string Seed;
        std::string Characters;
        std::string Keyword;
        bool Answered = false;
    };
    struct Reply {
        Reply(int status = 200, std::string contentType = "text/html", std::string body = {},
              std::string retryAfter = {})
            : Status(status), ContentType(std::move(contentType)), Body(std::move(body)),
              RetryAfter(std::move(retryAfter)) {}
        int Status;
        std::string ContentType;
        std::string Body;
        std::string RetryAfter;
    };

    void Handle(const httplib::Request& request, httplib::Response& response);
    Reply Route(const httplib::Request& request, std::uint64_t number);
    Reply SuggestionOrChallenge(const std::string& keyword, const std::string& host);
    Reply NewChallenge(const std::string& keyword, const std::string& host);
    Reply AnswerChallenge(const std::string& password, const std::string& random, const std::string& seed,
                          const std::string& host);
    Reply ChallengeImage(const std::string& random, const std::string& seed);
    void Deliver(httplib::Response& response, Reply reply);
    // Waits up to the given time; false when the server is stopping.
    bool WaitUnlessStopping(std::chrono::steady_clock::duration duration);
    std::string Token(int hexDigits);

    Options options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
    int listenSocket_ = -1;

    std::atomic<bool> listenEnded_{false};
    std::atomic<std::uint64_t> requests_{0};
    std::mutex stateLock_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::uint64_t suggestionRequests_ = 0;
    std::uint64_t tokenState_ = 0;
    std::map<std::string, Challenge> challenges_; // by random value
    std::deque<std::string> challengeOrder_;      // oldest first, to bound the map
};

} // namespace vorlith::standin
