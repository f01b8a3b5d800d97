#include "net/HttpClient.h"

#include "net/HttpResponseParser.h"
#include "platform/QStringBytes.h"

#include <QAbstractEventDispatcher>
#include <QNetworkProxy>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace vorlith {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1'000'000'000));
}

HttpFailure::Kind KindOf(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::ConnectionRefusedError:
    case E::ProxyConnectionRefusedError:
        return HttpFailure::Kind::Refused;
    case E::HostNotFoundError:
    case E::ProxyNotFoundError:
        return HttpFailure::Kind::Dns;
    case E::SocketTimeoutError:
    case E::ProxyConnectionTimeoutError:
        return HttpFailure::Kind::TimedOut;
    case E::SslHandshakeFailedError:
    case E::SslInternalError:
    case E::SslInvalidUserDataError:
        return HttpFailure::Kind::Tls;
    case E::RemoteHostClosedError:
    case E::ProxyConnectionClosedError:
        return HttpFailure::Kind::Closed;
    default:
        return HttpFailure::Kind::Other;
    }
}

bool IsProxyError(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    for (const E proxy : {E::ProxyAuthenticationRequiredError, E::ProxyConnectionRefusedError,
                          E::ProxyConnectionClosedError, E::ProxyConnectionTimeoutError, E::ProxyNotFoundError,
                          E::ProxyProtocolError})
        if (error == proxy)
            return true;
    return false;
}

} // namespace

// Routes one answer: the final answer's body to the sink, an error answer's body to a buffer of
// our own, a redirect's body nowhere; progress goes out for every body.
struct HttpClient::Exchange final : HttpResponseListener {
    enum class Kind { None, Final, Redirect, Error };

    Exchange(HttpClient& client, HttpSink& sink, const HttpAddress& address)
        : client(client), sink(sink), address(address) {}

    void OnHead(const HttpResponseHead& head, BodyFraming framing) override {
        client.cookies_.StoreFromAnswer(head, address);
        statusLine = head.StatusLine;
        status = head.Status;
        this->framing = framing;
        std::string connection(head.Find("Connection").value_or(std::string_view{}));
        for (char& c : connection)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        closes = connection.find("close") != std::string::npos;
        contentType = std::string(head.Find("Content-Type").value_or(std::string_view{}));
        retryAfter = std::string(head.Find("Retry-After").value_or(std::string_view{}));
        const auto where = head.Find("Location");
        const int status = head.Status;
        if ((status >= 300 && status < 400 && status != 304) || where) {
            kind = Kind::Redirect;
            location = std::string(where.value_or(std::string_view{}));
            bodyDeadline = Clock::now() + std::chrono::milliseconds(client.limits_.RedirectBodyMs);
        } else if (status >= 200 && status < 300) {
            kind = Kind::Final;
        } else {
            kind = Kind::Error;
            bodyDeadline = Clock::now() + std::chrono::milliseconds(client.limits_.ErrorBodyMs);
        }
    }
    void OnBodyBegin(std::int64_t expected) override {
        if (client.OnWorkBegin)
            client.OnWorkBegin(WorkMode::Read, expected);
    }
    void OnBodyData(std::string_view bytes) override {
        if (kind == Kind::Final)
            sink.Write(bytes);
        else if (kind == Kind::Error)
            errorBody.append(bytes);
    }
    void OnBodyProgress(std::int64_t received) override {
        if (client.OnWork)
            client.OnWork(WorkMode::Read, received);
    }
    void OnBodyEnd() override {
        if (client.OnWorkEnd)
            client.OnWorkEnd(WorkMode::Read);
    }

    HttpClient& client;
    HttpSink& sink;
    const HttpAddress& address;
    Kind kind = Kind::None;
    std::string statusLine;
    int status = 0;
    std::string contentType;
    std::string retryAfter;
    std::string location;
    std::string errorBody;
    std::optional<Clock::time_point> bodyDeadline;
    BodyFraming framing = BodyFraming::None;
    bool closes = false; // "Connection: close"
};

// Suspends the GET's coroutine; Wake() or the idle timer resumes it from the event loop.
struct HttpClient::Quiet {
    HttpClient& client;
    int ms;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) {
        client.waiter_ = waiting;
        client.idle_.start(std::max(ms, 0));
    }
    void await_resume() const noexcept {}
};

HttpClient::HttpClient(QObject* parent) : QObject(parent) {
    idle_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, [this] {
        idleFired_ = true;
        Resume();
    });
}

HttpClient::~HttpClient() {
    DropSocket();
}

bool HttpClient::Connected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void HttpClient::Disconnect() {
    if (busy_)
        disconnectRequested_ = true;
    if (socket_) {
        // No signal of the socket reaches us any more; the GET under way sees the flag.
        QObject::disconnect(socket_.get(), nullptr, this, nullptr);
        socket_->abort();
        if (!busy_)
            socket_.reset();
    }
    if (parser_)
        parser_->Pause();
    Wake();
}

void HttpClient::DropSocket() {
    if (!socket_)
        return;
    QObject::disconnect(socket_.get(), nullptr, this, nullptr);
    socket_->abort();
    socket_.reset();
}

void HttpClient::Wake() {
    // Resumed from the event loop, never from inside the caller (a click's Stop, a socket signal).
    if (!waiter_ || resumePosted_)
        return;
    resumePosted_ = true;
    QMetaObject::invokeMethod(this, &HttpClient::Resume, Qt::QueuedConnection);
}

void HttpClient::Resume() {
    resumePosted_ = false;
    idle_.stop();
    if (const auto waiting = std::exchange(waiter_, {}))
        waiting.resume();
}

void HttpClient::Fail(HttpFailure::Kind kind, std::string host, const std::string& message, int status) {
    failure_ = {kind, std::move(host), status, kind == HttpFailure::Kind::Other ? message : std::string()};
    throw HttpError(message);
}

HttpClient::Quiet HttpClient::Wait(int idleMs) {
    return Quiet{*this, idleMs};
}

QCoro::Task<void> HttpClient::Connect(const HttpAddress& address) {
    DropSocket();
    // A socket made in a thread without an event dispatcher never hears that it connected, and
    // nothing would resume us there: such a thread must run an event loop first.
    if (!QAbstractEventDispatcher::instance())
        throw HttpError("This thread runs no event loop");
    proxy_ = ProxyFor(proxies_, address);
    // Plain requests go to the proxy itself; secure ones through its CONNECT tunnel.
    const HttpAddress& peer = proxy_ && !address.Secure ? proxy_->Address : address;
    const std::string where = proxy_ ? "proxy " + proxy_->Address.HostHeader() : address.HostHeader();
    const auto host = ToQString(peer.Host);
    if (address.Secure) {
        if (!QSslSocket::supportsSsl())
            Fail(HttpFailure::Kind::Tls, address.HostHeader(), "Secure connections are not available on this system");
        auto ssl = std::make_unique<QSslSocket>();
        if (proxy_)
            ssl->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, ToQString(proxy_->Address.Host),
                                        proxy_->Address.Port, ToQString(proxy_->User),
                                        ToQString(proxy_->Password)));
        connect(ssl.get(), &QSslSocket::encrypted, this, [this] { Wake(); });
        socket_ = std::move(ssl);
    } else {
        socket_ = std::make_unique<QTcpSocket>();
    }
    QAbstractSocket* socket = socket_.get();
    // Unbounded, a fast server fills memory while a progress handler runs the event loop.
    socket->setReadBufferSize(limits_.ReadBuffer);
    connect(socket, &QAbstractSocket::connected, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::readyRead, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::disconnected, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this] { Wake(); });
    if (address.Secure)
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(host, address.Port);
    else
        socket->connectToHost(host, peer.Port);

    auto deadline = Clock::now() + std::chrono::milliseconds(limits_.ConnectTimeoutMs);
    if (limits_.TotalTimeoutMs > 0)
        deadline = std::min(deadline, totalDeadline_);
    for (;;) {
        if (disconnectRequested_)
            Fail(HttpFailure::Kind::Stopped, where, "Disconnected while connecting to " + address.HostHeader());
        const bool ready = address.Secure ? static_cast<QSslSocket*>(socket_.get())->isEncrypted()
                                          : socket_->state() == QAbstractSocket::ConnectedState;
        if (ready)
            co_return;
        if (socket_->state() == QAbstractSocket::UnconnectedState) {
            // Through a tunnel, what goes wrong after the proxy said yes is the host's.
            const auto error = socket_->error();
            const bool proxyFault = !address.Secure || IsProxyError(error);
            Fail(KindOf(error), proxyFault ? where : address.HostHeader(),
                 "Could not connect to " + address.HostHeader() + ": " + ToBytes(socket_->errorString()));
        }
        if (Clock::now() >= deadline) {
            DropSocket();
            if (limits_.TotalTimeoutMs > 0 && Clock::now() >= totalDeadline_) {
                gaveUp_ = true;
                Fail(HttpFailure::Kind::TimedOut, where,
                     "Gave up: " + address.HostHeader() + " did not answer within " +
                         std::to_string(limits_.TotalTimeoutMs / 1000) + " seconds");
            }
            Fail(HttpFailure::Kind::TimedOut, where, "Timed out connecting to " + address.HostHeader());
        }
        co_await Wait(std::min(limits_.ConnectIdleMs, MsUntil(deadline)));
        if (idleFired_) {
            idleFired_ = false;
            if (OnIdle)
                OnIdle();
        }
    }
}

QCoro::Task<HttpClient::Outcome> HttpClient::Ask(const HttpAddress& address, HttpSink& sink,
                                                 int requestNumber, std::string& location, Result& result,
                                                 const Request& asked) {
    // A line break smuggled into an address would forge headers or a second request.
    for (const std::string* part : {&address.Host, &address.Target})
        if (part->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw HttpError("The address holds a line break or NUL: " + address.Text());
    const std::string hostKey = (address.Secure ? "https://" : "http://") + address.HostHeader();
    const bool reused = asked.KeepAlive && reusable_ && Connected() && connectedTo_ == hostKey;
    reusable_ = false;
    if (!reused) {
        co_await Connect(address);
        connectedTo_ = hostKey;
    }

    // A proxy expects the whole address (absolute form) in a plain request.
    const bool viaProxy = proxy_ && !address.Secure;
    std::string request = "GET " + (viaProxy ? address.Text() : address.Target) + " HTTP/1.1\r\n";
    request += "Content-Type: ";
    request += ContentType;
    request += "\r\nHost: " + address.HostHeader() + "\r\nAccept: ";
    request += Accept;
    request += "\r\nUser-Agent: ";
    request += asked.UserAgent.empty() ? std::string(UserAgent) : asked.UserAgent;
    request += "\r\n";
    if (!asked.AcceptLanguage.empty())
        request += "Accept-Language: " + asked.AcceptLanguage + "\r\n";
    if (viaProxy && !proxy_->User.empty())
        request += "Proxy-Authorization: Basic " +
                   QByteArray::fromStdString(proxy_->User + ":" + proxy_->Password).toBase64().toStdString() + "\r\n";
    if (const std::string cookie = cookies_.CookieHeader(address); !cookie.empty())
        request += "Cookie: " + cookie + "\r\n";
    request += "\r\n";
    socket_->write(request.data(), static_cast<qint64>(request.size()));

    Exchange exchange(*this, sink, address);
    HttpResponseParser::Limits limits;
    limits.MaxLine = limits_.MaxLine;
    limits.MaxBody = limits_.MaxBody;
    HttpResponseParser parser(exchange, limits);
    parser_ = &parser;
    struct Unhook {
        HttpResponseParser*& parser;
        ~Unhook() { parser = nullptr; }
    } unhook{parser_};

    // Connecting has its own limit; from here on silence counts, and the whole GET's limit.
    auto silentSince = Clock::now();
    bool heard = false;
    for (;;) {
        if (disconnectRequested_) {
            parser.FinishCut();
            break;
        }
        // Checked before reading, so that neither a trickle nor a flood outlasts it.
        if (limits_.TotalTimeoutMs > 0 && Clock::now() >= totalDeadline_) {
            gaveUp_ = true;
            gaveUpOnTotal_ = heard;
            DropSocket();
            Fail(HttpFailure::Kind::TimedOut, address.HostHeader(),
                 "Gave up: " + address.HostHeader() + " did not finish its answer within " +
                     std::to_string(limits_.TotalTimeoutMs / 1000) + " seconds");
        }
        if (socket_->bytesAvailable() > 0) {
            silentSince = Clock::now();
            heard = true;
            const QByteArray data = socket_->read(256 * 1024);
            std::string_view rest(data.constData(), static_cast<std::size_t>(data.size()));
            while (!rest.empty() && !parser.Done() && !disconnectRequested_)
                rest.remove_prefix(parser.Feed(rest));
            if (parser.Done())
                break;
            continue;
        }
        if (socket_->state() == QAbstractSocket::UnconnectedState) {
            parser.Finish();
            break;
        }
        if (exchange.bodyDeadline && Clock::now() >= *exchange.bodyDeadline) {
            parser.FinishCut();
            break;
        }
        int idle = limits_.ReadIdleMs;
        if (exchange.bodyDeadline)
            idle = std::min(idle, MsUntil(*exchange.bodyDeadline));
        if (limits_.ReadTimeoutMs > 0) {
            const auto giveUp = silentSince + std::chrono::milliseconds(limits_.ReadTimeoutMs);
            if (Clock::now() >= giveUp) {
                gaveUp_ = true;
                DropSocket();
                Fail(HttpFailure::Kind::TimedOut, address.HostHeader(),
                     "Gave up: " + address.HostHeader() + " sent nothing for " +
                         std::to_string(limits_.ReadTimeoutMs / 1000) + " seconds");
            }
            idle = std::min(idle, std::max(MsUntil(giveUp), 1));
        }
        if (limits_.TotalTimeoutMs > 0)
            idle = std::min(idle, std::max(MsUntil(totalDeadline_), 1));
        co_await Wait(idle);
        if (idleFired_) {
            idleFired_ = false;
            if (OnIdle && !(exchange.bodyDeadline && Clock::now() >= *exchange.bodyDeadline))
                OnIdle();
        }
    }

    // A kept connection may have been closed by the server while it idled: ask once more anew.
    if (reused && !heard && !disconnectRequested_ && exchange.kind == Exchange::Kind::None) {
        DropSocket();
        unhook.parser = nullptr;
        const Outcome again = co_await Ask(address, sink, requestNumber, location, result, asked);
        co_return again;
    }
    // Only a complete answer of known length leaves the connection fit for the next request.
    reusable_ = asked.KeepAlive && parser.GetState() == HttpResponseParser::State::Complete && !exchange.closes &&
                exchange.framing != BodyFraming::UntilClose &&
                exchange.kind != Exchange::Kind::None && Connected();
    switch (exchange.kind) {
    case Exchange::Kind::None:
        if (disconnectRequested_)
            Fail(HttpFailure::Kind::Stopped, address.HostHeader(), "Disconnected before the server answered");
        // A closed connection is the cause; a malformed head arrives while it is still open.
        Fail(socket_->state() == QAbstractSocket::UnconnectedState ? HttpFailure::Kind::Closed
                                                                   : HttpFailure::Kind::Other,
             address.HostHeader(),
             parser.Error().empty() ? "The server closed the connection without answering" : parser.Error());
    case Exchange::Kind::Final:
        if (parser.GetState() == HttpResponseParser::State::Failed)
            Fail(socket_->state() == QAbstractSocket::UnconnectedState ? HttpFailure::Kind::Closed
                                                                       : HttpFailure::Kind::Other,
                 address.HostHeader(), parser.Error());
        result.Status = exchange.status;
        result.ContentType = exchange.contentType;
        co_return Outcome::Final;
    case Exchange::Kind::Redirect:
        // The redirect's own body and its errors do not matter.
        if (exchange.location.empty())
            throw HttpError("The server answered \"" + exchange.statusLine + "\" without a Location");
        location = exchange.location;
        result.Status = exchange.status;
        co_return requestNumber >= limits_.MaxRequests ? Outcome::RedirectLimit : Outcome::Redirect;
    case Exchange::Kind::Error:
        result.RefusedStatus = exchange.status;
        result.RetryAfter = exchange.retryAfter;
        break;
    }
    Fail(HttpFailure::Kind::Status, address.HostHeader(), "The server answered \"" + exchange.statusLine + "\"",
         exchange.status);
}

QCoro::Task<HttpClient::Result> HttpClient::Get(Request request, HttpSink& sink) {
    if (busy_) {
        Result busy = Result::Failed("The HTTP client is busy with another request; try again when it has finished");
        busy.Cause = {HttpFailure::Kind::Other, {}, 0, "busy with another request"};
        co_return busy;
    }
    if (request.Cancel.Cancelled()) {
        lastFailure_ = {HttpFailure::Kind::Stopped, {}, 0, {}};
        Result stopped = Result::Failed("Stopped before the request was sent");
        stopped.Cause = lastFailure_;
        co_return stopped;
    }
    failure_ = {};
    busy_ = true;
    disconnectRequested_ = false;
    idleFired_ = false;
    limits_ = request.Limits;
    totalDeadline_ = Clock::now() + std::chrono::milliseconds(std::max(limits_.TotalTimeoutMs, 0));
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{busy_};
    const auto stop = request.Cancel.OnCancel([this] { Disconnect(); });
    Result result;
    std::string currentHost = request.Address;
    try {
        HttpAddress current = ParseHttpAddress(request.Address);
        currentHost = current.HostHeader();
        for (int requestNumber = 1;; ++requestNumber) {
            std::string location;
            const Outcome outcome = co_await Ask(current, sink, requestNumber, location, result, request);
            if (outcome == Outcome::Final)
                break;
            sink.Clear();
            if (outcome == Outcome::RedirectLimit) {
                result.StillRedirecting = true;
                break;
            }
            current = ResolveLocation(current, location);
            currentHost = current.HostHeader();
        }
    } catch (const HttpError& error) {
        result.Error = error.what();
        result.Cause = failure_.What != HttpFailure::Kind::None
                           ? failure_
                           : HttpFailure{HttpFailure::Kind::Other, currentHost, 0, error.what()};
        // A stop cuts the answer short; what the user did is the cause.
        if (disconnectRequested_)
            result.Cause.What = HttpFailure::Kind::Stopped;
    }
    lastFailure_ = result.Cause;
    co_return result;
}

} // namespace vorlith
