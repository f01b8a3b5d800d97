#include "net/HttpResponseParser.h"

#include <algorithm>
#include <cstring>

namespace vorlith {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool ContainsText(std::string_view text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [](char x, char y) { return Lower(x) == Lower(y); }) != text.end();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string TooLarge(std::int64_t limit) {
    return "The answer is larger than the limit of " + std::to_string(limit) + " bytes";
}

} // namespace

std::optional<std::string_view> HttpResponseHead::Find(std::string_view name) const {
    for (const auto& header : Headers)
        if (SameText(header.Name, name))
            return header.Value;
    return std::nullopt;
}

HttpResponseParser::HttpResponseParser(HttpResponseListener& listener, Limits limits)
    : listener_(listener), limits_(limits) {}

std::size_t HttpResponseParser::Feed(std::string_view data) {
    paused_ = false;
    if (Done())
        return 0;
    if (!data.empty())
        sawBytes_ = true;
    std::size_t pos = 0;
    while (pos < data.size() && !Done() && !paused_) {
        switch (step_) {
        case Step::LengthBody:
        case Step::ChunkData: {
            const auto n = static_cast<std::size_t>(
                std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(data.size() - pos)));
            remaining_ -= static_cast<std::int64_t>(n);
            TakeBody(data.substr(pos, n));
            pos += n;
            if (remaining_ == 0 && !Done()) {
                EndTransfer();
                if (step_ == Step::LengthBody)
                    Complete();
                else
                    step_ = Step::ChunkEnd;
            }
            break;
        }
        case Step::CloseBody: {
            const std::string_view bytes = data.substr(pos);
            pos = data.size();
            if (bodyTotal_ + static_cast<std::int64_t>(bytes.size()) > limits_.MaxBody) {
                Fail(TooLarge(limits_.MaxBody));
                break;
            }
            TakeBody(bytes);
            break;
        }
        default:
            if (TakeLine(data, pos)) {
                OnLine(line_);
                line_.clear();
            }
            break;
        }
    }
    return pos;
}

bool HttpResponseParser::TakeLine(std::string_view data, std::size_t& pos) {
    // Status, header and trailer lines count towards the head's size; chunk and trailer lines
    // count towards the body's, so that a flood of tiny chunks meets the body limit.
    const bool headLine = step_ == Step::StatusLine || step_ == Step::HeaderLine || step_ == Step::Trailer;
    const bool bodyLine = step_ == Step::ChunkSize || step_ == Step::ChunkEnd || step_ == Step::Trailer;
    // Never look further than the first byte that breaks a limit, so that the result does not
    // depend on how the bytes were split.
    std::size_t scan = std::min(data.size() - pos, limits_.MaxLine + 2 - line_.size());
    if (headLine)
        scan = std::min(scan, limits_.MaxHead - headBytes_ + 1);
    if (bodyLine)
        scan = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(scan), limits_.MaxBody - bodyTotal_ + 1));
    const char* start = data.data() + pos;
    const void* found = std::memchr(start, '\n', scan);
    const std::size_t taken =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - start) + 1 : scan;
    pos += taken;
    line_.append(start, found ? taken - 1 : taken);
    if (headLine) {
        headBytes_ += taken;
        if (headBytes_ > limits_.MaxHead) {
            Fail("The answer's head is larger than " + std::to_string(limits_.MaxHead) + " bytes");
            return false;
        }
    }
    if (bodyLine) {
        bodyTotal_ += static_cast<std::int64_t>(taken);
        if (bodyTotal_ > limits_.MaxBody) {
            Fail(TooLarge(limits_.MaxBody));
            return false;
        }
    }
    if (found && !line_.empty() && line_.back() == '\r')
        line_.pop_back();
    // Without its LF yet, a line may hold one byte more: the CR.
    if (line_.size() > limits_.MaxLine + (found ? 0 : 1)) {
        Fail("A line of the answer is longer than " + std::to_string(limits_.MaxLine) + " bytes");
        return false;
    }
    return found != nullptr;
}

void HttpResponseParser::OnLine(std::string_view line) {
    switch (step_) {
    case Step::StatusLine:
        OnStatusLine(line);
        break;
    case Step::HeaderLine:
        OnHeaderLine(line);
        break;
    case Step::ChunkSize:
        OnChunkSizeLine(line);
        break;
    case Step::ChunkEnd:
        if (!line.empty())
            Fail("Malformed chunked body: a chunk is longer than its size");
        else
            step_ = Step::ChunkSize;
        break;
    case Step::Trailer:
        // Trailer fields are read and dropped; the empty line ends the answer.
        if (line.empty())
            Complete();
        break;
    default:
        break;
    }
}

void HttpResponseParser::OnStatusLine(std::string_view line) {
    // Tolerate blank lines before the status line; the head size limit bounds them.
    if (line.empty())
        return;
    std::string_view rest = line;
    if (rest.size() < 5 || !SameText(rest.substr(0, 5), "HTTP/")) {
        Fail("Malformed status line: the answer is not HTTP");
        return;
    }
    rest.remove_prefix(5);
    while (!rest.empty() && ((rest.front() >= '0' && rest.front() <= '9') || rest.front() == '.'))
        rest.remove_prefix(1);
    if (rest.empty() || !IsBlank(rest.front())) {
        Fail("Malformed status line");
        return;
    }
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    if (rest.size() < 3 ||
        !std::all_of(rest.begin(), rest.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }) ||
        (rest.size() > 3 && !IsBlank(rest[3]))) {
        Fail("Malformed status line: no status code");
        return;
    }
    head_.Status = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
    head_.StatusLine = std::string(line);
    step_ = Step::HeaderLine;
}

void HttpResponseParser::OnHeaderLine(std::string_view line) {
    if (line.empty()) {
        OnHeadEnd();
        return;
    }
    if (IsBlank(line.front())) {
        // An obsolete folded continuation of the previous field.
        if (!head_.Headers.empty()) {
            auto& value = head_.Headers.back().Value;
            const std::string_view more = Trim(line);
            if (!more.empty()) {
                if (!value.empty())
                    value += ' ';
                value += more;
            }
        }
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return; // not a field; dropped like a browser would
    const std::string_view name = Trim(line.substr(0, colon));
    if (name.empty())
        return;
    head_.Headers.push_back({std::string(name), std::string(Trim(line.substr(colon + 1)))});
}

void HttpResponseParser::OnHeadEnd() {
    if (head_.Status == 100) {
        // Interim answer: the real one follows.
        head_ = {};
        step_ = Step::StatusLine;
        return;
    }
    state_ = State::Body;
    std::int64_t length = -1;
    bool chunked = false;
    if (head_.Status < 200 || head_.Status == 204 || head_.Status == 304) {
        framing_ = BodyFraming::None;
    } else {
        for (const auto& header : head_.Headers) {
            if (SameText(header.Name, "Transfer-Encoding") && ContainsText(header.Value, "chunked"))
                chunked = true;
        }
        if (!chunked) {
            for (const auto& header : head_.Headers) {
                if (!SameText(header.Name, "Content-Length"))
                    continue;
                const std::string_view text = header.Value;
                if (text.empty() ||
                    !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                    Fail("Malformed Content-Length: " + std::string(text));
                    return;
                }
                std::int64_t value = 0;
                for (char c : text) {
                    value = value * 10 + (c - '0');
                    if (value > limits_.MaxBody) {
                        Fail(TooLarge(limits_.MaxBody));
                        return;
                    }
                }
                if (length >= 0 && length != value) {
                    Fail("The answer has two different Content-Length values");
                    return;
                }
                length = value;
            }
        }
        framing_ = chunked       ? BodyFraming::Chunked
                   : length == 0 ? BodyFraming::None
                   : length > 0  ? BodyFraming::Length
                                 : BodyFraming::UntilClose;
    }
    listener_.OnHead(head_, framing_);
    switch (framing_) {
    case BodyFraming::None:
        Complete();
        break;
    case BodyFraming::Length:
        step_ = Step::LengthBody;
        remaining_ = length;
        inTransfer_ = true;
        received_ = 0;
        listener_.OnBodyBegin(length);
        break;
    case BodyFraming::UntilClose:
        step_ = Step::CloseBody;
        inTransfer_ = true;
        received_ = 0;
        listener_.OnBodyBegin(0);
        break;
    case BodyFraming::Chunked:
        step_ = Step::ChunkSize;
        break;
    }
}

void HttpResponseParser::OnChunkSizeLine(std::string_view line) {
    std::string_view text = Trim(line);
    std::int64_t size = 0;
    std::size_t digits = 0;
    while (digits < text.size() && HexDigit(text[digits]) >= 0) {
        size = size * 16 + HexDigit(text[digits]);
        ++digits;
        if (size > limits_.MaxBody) {
            Fail(TooLarge(limits_.MaxBody));
            return;
        }
    }
    const std::string_view rest = Trim(text.substr(digits));
    if (digits == 0 || (!rest.empty() && rest.front() != ';')) {
        Fail("Malformed chunk size");
        return;
    }
    // Extensions carry nothing we use; a server sending endless ones only costs us.
    extensionBytes_ += rest.size();
    if (extensionBytes_ > limits_.MaxChunkExtensions) {
        Fail("The answer's chunk extensions are larger than " + std::to_string(limits_.MaxChunkExtensions) +
             " bytes");
        return;
    }
    if (size == 0) {
        step_ = Step::Trailer;
        headBytes_ = 0; // the trailer gets a head's allowance of its own
        return;
    }
    if (bodyTotal_ + size > limits_.MaxBody) {
        Fail(TooLarge(limits_.MaxBody));
        return;
    }
    step_ = Step::ChunkData;
    remaining_ = size;
    inTransfer_ = true;
    received_ = 0;
    listener_.OnBodyBegin(size);
}

void HttpResponseParser::TakeBody(std::string_view bytes) {
    if (bytes.empty())
        return;
    bodyTotal_ += static_cast<std::int64_t>(bytes.size());
    received_ += static_cast<std::int64_t>(bytes.size());
    listener_.OnBodyData(bytes);
    listener_.OnBodyProgress(received_);
}

void HttpResponseParser::EndTransfer() {
    if (!inTransfer_)
        return;
    inTransfer_ = false;
    listener_.OnBodyEnd();
}

void HttpResponseParser::Fail(std::string message) {
    if (Done())
        return;
    state_ = State::Failed;
    error_ = std::move(message);
    EndTransfer();
}

void HttpResponseParser::Complete() {
    if (Done())
        return;
    state_ = State::Complete;
}

void HttpResponseParser::Finish() {
    if (!Done() && step_ == Step::LengthBody && remaining_ > 0) {
        const std::int64_t expected = received_ + remaining_;
        EndTransfer();
        Fail("The connection closed after " + std::to_string(received_) + " of the body's " +
             std::to_string(expected) + " bytes");
        return;
    }
    FinishCut();
}

void HttpResponseParser::FinishCut() {
    if (Done())
        return;
    switch (step_) {
    case Step::StatusLine:
        Fail(sawBytes_ ? "The connection closed before the answer's head was complete"
                       : "The server closed the connection without answering");
        break;
    case Step::HeaderLine:
        Fail("The connection closed before the answer's head was complete");
        break;
    case Step::LengthBody:
    case Step::CloseBody:
        EndTransfer();
        Complete();
        break;
    case Step::Trailer:
        Complete();
        break;
    case Step::ChunkSize:
    case Step::ChunkData:
    case Step::ChunkEnd:
        Fail("The connection closed inside a chunked body");
        break;
    }
}

} // namespace vorlith
