#pragma once
// The one rule for whether a command may use the HTTP client now. The client serves one request
// at a time, and a Gather Data run owns it (and Aborted) until its loop has returned.

#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view GatherDataRunningText =
    "Gather Data is running. Press Stop before starting another command.";
// OK stops the request under way; the command asked for is still not run.
inline constexpr std::string_view RequestUnderWayText =
    "Another request is under way. Do you want to stop it now?";

enum class ClientState {
    Free,
    GatherDataRunning, // a run goes on; its button reads "Stop"
    RequestWaiting,    // a request waits, or a stopped run has not yet unwound
};

ClientState CurrentClientState(const Workspace& ws);

// For a command that would use the client or clear Aborted: when it may not, tells the user why
// (one message per state) and returns true; the command must then do nothing. A request that
// waits can be stopped from here: a silent server would otherwise hold the client for ever.
bool RefuseWhileClientBusy(Workspace& ws);

} // namespace vorlith
