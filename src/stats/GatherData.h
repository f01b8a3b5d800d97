#pragma once
// "Gather Data": the result counts of every keyword from the three search engines, and the Stop
// that ends such a run from inside its wait.

#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view StopCaption = "Stop";
inline constexpr std::string_view NoKeywordsText =
    "You need add keywords to gather data from search engines.";
// Shown to a command that would use the HTTP client or clear Aborted while a run goes on.
inline constexpr std::string_view GatherDataRunningText =
    "Gather Data is running. Press Stop before starting another command.";
// Shown when Gather Data is pressed while another request still holds the HTTP client.
inline constexpr std::string_view RequestUnderWayText =
    "Another request is under way. Please wait until it ends.";

// The click on btnGatherData: starts a run, or stops the one under way.
void btnGatherDataClick(Workspace& ws);

// The loop over rows and engines; the click handler's run.
void GatherSearchData(Workspace& ws);

// For the other commands that use the HTTP client or clear Aborted: while a search-count run is
// under way, tells the user so and returns true (the command must then do nothing).
bool RefuseWhileGatheringData(Workspace& ws);

} // namespace vorlith
