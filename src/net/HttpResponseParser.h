#pragma once
// Frames one HTTP/1.1 answer to a GET from the bytes of a connection, fed in pieces of any size.
// Plain C++ so that it can be fuzzed and tested without sockets.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

struct HttpHeader {
    std::string Name;
    std::string Value;
};

struct HttpResponseHead {
    int Status = 0;
    std::string StatusLine; // e.g. "HTTP/1.1 404 Not Found"
    std::vector<HttpHeader> Headers;

    // The first header of that name (names match regardless of case).
    std::optional<std::string_view> Find(std::string_view name) const;
};

enum class BodyFraming { None, Length, Chunked, UntilClose };

// Told what the parser finds, in order. A body transfer is always OnBodyBegin, any number of
// OnBodyData/OnBodyProgress pairs, then OnBodyEnd, even when the answer then fails. A chunked body
// is one transfer per chunk.
class HttpResponseListener {
public:
    // The head of the answer (an interim "100 Continue" is skipped, not reported).
    virtual void OnHead(const HttpResponseHead& head, BodyFraming framing) = 0;
    // expected: Content-Length, the chunk's size, or 0 for a body that runs until the close.
    virtual void OnBodyBegin(std::int64_t expected) = 0;
    virtual void OnBodyData(std::string_view bytes) = 0;
    // received: bytes of this transfer so far.
    virtual void OnBodyProgress(std::int64_t received) = 0;
    virtual void OnBodyEnd() = 0;

protected:
    ~HttpResponseListener() = default;
};

class HttpResponseParser {
public:
    struct Limits {
        std::size_t MaxLine = 16384;               // a status, header or chunk line, without its CR LF
        std::size_t MaxHead = 1024 * 1024;         // the whole head: a server cannot grow it forever
        std::int64_t MaxBody = 64LL * 1024 * 1024; // the whole body with its chunk lines and trailer
        std::size_t MaxChunkExtensions = 16384;    // all chunk extensions of one body together
    };
    enum class State { Head, Body, Complete, Failed };

    explicit HttpResponseParser(HttpResponseListener& listener) : HttpResponseParser(listener, Limits{}) {}
    HttpResponseParser(HttpResponseListener& listener, Limits limits);

    // Takes bytes from the connection. Returns how many were used: fewer than given once the answer
    // is complete or failed, or when a listener callback called Pause().
    std::size_t Feed(std::string_view data);
    // The server closed the connection. A body framed by the close ends there; a body short of its
    // Content-Length, or anything else unfinished, fails with the reason.
    void Finish();
    // We closed the connection (a stop): a body framed by Content-Length or by the close ends
    // there without error; anything else unfinished fails.
    void FinishCut();
    // From a listener callback: Feed() returns right after that callback.
    void Pause() { paused_ = true; }

    State GetState() const { return state_; }
    bool Done() const { return state_ == State::Complete || state_ == State::Failed; }
    const std::string& Error() const { return error_; }
    const HttpResponseHead& Head() const { return head_; }
    BodyFraming Framing() const { return framing_; }

private:
    enum class Step {
        StatusLine,
        HeaderLine,
        LengthBody,
        CloseBody,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailer
    };

    // Collects one line; true when it is complete (in line_, without CR LF). Advances pos.
    bool TakeLine(std::string_view data, std::size_t& pos);
    void OnLine(std::string_view line);
    void OnStatusLine(std::string_view line);
    void OnHeaderLine(std::string_view line);
    void OnHeadEnd();
    void OnChunkSizeLine(std::string_view line);
    void TakeBody(std::string_view bytes);
    void EndTransfer();
    void Fail(std::string message);
    void Complete();

    HttpResponseListener& listener_;
    Limits limits_;
    State state_ = State::Head;
    Step step_ = Step::StatusLine;
    std::string error_;
    HttpResponseHead head_;
    BodyFraming framing_ = BodyFraming::None;
    std::string line_;
    std::size_t headBytes_ = 0;
    bool sawBytes_ = false;
    bool inTransfer_ = false;
    std::int64_t remaining_ = 0;     // of the Content-Length body or of the current chunk
    std::int64_t received_ = 0;      // of the current transfer
    std::int64_t bodyTotal_ = 0;     // every byte after the head, framing included
    std::size_t extensionBytes_ = 0; // chunk extensions so far
    bool paused_ = false;
};

} // namespace vorlith
