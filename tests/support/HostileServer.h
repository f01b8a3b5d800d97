#pragma once
// A server on 127.0.0.1 that misbehaves on purpose, on a thread of its own so that it keeps going
// whatever the client's event loop does: it floods, stays silent or sends a request by halves.
// Every behaviour ends by itself after a safety time, so a test of a missing limit fails instead
// of hanging.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vorlith::test {

class HostileServer {
public:
    // Runs for each accepted connection in turn; returns when done or when Stopping() is true.
    using Behaviour = std::function<void(HostileServer& server, int fd)>;

    explicit HostileServer(Behaviour behaviour);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(const std::string& target = "/") const;
    bool Stopping() const { return stop_; }

    // Reads until the end of a request head (or the peer closes, or the server stops).
    bool ReadRequestHead(int fd);
    // Sends all bytes unless the peer has gone or the server stops; false then.
    bool SendAll(int fd, const std::string& bytes);

    std::atomic<int> Connections{0};
    std::atomic<long long> BytesSent{0};
    // The longest Cookie header of a request read so far.
    std::atomic<std::size_t> LongestCookie{0};

    // An answer head with Transfer-Encoding: chunked, then `chunk` again and again until the
    // client goes or `limit` has passed.
    static Behaviour ChunkFlood(std::string chunk, std::chrono::milliseconds limit);
    // Reads the request and says nothing; closes after `limit`.
    static Behaviour Silent(std::chrono::milliseconds limit);
    // Reads the request, sends `bytes` and closes.
    static Behaviour Answer(std::string bytes);
    // Reads the request, sends `head`, then one byte every `every` until `limit` has passed.
    static Behaviour Trickle(std::string head, std::chrono::milliseconds every, std::chrono::milliseconds limit);

private:
    void Loop();

    int listener_ = -1;
    std::uint16_t port_ = 0;
    Behaviour behaviour_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Connects to 127.0.0.1:port; -1 on failure. For clients that misbehave.
int ConnectLoopback(std::uint16_t port);

// Clients that send the first half of a request and then one byte now and then, on a thread of
// their own, until the server closes on them or they are destroyed.
class SlowClients {
public:
    SlowClients(std::uint16_t port, int count, std::chrono::milliseconds every);
    ~SlowClients();
    SlowClients(const SlowClients&) = delete;
    SlowClients& operator=(const SlowClients&) = delete;

    int Opened() const { return opened_; }
    // How many the server has closed so far.
    int Closed() const { return closed_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> opened_{0};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

} // namespace vorlith::test
