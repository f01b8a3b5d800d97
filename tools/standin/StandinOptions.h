#pragma once
// Command-line options of vorlith-standin.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlith::standin {

struct Options {
    int Port = 0;                         // 0: any free port
    int ChallengeEvery = 0;               // every Nth suggestion request is a challenge; 0: never
    std::string ChallengeWord;            // a seed holding this word is a challenge
    bool RevealAnswers = false;           // log each challenge's characters to standard error
    std::string Version = "1.04";         // [APPLICATION] Version of the update description
    int LatencyMs = 0;                    // delay before every answer
    double FailRate = 0;                  // share of answers that are a 500 or a dropped connection
    std::uint64_t DripBytesPerSecond = 0; // 0: bodies at full speed
    std::uint64_t Seed = 1;               // makes faults and challenges repeatable
    bool Quiet = false;                   // no request log
    int Workers = 64;                     // connections served at once
    int RequestDeadlineMs = 5'000;        // a request must have arrived whole by then
};

struct ParsedOptions {
    std::optional<Options> Parsed; // empty when the arguments are wrong
    std::string Error;             // why, for the user
    bool HelpAsked = false;
};

// Arguments without the program name.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments);
extern const char* const UsageText;

} // namespace vorlith::standin
