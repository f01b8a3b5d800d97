#pragma once
// Runs a helper program of ours on input we do not trust: the child gets its input on standard
// input, runs under memory, CPU-time and file-size limits, and is killed when it overruns its
// deadline or writes more than it may. The caller never waits or allocates without bound.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

struct ChildLimits {
    std::uint64_t MemoryBytes = 0; // address space of the child; 0 sets none
    int CpuSeconds = 0;            // 0 sets none
    std::chrono::milliseconds Deadline{10000};
    std::size_t MaxOutputBytes = 1024 * 1024;
};

struct ChildOutcome {
    enum class Ending {
        Exited,         // Status is the exit code
        Signalled,      // Status is the signal (SIGXCPU and SIGKILL for a CPU limit hit)
        TimedOut,       // killed at the deadline
        OutputTooLarge, // killed when its output passed MaxOutputBytes
        NotStarted,     // Output holds the reason
    };
    Ending How = Ending::NotStarted;
    int Status = 0;
    std::string Output; // standard output; its standard error is discarded
};

// Starts program (a path, not looked up in PATH) with the arguments, writes input to its
// standard input and collects its standard output until it ends.
ChildOutcome RunLimitedChild(const std::string& program, const std::vector<std::string>& arguments,
                             std::string_view input, const ChildLimits& limits);

// True when this build runs under AddressSanitizer, whose shadow memory no address-space limit
// leaves room for: the memory limit is then not set.
bool ChildMemoryLimitIsSkipped();

} // namespace vorlith
