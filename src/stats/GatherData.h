#pragma once
// "Gather Data": the result counts of every keyword from the three search engines, and the Stop
// that ends such a run from inside its wait.

#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view StopCaption = "Stop";
inline constexpr std::string_view NoKeywordsText =
    "You need add keywords to gather data from search engines.";

// The click on btnGatherData: starts a run, or stops the one under way.
void GatherDataOrStop(Workspace& ws);

// The loop over rows and engines; the click handler's run.
void GatherSearchData(Workspace& ws);

} // namespace vorlith
