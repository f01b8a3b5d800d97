#include "StandinOptions.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <map>

namespace vorlith::standin {

const char* const UsageText =
    "Usage: vorlith-standin [options]\n"
    "Serves the pages Vorlith reads on 127.0.0.1 and prints the port it listens on.\n"
    "  --port N              port to listen on; 0 (default) picks a free one\n"
    "  --challenge N         answer every Nth suggestion request with a security image\n"
    "  --challenge-word W    answer seeds holding the word W with a security image\n"
    "  --reveal-answers      log each security image's characters to standard error\n"
    "  --version V           version published in the update description (default 1.04)\n"
    "  --latency MS          wait MS milliseconds before every answer\n"
    "  --fail-rate P         answer a share P (0..1) of requests with 500 or a dropped connection\n"
    "  --drip BYTES_PER_S    send bodies at BYTES_PER_S bytes a second\n"
    "  --seed N              seed of the faults and the security images (default 1)\n"
    "  --quiet               no request log on standard error\n"
    "  --help                this text\n";

namespace {

template <typename T> bool ReadNumber(const std::string& text, T& value, T low, T high) {
    T parsed{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || text.empty() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ReadRate(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(parsed >= 0.0 && parsed <= 1.0))
        return false;
    value = parsed;
    return true;
}

} // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
    ParsedOptions result;
    Options options;
    using Reader = std::function<bool(const std::string&)>;
    const std::map<std::string, Reader> valued = {
        {"--port", [&](const std::string& v) { return ReadNumber(v, options.Port, 0, 65535); }},
        {"--challenge",
         [&](const std::string& v) { return ReadNumber(v, options.ChallengeEvery, 0, 1 << 30); }},
        {"--challenge-word",
         [&](const std::string& v) {
             options.ChallengeWord = v;
             return !v.empty() && v.find(' ') == std::string::npos;
         }},
        {"--version",
         [&](const std::string& v) {
             options.Version = v;
             return v.find_first_of("\r\n") == std::string::npos;
         }},
        {"--latency", [&](const std::string& v) { return ReadNumber(v, options.LatencyMs, 0, 600'000); }},
        {"--fail-rate", [&](const std::string& v) { return ReadRate(v, options.FailRate); }},
        {"--drip",
         [&](const std::string& v) {
             return ReadNumber<std::uint64_t>(v, options.DripBytesPerSecond, 0, 1ULL << 40);
         }},
        {"--seed",
         [&](const std::string& v) { return ReadNumber<std::uint64_t>(v, options.Seed, 0, ~0ULL); }},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h") {
            result.HelpAsked = true;
            return result;
        }
        if (name == "--reveal-answers") {
            options.RevealAnswers = true;
            continue;
        }
        if (name == "--quiet") {
            options.Quiet = true;
            continue;
        }
        const auto reader = valued.find(name);
        if (reader == valued.end()) {
            result.Error = "unknown option " + name;
            return result;
        }
        if (i + 1 >= arguments.size()) {
            result.Error = name + " needs a value";
            return result;
        }
        const std::string& value = arguments[++i];
        if (!reader->second(value)) {
            result.Error = "bad value for " + name + ": " + value;
            return result;
        }
    }
    result.Parsed = options;
    return result;
}

} // namespace vorlith::standin
