#pragma once
// Three search engines on one cpp-httplib server on 127.0.0.1: Google under /g, Yahoo under /y, MSN
// under /m. Each answer is chosen by a test function from the engine and the raw query; a request
// can be held until the test releases it, so that the client is caught inside its wait.

#include "workspace/Endpoints.h"

#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorlith::test {

enum class Engine { Google, Yahoo, Msn };

struct EngineAnswer {
    int Status = 200;
    std::string Body;
};

// Pages as each engine shows its count.
inline std::string GooglePage(const std::string& count) {
    return "<html><font size=-1>Results 1 - 10 of about <b>" + count + "</b> for x</font></html>";
}
inline std::string YahooPage(const std::string& count) {
    return "<html><span class=\"infotext\">1 - 10 of " + count + " for x</span></html>";
}
inline std::string MsnPage(const std::string& count) {
    return "<html><span id=\"count\">1-10 of " + count + " results</span></html>";
}
inline std::string PageFor(Engine engine, const std::string& count) {
    switch (engine) {
    case Engine::Google:
        return GooglePage(count);
    case Engine::Yahoo:
        return YahooPage(count);
    case Engine::Msn:
        break;
    }
    return MsnPage(count);
}

class EngineServer {
public:
    struct Request {
        Engine Asked;
        std::string Target; // raw path and query as sent
        int ClientPort = 0; // tells one connection from another
    };
    using AnswerFn = std::function<EngineAnswer(Engine, const std::string& query, int number)>;
    using HoldFn = std::function<bool(Engine, const std::string& query, int number)>;

    EngineServer() {
        Route("/g/search", Engine::Google, "q");
        Route("/y/search", Engine::Yahoo, "p");
        Route("/m/results.aspx", Engine::Msn, "q");
        port_ = server_.bind_to_any_port("127.0.0.1");
        // Bound and listening already: connections wait in the backlog until the thread accepts.
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() does nothing to a server whose accept loop has not started yet.
        while (!server_.is_running())
            std::this_thread::yield();
    }
    ~EngineServer() {
        Release();
        server_.stop();
        thread_.join();
    }

    vorlith::Endpoints Endpoints() const {
        const std::string base = "http://127.0.0.1:" + std::to_string(port_);
        vorlith::Endpoints endpoints;
        endpoints.GoogleSearchBase = base + "/g";
        endpoints.YahooSearchBase = base + "/y";
        endpoints.MsnSearchBase = base + "/m";
        return endpoints;
    }

    // Set before a run; called on the server's threads.
    void Answer(AnswerFn answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }
    // A held request waits, unanswered, until Release().
    void Hold(HoldFn hold) {
        std::lock_guard lock(mutex_);
        hold_ = std::move(hold);
        released_ = false;
    }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        wake_.notify_all();
    }

    std::vector<Request> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void Route(const char* path, Engine engine, const char* key) {
        const std::string prefix = std::string(path) + "?" + key + "=";
        server_.Get(path, [this, engine, prefix](const httplib::Request& req, httplib::Response& res) {
            const std::string query = req.target.compare(0, prefix.size(), prefix) == 0
                                          ? req.target.substr(prefix.size())
                                          : std::string();
            std::unique_lock lock(mutex_);
            const int number = static_cast<int>(requests_.size());
            requests_.push_back({engine, req.target, req.remote_port});
            if (hold_ && hold_(engine, query, number))
                wake_.wait(lock, [this] { return released_; });
            const EngineAnswer answer = answer_ ? answer_(engine, query, number) : EngineAnswer{};
            lock.unlock();
            res.status = answer.Status;
            res.set_content(answer.Body, "text/html");
        });
    }

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Request> requests_;
    AnswerFn answer_;
    HoldFn hold_;
    bool released_ = false;
};

} // namespace vorlith::test
