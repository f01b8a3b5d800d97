#pragma once
// The program's HTTP/1.1 client. A GET is a coroutine on the thread's event loop: it suspends
// while the socket is quiet, so nothing blocks and nothing runs nested inside it.

#include "net/CancelToken.h"
#include "net/CookieStore.h"
#include "net/HttpAddress.h"
#include "net/HttpError.h"
#include "net/HttpFailure.h"
#include "net/Proxy.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QAbstractSocket;

namespace QCoro {
template <typename T> class Task;
}

namespace vorlith {

// Where the final answer's body goes.
class HttpSink {
public:
    virtual void Write(std::string_view bytes) = 0;
    // Empties the sink (a redirect was followed).
    virtual void Clear() = 0;

protected:
    ~HttpSink() = default;
};

enum class WorkMode { Read, Write };

class HttpClient : public QObject {
    Q_OBJECT
public:
    static constexpr std::string_view Accept = "text/html, */*";
    static constexpr std::string_view ContentType = "text/html";
    static constexpr std::string_view UserAgent = "Mozilla/3.0 (compatible; Indy Library)";

    struct Settings {
        int MaxRequests = 15; // per GET: the first and up to 14 redirects
        int ConnectTimeoutMs = 120'000;
        int ReadTimeoutMs = 0;             // give up after this long without data; 0: no limit
        int TotalTimeoutMs = 0;            // give up a GET, redirects included, after this long; 0: no limit
        int ConnectIdleMs = 125;           // OnIdle while connecting
        int ReadIdleMs = 250;              // OnIdle after this long without data
        int RedirectBodyMs = 4000;         // a redirect's body is read this long at most
        int ErrorBodyMs = 2000;            // an error answer's body is read this long at most
        std::int64_t MaxBody = 64LL << 20; // a larger body is an error
        std::size_t MaxLine = 16384;       // a longer status or header line is an error
        qint64 ReadBuffer = 1 << 20;       // the socket reads no further ahead than this
    };

    // One GET: where, its own limits (the client's Options() unless changed), and the token
    // that stops it.
    struct Request {
        std::string Address;
        Settings Limits;
        CancelToken Cancel;
        // Header values of this request; empty: the usual ones (no Accept-Language).
        std::string UserAgent;
        std::string AcceptLanguage;
        // Keep the connection open after a complete answer and reuse it for the next request to
        // the same host (off: every request connects anew, as always).
        bool KeepAlive = false;
    };
    // How a GET ended: the final answer's status, or what went wrong.
    struct Result {
        int Status = 0;
        std::string Error; // empty on success
        static Result Failed(std::string error) {
            Result result;
            result.Error = std::move(error);
            return result;
        }
        HttpFailure Cause; // What is None on success
        bool StillRedirecting = false; // the last request allowed was answered with a redirect
        bool Ok() const { return Error.empty(); }
        std::string ContentType; // of the final answer
        // An error answer's status and Retry-After, for callers that back off.
        int RefusedStatus = 0;
        std::string RetryAfter;
    };

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // A request for the address with the client's current limits and a fresh token.
    Request For(std::string_view address) const {
        Request request;
        request.Address = std::string(address);
        request.Limits = settings_;
        return request;
    }

    // Fetches an http:// or https:// address into the sink, following redirects. A failure is a
    // result, never an exception of the network's; one refused while another GET is under way
    // leaves that one undisturbed. The sink and the client must outlive the task.
    QCoro::Task<Result> Get(Request request, HttpSink& sink);

    // True while a GET is under way.
    bool Busy() const { return busy_; }
    // Closes the connection at once; the GET under way ends with an error. Safe from a progress
    // handler and when nothing is connected.
    void Disconnect();
    bool Connected() const;
    // True once a GET gave up because the server sent nothing for ReadTimeoutMs, or because it
    // took longer than TotalTimeoutMs; stays set until ClearGaveUp().
    bool GaveUp() const { return gaveUp_; }
    // Of those, true when the server had sent something but the GET ran out of time.
    bool GaveUpOnTotal() const { return gaveUpOnTotal_; }
    void ClearGaveUp() { gaveUp_ = gaveUpOnTotal_ = false; }

    CookieStore& Cookies() { return cookies_; }
    // The proxies of the next requests; all empty (the default) connects directly.
    ProxySettings& Proxies() { return proxies_; }
    // Why the last GET failed; What is None after a success.
    const HttpFailure& LastFailure() const { return lastFailure_; }
    // The limits of the next requests (For()), and those of the GET under way.
    Settings& Options() { return settings_; }
    const Settings& CurrentLimits() const { return limits_; }

    // Progress of every body read (redirect and error bodies too); a chunked body reports each
    // chunk as a transfer of its own.
    std::function<void(WorkMode, std::int64_t countMax)> OnWorkBegin;
    std::function<void(WorkMode, std::int64_t count)> OnWork;
    std::function<void(WorkMode)> OnWorkEnd;
    // Called while the client waits without news (every ConnectIdleMs / ReadIdleMs).
    std::function<void()> OnIdle;

private:
    struct Exchange;
    enum class Outcome { Final, Redirect, RedirectLimit };

    struct Quiet; // the awaitable of Quiet()
    QCoro::Task<Outcome> Ask(const HttpAddress& address, HttpSink& sink, int requestNumber,
                             std::string& location, Result& result, const Request& request);
    QCoro::Task<void> Connect(const HttpAddress& address);
    // Suspends until the socket has news, Disconnect() is called, or idleMs pass.
    Quiet Wait(int idleMs);
    void Wake();
    void Resume();
    void DropSocket();
    // Records why the GET fails, then throws.
    [[noreturn]] void Fail(HttpFailure::Kind kind, std::string host, const std::string& message, int status = 0);

    Settings settings_;
    Settings limits_; // the GET under way's
    CookieStore cookies_;
    ProxySettings proxies_;
    std::optional<ProxyEndpoint> proxy_; // the connection's, when it goes through one
    HttpFailure failure_;
    HttpFailure lastFailure_;
    std::unique_ptr<QAbstractSocket> socket_;
    QTimer idle_;
    std::coroutine_handle<> waiter_;
    bool resumePosted_ = false;
    bool busy_ = false;
    bool disconnectRequested_ = false;
    bool idleFired_ = false;
    bool gaveUp_ = false;
    // The host the socket is connected to, and whether its last answer left it fit for another.
    std::string connectedTo_;
    bool reusable_ = false;
    bool gaveUpOnTotal_ = false;
    std::chrono::steady_clock::time_point totalDeadline_; // when TotalTimeoutMs is set
    class HttpResponseParser* parser_ = nullptr;
};

} // namespace vorlith
