#pragma once
// The program's one HTTP/1.1 client. A GET blocks its caller while a nested event loop
// runs, so the window stays live and a handler run inside the wait may call Disconnect().

#include "net/CookieStore.h"
#include "net/HttpAddress.h"
#include "net/HttpError.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QAbstractSocket;
class QEventLoop;

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
        int ConnectIdleMs = 125;           // OnIdle while connecting
        int ReadIdleMs = 250;              // OnIdle after this long without data
        int RedirectBodyMs = 4000;         // a redirect's body is read this long at most
        int ErrorBodyMs = 2000;            // an error answer's body is read this long at most
        std::int64_t MaxBody = 64LL << 20; // a larger body is an error
        std::size_t MaxLine = 16384;       // a longer status or header line is an error
        qint64 ReadBuffer = 1 << 20;       // the socket reads no further ahead than this
    };

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // Fetches an http:// or https:// address into the sink, following redirects. Throws HttpError
    // on failure; refuses (throws) while another GET is under way, without disturbing it.
    void Get(std::string_view address, HttpSink& sink);

    // True while a GET is under way.
    bool Busy() const { return busy_; }
    // Closes the connection at once. Safe from a progress handler, from a handler nested inside the
    // wait, and when nothing is connected.
    void Disconnect();
    bool Connected() const;
    // True once a GET gave up because the server sent nothing for ReadTimeoutMs; stays set until
    // ClearGaveUp().
    bool GaveUp() const { return gaveUp_; }
    void ClearGaveUp() { gaveUp_ = false; }

    CookieStore& Cookies() { return cookies_; }
    Settings& Options() { return settings_; }

    // Progress of every body read (redirect and error bodies too); a chunked body reports each
    // chunk as a transfer of its own.
    std::function<void(WorkMode, std::int64_t countMax)> OnWorkBegin;
    std::function<void(WorkMode, std::int64_t count)> OnWork;
    std::function<void(WorkMode)> OnWorkEnd;
    // Hands control to the window while the client waits (the anti-freeze).
    std::function<void()> OnIdle;

private:
    struct Exchange;
    enum class Outcome { Final, Redirect, RedirectLimit };

    Outcome Request(const HttpAddress& address, HttpSink& sink, int requestNumber, std::string& location);
    void Connect(const HttpAddress& address);
    void Wait(int idleMs);
    void Wake();
    void DropSocket();

    Settings settings_;
    CookieStore cookies_;
    std::unique_ptr<QAbstractSocket> socket_;
    QEventLoop* loop_ = nullptr;
    bool busy_ = false;
    bool disconnectRequested_ = false;
    bool woken_ = false;
    bool idleFired_ = false;
    bool loopInterrupted_ = false;
    bool gaveUp_ = false;
    class HttpResponseParser* parser_ = nullptr;
};

} // namespace vorlith
