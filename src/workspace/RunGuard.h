#pragma once
// The one rule for whether a command may use the HTTP client now. The client serves one request
// at a time, and a Gather Data run owns it (and Aborted) until its loop has returned.

#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view GatherDataRunningText =
    "Gather Data is running. Press Stop before starting another command.";
inline constexpr std::string_view RequestUnderWayText =
    "Another request is under way. Please wait until it ends.";

enum class ClientState {
    Free,
    GatherDataRunning, // a run goes on; its button reads "Stop"
    RequestWaiting,    // a request waits, or a stopped run has not yet unwound
};

ClientState CurrentClientState(const Workspace& ws);

// For a command that would use the client or clear Aborted: when it may not, tells the user why
// (one message per state) and returns true; the command must then do nothing.
bool RefuseWhileClientBusy(Workspace& ws);

} // namespace vorlith
