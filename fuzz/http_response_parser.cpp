// Fuzzes the response parser: no crash, events well formed, and the same outcome whether the
// bytes come at once or split where the input's first bytes say.
#include "net/HttpResponseParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Checker final : vorlith::HttpResponseListener {
    std::string Events; // heads, transfers and body, without the progress counts
    bool InTransfer = false;
    std::int64_t Expected = 0;
    std::int64_t Received = 0;
    std::int64_t Total = 0;

    void OnHead(const vorlith::HttpResponseHead& head, vorlith::BodyFraming framing) override {
        if (InTransfer)
            std::abort();
        Events += "H" + std::to_string(head.Status) + "/" + std::to_string(static_cast<int>(framing)) + "/" +
                  std::to_string(head.Headers.size()) + ";";
    }
    void OnBodyBegin(std::int64_t expected) override {
        if (InTransfer || expected < 0)
            std::abort();
        InTransfer = true;
        Expected = expected;
        Received = 0;
        Events += "B" + std::to_string(expected) + ";";
    }
    void OnBodyData(std::string_view bytes) override {
        if (!InTransfer || bytes.empty())
            std::abort();
        Total += static_cast<std::int64_t>(bytes.size());
        Events.append(bytes);
    }
    void OnBodyProgress(std::int64_t received) override {
        if (!InTransfer || received <= Received || (Expected > 0 && received > Expected))
            std::abort();
        Received = received;
    }
    void OnBodyEnd() override {
        if (!InTransfer)
            std::abort();
        InTransfer = false;
        Events += "E;";
    }
};

std::string Run(std::string_view data, std::size_t piece, bool close, bool cut) {
    Checker checker;
    vorlith::HttpResponseParser::Limits limits;
    limits.MaxLine = 64;
    limits.MaxHead = 512;
    limits.MaxBody = 4096;
    limits.MaxChunkExtensions = 64;
    vorlith::HttpResponseParser parser(checker, limits);
    std::size_t pos = 0;
    while (pos < data.size() && !parser.Done()) {
        const std::string_view part = data.substr(pos, piece);
        const std::size_t used = parser.Feed(part);
        if (used > part.size() || (used < part.size() && !parser.Done()))
            std::abort();
        pos += used;
    }
    if (close && cut)
        parser.FinishCut();
    else if (close)
        parser.Finish();
    // Closed by the server, a body short of its length never completes.
    if (close && !cut && parser.GetState() == vorlith::HttpResponseParser::State::Complete &&
        parser.Framing() == vorlith::BodyFraming::Length && checker.Received < checker.Expected)
        std::abort();
    if (checker.Total > limits.MaxBody || (parser.Done() && checker.InTransfer))
        std::abort();
    return checker.Events + "|" + std::to_string(static_cast<int>(parser.GetState())) + parser.Error();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t piece = 1 + bytes[0] % 17;
    const bool close = bytes[1] & 1;
    const bool cut = bytes[1] & 2; // closed by us rather than by the server
    const std::string_view data(reinterpret_cast<const char*>(bytes) + 2, size - 2);
    if (Run(data, data.size() + 1, close, cut) != Run(data, piece, close, cut))
        std::abort();
    return 0;
}
