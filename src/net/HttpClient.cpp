#include "net/HttpClient.h"

#include "net/HttpResponseParser.h"
#include "platform/QStringBytes.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <optional>

namespace vorlith {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1'000'000'000));
}

} // namespace

// Routes one answer: the final answer's body to the sink, an error answer's body to a buffer of
// our own, a redirect's body nowhere; progress goes out for every body.
struct HttpClient::Exchange final : HttpResponseListener {
    enum class Kind { None, Final, Redirect, Error };

    Exchange(HttpClient& client, HttpSink& sink, const HttpAddress& address)
        : client(client), sink(sink), address(address) {}

    void OnHead(const HttpResponseHead& head, BodyFraming) override {
        client.cookies_.StoreFromAnswer(head, address);
        statusLine = head.StatusLine;
        const auto where = head.Find("Location");
        const int status = head.Status;
        if ((status >= 300 && status < 400 && status != 304) || where) {
            kind = Kind::Redirect;
            location = std::string(where.value_or(std::string_view{}));
            bodyDeadline = Clock::now() + std::chrono::milliseconds(client.settings_.RedirectBodyMs);
        } else if (status >= 200 && status < 300) {
            kind = Kind::Final;
        } else {
            kind = Kind::Error;
            bodyDeadline = Clock::now() + std::chrono::milliseconds(client.settings_.ErrorBodyMs);
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
    std::string location;
    std::string errorBody;
    std::optional<Clock::time_point> bodyDeadline;
};

HttpClient::HttpClient(QObject* parent) : QObject(parent) {}

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
    woken_ = true;
    if (loop_)
        loop_->quit();
}

void HttpClient::Wait(int idleMs) {
    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    connect(&tick, &QTimer::timeout, this, [this] {
        idleFired_ = true;
        Wake();
    });
    tick.start(std::max(idleMs, 0));
    woken_ = false;
    QEventLoop* const outer = loop_;
    loop_ = &loop;
    loop.exec();
    loop_ = outer;
    // Only the application's own exit ends our loop without waking us.
    if (!woken_)
        loopInterrupted_ = true;
}

void HttpClient::Connect(const HttpAddress& address) {
    DropSocket();
    // A socket made in a thread without an event dispatcher never hears that it connected and
    // waits out the whole time limit; threads not started by Qt get one from their first event
    // loop, which would come too late.
    if (!QAbstractEventDispatcher::instance())
        QEventLoop ensureDispatcher;
    const auto host = ToQString(address.Host);
    if (address.Secure) {
        if (!QSslSocket::supportsSsl())
            throw HttpError("Secure connections are not available on this system");
        auto ssl = std::make_unique<QSslSocket>();
        connect(ssl.get(), &QSslSocket::encrypted, this, [this] { Wake(); });
        socket_ = std::move(ssl);
    } else {
        socket_ = std::make_unique<QTcpSocket>();
    }
    QAbstractSocket* socket = socket_.get();
    // Unbounded, a fast server fills memory while a progress handler runs the event loop.
    socket->setReadBufferSize(settings_.ReadBuffer);
    connect(socket, &QAbstractSocket::connected, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::readyRead, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::disconnected, this, [this] { Wake(); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this] { Wake(); });
    if (address.Secure)
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(host, address.Port);
    else
        socket->connectToHost(host, address.Port);

    const auto deadline = Clock::now() + std::chrono::milliseconds(settings_.ConnectTimeoutMs);
    for (;;) {
        if (disconnectRequested_)
            throw HttpError("Disconnected while connecting to " + address.HostHeader());
        if (loopInterrupted_)
            throw HttpError("The program is closing");
        const bool ready = address.Secure ? static_cast<QSslSocket*>(socket_.get())->isEncrypted()
                                          : socket_->state() == QAbstractSocket::ConnectedState;
        if (ready)
            return;
        if (socket_->state() == QAbstractSocket::UnconnectedState)
            throw HttpError("Could not connect to " + address.HostHeader() + ": " +
                            ToBytes(socket_->errorString()));
        if (Clock::now() >= deadline) {
            DropSocket();
            throw HttpError("Timed out connecting to " + address.HostHeader());
        }
        Wait(std::min(settings_.ConnectIdleMs, MsUntil(deadline)));
        if (idleFired_) {
            idleFired_ = false;
            if (OnIdle)
                OnIdle();
        }
    }
}

HttpClient::Outcome HttpClient::Request(const HttpAddress& address, HttpSink& sink, int requestNumber,
                                        std::string& location) {
    // A line break smuggled into an address would forge headers or a second request.
    for (const std::string* part : {&address.Host, &address.Target})
        if (part->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw HttpError("The address holds a line break or NUL: " + address.Text());
    Connect(address);

    std::string request = "GET " + address.Target + " HTTP/1.1\r\n";
    request += "Content-Type: ";
    request += ContentType;
    request += "\r\nHost: " + address.HostHeader() + "\r\nAccept: ";
    request += Accept;
    request += "\r\nUser-Agent: ";
    request += UserAgent;
    request += "\r\n";
    if (const std::string cookie = cookies_.CookieHeader(address); !cookie.empty())
        request += "Cookie: " + cookie + "\r\n";
    request += "\r\n";
    socket_->write(request.data(), static_cast<qint64>(request.size()));

    Exchange exchange(*this, sink, address);
    HttpResponseParser::Limits limits;
    limits.MaxLine = settings_.MaxLine;
    limits.MaxBody = settings_.MaxBody;
    HttpResponseParser parser(exchange, limits);
    parser_ = &parser;
    struct Unhook {
        HttpResponseParser*& parser;
        ~Unhook() { parser = nullptr; }
    } unhook{parser_};

    // Connecting has its own limit; from here on only silence counts.
    auto silentSince = Clock::now();
    for (;;) {
        if (disconnectRequested_) {
            parser.Finish();
            break;
        }
        if (socket_->bytesAvailable() > 0) {
            silentSince = Clock::now();
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
            parser.Finish();
            break;
        }
        if (loopInterrupted_)
            throw HttpError("The program is closing");
        int idle = settings_.ReadIdleMs;
        if (exchange.bodyDeadline)
            idle = std::min(idle, MsUntil(*exchange.bodyDeadline));
        if (settings_.ReadTimeoutMs > 0) {
            const auto giveUp = silentSince + std::chrono::milliseconds(settings_.ReadTimeoutMs);
            if (Clock::now() >= giveUp) {
                gaveUp_ = true;
                DropSocket();
                throw HttpError("Gave up: " + address.HostHeader() + " sent nothing for " +
                                std::to_string(settings_.ReadTimeoutMs / 1000) + " seconds");
            }
            idle = std::min(idle, std::max(MsUntil(giveUp), 1));
        }
        Wait(idle);
        if (idleFired_) {
            idleFired_ = false;
            if (OnIdle && !(exchange.bodyDeadline && Clock::now() >= *exchange.bodyDeadline))
                OnIdle();
        }
    }

    switch (exchange.kind) {
    case Exchange::Kind::None:
        throw HttpError(disconnectRequested_     ? "Disconnected before the server answered"
                        : parser.Error().empty() ? "The server closed the connection without answering"
                                                 : parser.Error());
    case Exchange::Kind::Final:
        if (parser.GetState() == HttpResponseParser::State::Failed)
            throw HttpError(parser.Error());
        return Outcome::Final;
    case Exchange::Kind::Redirect:
        // The redirect's own body and its errors do not matter.
        if (exchange.location.empty())
            throw HttpError("The server answered \"" + exchange.statusLine + "\" without a Location");
        location = exchange.location;
        return requestNumber >= settings_.MaxRequests ? Outcome::RedirectLimit : Outcome::Redirect;
    case Exchange::Kind::Error:
        break;
    }
    throw HttpError("The server answered \"" + exchange.statusLine + "\"");
}

void HttpClient::Get(std::string_view address, HttpSink& sink) {
    if (busy_)
        throw HttpError("The HTTP client is busy with another request; try again when it has finished");
    HttpAddress current = ParseHttpAddress(address);
    busy_ = true;
    disconnectRequested_ = false;
    loopInterrupted_ = false;
    idleFired_ = false;
    struct Release {
        bool& busy;
        ~Release() { busy = false; }
    } release{busy_};
    for (int requestNumber = 1;; ++requestNumber) {
        std::string location;
        const Outcome outcome = Request(current, sink, requestNumber, location);
        if (outcome == Outcome::Final)
            return;
        sink.Clear();
        if (outcome == Outcome::RedirectLimit)
            return;
        current = ResolveLocation(current, location);
    }
}

} // namespace vorlith
