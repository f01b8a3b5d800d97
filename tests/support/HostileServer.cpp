#include "support/HostileServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vorlith::test {

namespace {

constexpr int PollMs = 20;

bool WaitFor(int fd, short events) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, PollMs) > 0;
}

} // namespace

int ConnectLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HostileServer::HostileServer(Behaviour behaviour) : behaviour_(std::move(behaviour)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("HostileServer: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Loop(); });
}

HostileServer::~HostileServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

std::string HostileServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void HostileServer::Loop() {
    while (!stop_) {
        if (!WaitFor(listener_, POLLIN))
            continue;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++Connections;
        behaviour_(*this, fd);
        ::close(fd);
    }
}

bool HostileServer::ReadRequestHead(int fd) {
    std::string head;
    while (!stop_ && head.find("\r\n\r\n") == std::string::npos) {
        if (!WaitFor(fd, POLLIN))
            continue;
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    if (const auto cookie = head.find("\r\nCookie: "); cookie != std::string::npos)
        LongestCookie = std::max<std::size_t>(LongestCookie, head.find("\r\n", cookie + 2) - cookie - 10);
    return !stop_;
}

HostileServer::Behaviour HostileServer::Answer(std::string bytes) {
    return [bytes = std::move(bytes)](HostileServer& server, int fd) {
        if (server.ReadRequestHead(fd))
            server.SendAll(fd, bytes);
    };
}

HostileServer::Behaviour HostileServer::Trickle(std::string head, std::chrono::milliseconds every,
                                                std::chrono::milliseconds limit) {
    return [head = std::move(head), every, limit](HostileServer& server, int fd) {
        if (!server.ReadRequestHead(fd) || !server.SendAll(fd, head))
            return;
        for (const auto end = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < end && server.SendAll(fd, "x");)
            std::this_thread::sleep_for(every);
    };
}

bool HostileServer::SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (stop_)
            return false;
        if (!WaitFor(fd, POLLOUT))
            continue;
        const ssize_t wrote =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (wrote < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return false;
        }
        sent += static_cast<std::size_t>(wrote);
        BytesSent += wrote;
    }
    return true;
}

HostileServer::Behaviour HostileServer::ChunkFlood(std::string chunk, std::chrono::milliseconds limit) {
    return [chunk = std::move(chunk), limit](HostileServer& server, int fd) {
        if (!server.ReadRequestHead(fd) ||
            !server.SendAll(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"))
            return;
        std::string block;
        while (block.size() < 64 * 1024)
            block += chunk;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end && server.SendAll(fd, block)) {
        }
    };
}

HostileServer::Behaviour HostileServer::Silent(std::chrono::milliseconds limit) {
    return [limit](HostileServer& server, int fd) {
        server.ReadRequestHead(fd);
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!server.Stopping() && std::chrono::steady_clock::now() < end) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, PollMs) > 0) {
                char buffer[256];
                if (::recv(fd, buffer, sizeof buffer, 0) <= 0)
                    return; // the client gave up
            }
        }
    };
}

SlowClients::SlowClients(std::uint16_t port, int count, std::chrono::milliseconds every) {
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        const int fd = ConnectLoopback(port);
        if (fd < 0)
            continue;
        const std::string half = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        ::send(fd, half.data(), half.size(), MSG_NOSIGNAL);
        fds.push_back(fd);
    }
    opened_ = static_cast<int>(fds.size());
    thread_ = std::thread([this, fds, every]() mutable {
        std::vector<bool> open(fds.size(), true);
        while (!stop_) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!open[i])
                    continue;
                char buffer[512];
                const ssize_t got = ::recv(fds[i], buffer, sizeof buffer, MSG_DONTWAIT);
                const bool gone = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
                                  ::send(fds[i], "X", 1, MSG_NOSIGNAL) < 0;
                if (gone) {
                    open[i] = false;
                    ++closed_;
                }
            }
            const auto until = std::chrono::steady_clock::now() + every;
            while (!stop_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (const int fd : fds)
            ::close(fd);
    });
}

SlowClients::~SlowClients() {
    stop_ = true;
    thread_.join();
}

} // namespace vorlith::test
