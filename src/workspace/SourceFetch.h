#pragma once
// Asking an entry of sources.ini: its own headers, the body kept in memory, and for the entries the
// file defines the polite rules (back off on 429 and 503, a Blocked text is a block).

#include "net/HttpClient.h"
#include "workspace/Sources.h"

#include <qcoro/qcorotask.h>
#include <random>
#include <string>

namespace vorlith {

// The final body in memory; past the cap the request fails instead of filling memory.
class MemorySink final : public HttpSink {
public:
    explicit MemorySink(std::size_t cap = 64u << 20) : cap_(cap) {}
    void Write(std::string_view bytes) override;
    void Clear() override { Bytes.clear(); }
    std::string Bytes;

private:
    std::size_t cap_;
};

struct SourceAnswer {
    enum class Outcome { Read, Failed, Blocked, Stopped } What = Outcome::Failed;
    std::string Text;   // built-ins: the page text as FetchPage gives it; others: UTF-8
    std::string Reason; // why not Read, e.g. "429 Too Many Requests"
    int Requests = 0;   // sent, retries included
};

// A 429 or 503 is asked again this many more times.
inline constexpr int MaxRetries = 3;

// The request of an entry, with its headers and limits.
HttpClient::Request EntryRequest(const HttpClient& client, const SourceEntry& entry, std::string address,
                                 const CancelToken& cancel);

// One request for a built-in entry; for the file's entries, up to MaxRetries more after a 429 or
// 503 (waiting for Retry-After), and a 200 page holding a Blocked text is a block. keepAlive leaves
// the connection open for the client's next request to the host.
QCoro::Task<SourceAnswer> AskEntry(HttpClient& client, const SourceEntry& entry, std::string address,
                                   CancelToken cancel, bool keepAlive = false);

// Delay +-25%, so that several copies of the program do not ask in step.
int Jittered(int delayMs, std::mt19937& random);

// Waits ms; false as soon as the token is cancelled.
QCoro::Task<bool> PauseUnlessCancelled(int ms, CancelToken cancel);

// "Name: blocked (reason)", as the status bar and the terminal say it.
std::string BlockedText(const SourceEntry& entry, std::string_view reason);

} // namespace vorlith
