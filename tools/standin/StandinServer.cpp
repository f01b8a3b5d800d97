#include "StandinServer.h"

#include "ChallengeImage.h"
#include "StandinPages.h"
#include "StandinSources.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <dirent.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vorlith::standin {

namespace {

constexpr std::size_t MaxKeptChallenges = 10000;
constexpr std::string_view SuggestionPath = "/";
constexpr std::string_view AnswerPath = "/keyword-suggestion-tool.html";
constexpr std::string_view ImagePath = "/captcha.png";
constexpr std::string_view SearchPath = "/search";
constexpr std::string_view MsnPath = "/results.aspx";
constexpr std::string_view UpdatePath = "/liveupdate/vorlith/mainappupdate.inf";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Query values as a form sends them: "+" is a space, %XX a byte.
std::string DecodeQueryValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

struct Target {
    std::string Path;
    std::map<std::string, std::string> Query; // the first value of each key
};

Target ReadTarget(std::string_view raw) {
    Target target;
    raw = raw.substr(0, raw.find('#'));
    const auto question = raw.find('?');
    target.Path = std::string(raw.substr(0, question));
    if (question == std::string_view::npos)
        return target;
    std::string_view query = raw.substr(question + 1);
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto equals = pair.find('=');
        const std::string key = DecodeQueryValue(pair.substr(0, equals));
        const std::string value =
            equals == std::string_view::npos ? std::string() : DecodeQueryValue(pair.substr(equals + 1));
        if (!key.empty())
            target.Query.emplace(key, value);
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return target;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// cpp-httplib gives a handler no access to its connection; find the socket by its two ports and
// close it before anything is written, so the client sees the connection end without an answer.
bool DropConnection(const httplib::Request& request) {
    const auto portOf = [](const sockaddr_storage& address) {
        if (address.ss_family == AF_INET)
            return static_cast<int>(ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port));
        if (address.ss_family == AF_INET6)
            return static_cast<int>(ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port));
        return -1;
    };
    const auto matches = [&](int fd) {
        sockaddr_storage peer{}, local{};
        socklen_t peerLength = sizeof(peer), localLength = sizeof(local);
        return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 &&
               getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
               portOf(peer) == request.remote_port && portOf(local) == request.local_port;
    };
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        int fd = -1;
        const std::string name = entry.path().filename().string();
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec == std::errc() && matches(fd)) {
            shutdown(fd, SHUT_RDWR);
            return true;
        }
    }
    return false;
}

bool HoldsWord(std::string_view keyword, std::string_view word) {
    const std::string normal = NormalizeKeyword(keyword);
    std::string_view rest = normal;
    while (!rest.empty()) {
        const auto space = rest.find(' ');
        if (EqualsIgnoringCase(rest.substr(0, space), word))
            return true;
        if (space == std::string_view::npos)
            break;
        rest.remove_prefix(space + 1);
    }
    return false;
}

// cpp-httplib re-arms its read timeout with every byte, so a client sending a byte now and then
// holds a worker for ever. This queue gives every connection a deadline for its request to arrive
// whole, and a watchdog shuts the connections that miss it. cpp-httplib does not hand the socket
// to the queue, so the queue finds it: the listening thread queues each connection right after
// accepting it, and the new connection is the one socket on our port not yet known.
class DeadlineQueue final : public httplib::TaskQueue {
public:
    DeadlineQueue(int workers, std::chrono::milliseconds deadline, int port)
        : pool_(static_cast<std::size_t>(workers)), deadline_(deadline), port_(port),
          watchdog_([this] { Watch(); }), poller_([this] { Poll(); }) {}
    ~DeadlineQueue() override {
        StopWatching();
        ::close(epoll_);
    }

    void enqueue(std::function<void()> fn) override {
        std::vector<int> fresh;
        {
            const std::lock_guard lock(lock_);
            fresh = NewConnections();
            for (const int sock : fresh)
                open_[sock] = {std::chrono::steady_clock::now() + deadline_,
                               std::make_shared<std::atomic<bool>>(true)};
            // A worker only for a connection whose request head is in: a slow client waits here,
            // in the poller, and cannot hold up the others.
            if (fresh.size() == 1) {
                epoll_event event{};
                event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
                event.data.fd = fresh[0];
                waiting_[fresh[0]] = std::move(fn);
                if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fresh[0], &event) == 0)
                    return;
                fn = std::move(waiting_[fresh[0]]);
                waiting_.erase(fresh[0]);
            }
        }
        Run(std::move(fn), fresh);
    }

    void Run(std::function<void()> fn, std::vector<int> fresh) {
        pool_.enqueue([this, fn = std::move(fn), fresh] {
            std::shared_ptr<std::atomic<bool>> timed;
            {
                const std::lock_guard lock(lock_);
                if (fresh.size() == 1 && open_.count(fresh[0]))
                    timed = open_[fresh[0]].Timed;
            }
            current_ = timed.get();
            fn();
            current_ = nullptr;
            const std::lock_guard lock(lock_);
            for (const int sock : fresh)
                open_.erase(sock);
        });
    }
    void shutdown() override {
        StopWatching();
        // What still waits for its head is closed by the task that owns it.
        std::map<int, std::function<void()>> left;
        {
            const std::lock_guard lock(lock_);
            left.swap(waiting_);
        }
        for (auto& [sock, fn] : left) {
            ::shutdown(sock, SHUT_RDWR);
            Run(std::move(fn), {sock});
        }
        pool_.shutdown();
    }

    // From a handler: its request has arrived, so its connection is no longer timed.
    static void RequestArrived() {
        if (current_)
            *current_ = false;
    }

private:
    struct Entry {
        std::chrono::steady_clock::time_point Deadline;
        std::shared_ptr<std::atomic<bool>> Timed;
    };

    // Called for every connection accepted, so it allocates nothing per descriptor: with hundreds
    // open, a scan through std::filesystem cost more than the requests themselves.
    std::vector<int> NewConnections() const {
        std::vector<int> found;
        DIR* folder = ::opendir("/proc/self/fd");
        if (!folder)
            return found;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string_view name(entry->d_name);
            int fd = -1;
            if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc() || fd == ::dirfd(folder) ||
                open_.count(fd))
                continue;
            sockaddr_in local{}, peer{};
            socklen_t length = sizeof local;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
                local.sin_family != AF_INET || ntohs(local.sin_port) != port_)
                continue;
            length = sizeof peer;
            if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0)
                found.push_back(fd);
        }
        ::closedir(folder);
        return found;
    }

    // True once the request head is in, the peer has gone, or the head is too long to wait for.
    static bool HeadIn(int sock) {
        char buffer[16384];
        const ssize_t got = ::recv(sock, buffer, sizeof buffer, MSG_PEEK | MSG_DONTWAIT);
        if (got < 0)
            return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
        const std::string_view seen(buffer, static_cast<std::size_t>(got));
        return got == 0 || got == sizeof buffer || seen.find("\r\n\r\n") != std::string_view::npos ||
               seen.find("\n\n") != std::string_view::npos;
    }

    void Poll() {
        epoll_event events[64];
        while (!quit_) {
            const int count = ::epoll_wait(epoll_, events, 64, 50);
            std::vector<std::pair<int, std::function<void()>>> ready;
            {
                const std::lock_guard lock(lock_);
                const auto now = std::chrono::steady_clock::now();
                const auto take = [&](int sock) {
                    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, sock, nullptr);
                    ready.emplace_back(sock, std::move(waiting_[sock]));
                    waiting_.erase(sock);
                };
                for (int i = 0; i < count; ++i)
                    if (waiting_.count(events[i].data.fd) && HeadIn(events[i].data.fd))
                        take(events[i].data.fd);
                std::vector<int> late;
                for (const auto& [sock, fn] : waiting_)
                    if (open_.count(sock) && now >= open_[sock].Deadline)
                        late.push_back(sock);
                for (const int sock : late) {
                    *open_[sock].Timed = false;
                    ::shutdown(sock, SHUT_RDWR);
                    take(sock);
                }
            }
            for (auto& [sock, fn] : ready)
                Run(std::move(fn), {sock});
        }
    }

    void Watch() {
        std::unique_lock lock(lock_);
        while (!quit_) {
            wake_.wait_for(lock, std::chrono::milliseconds(50));
            const auto now = std::chrono::steady_clock::now();
            for (auto& [sock, entry] : open_)
                if (*entry.Timed && now >= entry.Deadline) {
                    *entry.Timed = false;
                    ::shutdown(sock, SHUT_RDWR);
                }
        }
    }
    void StopWatching() {
        {
            const std::lock_guard lock(lock_);
            quit_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
        if (poller_.joinable())
            poller_.join();
    }

    httplib::ThreadPool pool_;
    const std::chrono::milliseconds deadline_;
    const int port_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::atomic<bool> quit_ = false;
    std::map<int, Entry> open_;
    std::map<int, std::function<void()>> waiting_; // connections whose head is not in yet
    int epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    std::thread watchdog_;
    std::thread poller_;
    static thread_local std::atomic<bool>* current_;
};

thread_local std::atomic<bool>* DeadlineQueue::current_ = nullptr;

} // namespace

StandinServer::StandinServer(Options options)
    : options_(std::move(options)), server_(std::make_unique<httplib::Server>()),
      tokenState_(Mix(options_.Seed)) {}

StandinServer::~StandinServer() {
    Stop();
}

int StandinServer::Start() {
    if (thread_.joinable())
        return port_;
    // cpp-httplib's default SO_REUSEPORT would let a second stand-in share the port silently.
    server_->set_socket_options([this](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        listenSocket_ = socket;
    });
    // Enough workers that a few slow clients leave room for the program; one request per
    // connection, so that the deadline covers every request.
    server_->new_task_queue = [this] {
        return new DeadlineQueue(options_.Workers, std::chrono::milliseconds(options_.RequestDeadlineMs),
                                 port_);
    };
    server_->set_keep_alive_max_count(1);
    server_->set_keep_alive_timeout(1);
    server_->set_read_timeout(5);
    server_->set_write_timeout(5);
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    port_ = options_.Port == 0 ? server_->bind_to_any_port("127.0.0.1")
                               : (server_->bind_to_port("127.0.0.1", options_.Port) ? options_.Port : -1);
    if (port_ <= 0) {
        port_ = -1;
        return -1;
    }
    // cpp-httplib listens with a backlog of 5: a burst of connections would see refusals and
    // retries of a second or more. Listening again only raises it.
    if (listenSocket_ >= 0)
        ::listen(listenSocket_, 1024);
    listenEnded_ = false;
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        listenEnded_ = true;
    });
    // A stop that came before the loop polls would be lost, so return only once it runs.
    while (!server_->is_running() && !listenEnded_)
        std::this_thread::yield();
    return port_;
}

void StandinServer::Stop() {
    {
        const std::lock_guard lock(stateLock_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

bool StandinServer::WaitUnlessStopping(std::chrono::steady_clock::duration duration) {
    std::unique_lock lock(stateLock_);
    return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

std::string StandinServer::Token(int hexDigits) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string token;
    tokenState_ = Mix(tokenState_);
    std::uint64_t bits = tokenState_;
    for (int i = 0; i < hexDigits; ++i) {
        if (i == 16)
            bits = tokenState_ = Mix(tokenState_);
        token.push_back(digits[bits & 15]);
        bits >>= 4;
    }
    return token;
}

void StandinServer::Handle(const httplib::Request& request, httplib::Response& response) {
    DeadlineQueue::RequestArrived();
    const std::uint64_t number = requests_++;
    if (options_.LatencyMs > 0 && !WaitUnlessStopping(std::chrono::milliseconds(options_.LatencyMs))) {
        response.status = 503;
        return;
    }
    // The fault of the Nth request depends only on N and the seed.
    const std::uint64_t dice = Mix(options_.Seed ^ Mix(number + 1));
    const bool fail =
        options_.FailRate > 0 && static_cast<double>(dice % 1'000'000) < options_.FailRate * 1'000'000.0;
    const bool drop = fail && ((dice >> 40) & 1) != 0;
    if (drop && DropConnection(request)) {
        if (OnLog)
            OnLog(request.method + " " + request.target + " -> dropped");
        response.status = 500; // written to a closed connection: never seen
        return;
    }
    Reply reply;
    if (fail)
        reply = {500, "text/html", "<html><body><h1>500 Internal Server Error</h1></body></html>\n"};
    else
        reply = Route(request, number);
    if (OnLog)
        OnLog(request.method + " " + request.target + " -> " + std::to_string(reply.Status));
    Deliver(response, std::move(reply));
}

StandinServer::Reply StandinServer::Route(const httplib::Request& request, std::uint64_t) {
    const Target target = ReadTarget(request.target.empty() ? request.path : request.target);
    const auto value = [&target](const std::string& key) {
        const auto found = target.Query.find(key);
        return found == target.Query.end() ? std::string() : found->second;
    };
    const auto has = [&target](const std::string& key) { return target.Query.count(key) != 0; };

    // Addresses on the page must reach this server as the client reached it.
    std::string host = request.get_header_value("Host");
    if (host.empty() ||
        host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-:[]") !=
            std::string::npos)
        host = "127.0.0.1:" + std::to_string(port_);

    const std::string& path = target.Path;
    if (path.starts_with(SourcesPathPrefix)) {
        // ?delay=MS holds the answer back, as a distant service would.
        int delay = 0;
        const std::string wait = value("delay");
        std::from_chars(wait.data(), wait.data() + wait.size(), delay);
        if (delay > 0 && !WaitUnlessStopping(std::chrono::milliseconds(std::min(delay, 60'000))))
            return {503, "text/html", {}, {}};
        SourceReply answer = SourceAnswer(std::string_view(path).substr(SourcesPathPrefix.size()), value("q"),
                                          value("callback"));
        return {answer.Status, std::move(answer.ContentType), std::move(answer.Body), std::move(answer.RetryAfter)};
    }
    if (path == SuggestionPath && has("seed"))
        return SuggestionOrChallenge(value("seed"), host);
    if (path == AnswerPath)
        return AnswerChallenge(value("password"), value("random"), value("seed"), host);
    if (path == ImagePath)
        return ChallengeImage(value("random"), value("seed"));
    if (path == SearchPath)
        return {200, "text/html",
                has("q") || !has("p") ? ResultsPage(Engine::Google, value("q"))
                                      : ResultsPage(Engine::Yahoo, value("p"))};
    if (path == MsnPath)
        return {200, "text/html", ResultsPage(Engine::Msn, value("q"))};
    if (path == UpdatePath)
        return {200, "text/plain", UpdateDescription(options_.Version)};
    if (path == "/help/" || path == "/help")
        return {200, "text/html", HelpPage()};
    return {200, "text/html", AffiliatePage(path)};
}

StandinServer::Reply StandinServer::SuggestionOrChallenge(const std::string& keyword,
                                                          const std::string& host) {
    bool challenge = !options_.ChallengeWord.empty() && HoldsWord(keyword, options_.ChallengeWord);
    {
        const std::lock_guard lock(stateLock_);
        ++suggestionRequests_;
        challenge =
            challenge || (options_.ChallengeEvery > 0 &&
                          suggestionRequests_ % static_cast<std::uint64_t>(options_.ChallengeEvery) == 0);
    }
    if (challenge)
        return NewChallenge(keyword, host);
    return {200, "text/html", SuggestionPage(keyword)};
}

StandinServer::Reply StandinServer::NewChallenge(const std::string& keyword, const std::string& host) {
    static constexpr char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789"; // no 0/O or 1/I
    std::string random, seed, characters;
    {
        const std::lock_guard lock(stateLock_);
        do
            random = Token(12);
        while (challenges_.count(random) != 0);
        seed = Token(8);
        const std::string pick = Token(10);
        for (int i = 0; i < 5; ++i)
            characters.push_back(alphabet[(HexValue(pick[2 * i]) * 16 + HexValue(pick[2 * i + 1])) % 32]);
        challenges_[random] = {seed, characters, keyword, false};
        challengeOrder_.push_back(random);
        if (challengeOrder_.size() > MaxKeptChallenges) {
            challenges_.erase(challengeOrder_.front());
            challengeOrder_.pop_front();
        }
    }
    if (OnChallenge)
        OnChallenge(random, seed, characters);
    const std::string image =
        "http://" + host + std::string(ImagePath) + "?random=" + random + "&seed=" + seed;
    return {200, "text/html", ChallengePage(keyword, random, seed, image)};
}

StandinServer::Reply StandinServer::AnswerChallenge(const std::string& password, const std::string& random,
                                                    const std::string& seed, const std::string& host) {
    Challenge challenge;
    bool open = false;
    {
        const std::lock_guard lock(stateLock_);
        const auto found = challenges_.find(random);
        if (found != challenges_.end()) {
            open = !found->second.Answered && found->second.Seed == seed;
            challenge = found->second;
            // Every challenge is answered once, right or wrong; a late answer still knows its keyword.
            found->second.Answered = true;
        }
    }
    if (open && EqualsIgnoringCase(password, challenge.Characters))
        return {200, "text/html", SuggestionPage(challenge.Keyword)};
    return NewChallenge(challenge.Keyword, host);
}

StandinServer::Reply StandinServer::ChallengeImage(const std::string& random, const std::string& seed) {
    std::string characters;
    {
        const std::lock_guard lock(stateLock_);
        const auto found = challenges_.find(random);
        if (found == challenges_.end() || found->second.Answered || found->second.Seed != seed)
            return {404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>\n"};
        characters = found->second.Characters;
    }
    const QByteArray png = DrawChallengeImage(characters, Hash(random + seed));
    return {200, "image/png", std::string(png.constData(), static_cast<std::size_t>(png.size()))};
}

void StandinServer::Deliver(httplib::Response& response, Reply reply) {
    response.status = reply.Status;
    if (!reply.RetryAfter.empty())
        response.set_header("Retry-After", reply.RetryAfter);
    if (options_.DripBytesPerSecond == 0) {
        response.set_content(reply.Body, reply.ContentType);
        return;
    }
    // Slow bodies: small pieces, each sent when the rate allows it.
    auto body = std::make_shared<const std::string>(std::move(reply.Body));
    const std::uint64_t rate = options_.DripBytesPerSecond;
    const auto start = std::chrono::steady_clock::now();
    response.set_content_provider(
        body->size(), reply.ContentType,
        [this, body, rate, start](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::size_t chunk = std::min<std::size_t>(length, std::max<std::uint64_t>(1, rate / 20));
            const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                         std::chrono::duration<double>(static_cast<double>(offset + chunk) /
                                                                       static_cast<double>(rate)));
            if (!WaitUnlessStopping(due - std::chrono::steady_clock::now()))
                return false;
            return sink.write(body->data() + offset, chunk);
        });
}

} // namespace vorlith::standin
