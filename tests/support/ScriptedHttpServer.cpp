#include "support/ScriptedHttpServer.h"

#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace vorlith::test {

Reply& Reply::Send(std::string bytes) {
    steps_.push_back({Step::Kind::Send, std::move(bytes), 0, {}});
    return *this;
}

Reply& Reply::SendInPieces(const std::string& bytes, std::size_t piece) {
    for (std::size_t pos = 0; pos < bytes.size(); pos += piece) {
        Send(bytes.substr(pos, piece));
        Pause(1);
    }
    return *this;
}

Reply& Reply::Pause(int ms) {
    steps_.push_back({Step::Kind::Pause, {}, ms, {}});
    return *this;
}

Reply& Reply::Then(std::function<void()> hook) {
    steps_.push_back({Step::Kind::Then, {}, 0, std::move(hook)});
    return *this;
}

Reply& Reply::Close() {
    steps_.push_back({Step::Kind::Close, {}, 0, {}});
    return *this;
}

std::string Reply::Answer(int status, const std::string& body, const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Reply::Chunked(const std::vector<std::string>& chunks, const std::string& headers) {
    std::string text = "HTTP/1.1 200 OK\r\n" + headers + "Transfer-Encoding: chunked\r\n\r\n";
    char size[32];
    for (const auto& chunk : chunks) {
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        text += size + chunk + "\r\n";
    }
    return text + "0\r\n\r\n";
}

struct ScriptedHttpServer::Connection {
    QTcpSocket* Socket = nullptr;
    std::string Received;
    bool Started = false;
    bool Closed = false;
    Reply Script;
    std::size_t Step = 0;
};

ScriptedHttpServer::ScriptedHttpServer() {
    connect(&server_, &QTcpServer::newConnection, this, &ScriptedHttpServer::OnNewConnection);
    if (!server_.listen(QHostAddress::LocalHost, 0))
        ADD_FAILURE() << "the scripted server cannot listen: " << server_.errorString().toStdString();
}

ScriptedHttpServer::~ScriptedHttpServer() {
    for (auto& connection : connections_) {
        connection->Closed = true;
        if (connection->Socket) {
            QObject::disconnect(connection->Socket, nullptr, this, nullptr);
            connection->Socket->abort();
            delete connection->Socket;
            connection->Socket = nullptr;
        }
    }
}

Reply& ScriptedHttpServer::Next() {
    return scripts_.emplace_back();
}

Reply& ScriptedHttpServer::Otherwise() {
    hasOtherwise_ = true;
    return otherwise_;
}

std::uint16_t ScriptedHttpServer::Port() const {
    return server_.serverPort();
}

std::string ScriptedHttpServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(Port()) + target;
}

void ScriptedHttpServer::OnNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(nullptr);
        auto connection = std::make_shared<Connection>();
        connection->Socket = socket;
        ++Connections;
        if (nextScript_ < scripts_.size())
            connection->Script = scripts_[nextScript_++];
        else if (hasOtherwise_)
            connection->Script = otherwise_;
        connections_.push_back(connection);
        std::weak_ptr<Connection> weak = connection;
        connect(socket, &QTcpSocket::readyRead, this, [this, weak] {
            auto c = weak.lock();
            if (!c || c->Closed)
                return;
            c->Received += c->Socket->readAll().toStdString();
            if (!c->Started && c->Received.find("\r\n\r\n") != std::string::npos) {
                c->Started = true;
                Requests.push_back(c->Received.substr(0, c->Received.find("\r\n\r\n") + 4));
                Run(c);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, weak] {
            auto c = weak.lock();
            if (c && !c->Closed) {
                c->Closed = true;
                ++ClosedByClient;
            }
        });
    }
}

void ScriptedHttpServer::Run(const std::shared_ptr<Connection>& c) {
    while (!c->Closed && c->Step < c->Script.steps_.size()) {
        const Reply::Step& step = c->Script.steps_[c->Step++];
        switch (step.What) {
        case Reply::Step::Kind::Send:
            c->Socket->write(step.Bytes.data(), static_cast<qint64>(step.Bytes.size()));
            break;
        case Reply::Step::Kind::Pause: {
            std::weak_ptr<Connection> weak = c;
            QTimer::singleShot(step.Ms, this, [this, weak] {
                if (auto locked = weak.lock())
                    Run(locked);
            });
            return;
        }
        case Reply::Step::Kind::Then:
            step.Hook();
            break;
        case Reply::Step::Kind::Close:
            c->Closed = true;
            c->Socket->disconnectFromHost();
            return;
        }
    }
}

} // namespace vorlith::test
