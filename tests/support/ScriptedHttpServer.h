#pragma once
// An HTTP server on 127.0.0.1 for tests: each connection plays a scripted raw answer (in chosen
// pieces, with pauses, closes mid-body, hooks run inside the client's wait) once it has read a
// whole request head, and records every raw request it got.

#include <QObject>
#include <QTcpServer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTcpSocket;

namespace vorlith::test {

class Reply {
public:
    // Sends the bytes as they are.
    Reply& Send(std::string bytes);
    // Sends the bytes in pieces of the given size, each one after a return to the event loop.
    Reply& SendInPieces(const std::string& bytes, std::size_t piece);
    // Waits before the next step.
    Reply& Pause(int ms);
    // Runs a hook (in the test's thread, inside whatever event loop is running).
    Reply& Then(std::function<void()> hook);
    // Closes the connection; without it the connection stays open once the steps have run.
    Reply& Close();

    // A complete answer with a Content-Length.
    static std::string Answer(int status, const std::string& body, const std::string& headers = {});
    // A chunked answer of the given chunks.
    static std::string Chunked(const std::vector<std::string>& chunks, const std::string& headers = {});

private:
    friend class ScriptedHttpServer;
    struct Step {
        enum class Kind { Send, Pause, Then, Close } What;
        std::string Bytes;
        int Ms = 0;
        std::function<void()> Hook;
    };
    std::vector<Step> steps_;
};

class ScriptedHttpServer : public QObject {
public:
    ScriptedHttpServer();
    ~ScriptedHttpServer() override;

    // The script of the next connection not yet scripted.
    Reply& Next();
    // What a connection plays once the scripts have run out (e.g. an endless redirect).
    Reply& Otherwise();

    std::uint16_t Port() const;
    std::string Url(const std::string& target = "/") const;

    // The raw request heads, one per connection, in arrival order.
    std::vector<std::string> Requests;
    int Connections = 0;
    // Connections that the client closed or aborted.
    int ClosedByClient = 0;

private:
    struct Connection;
    void OnNewConnection();
    void Run(const std::shared_ptr<Connection>& connection);

    QTcpServer server_;
    std::deque<Reply> scripts_;
    std::size_t nextScript_ = 0;
    Reply otherwise_;
    bool hasOtherwise_ = false;
    std::vector<std::shared_ptr<Connection>> connections_;
};

} // namespace vorlith::test
