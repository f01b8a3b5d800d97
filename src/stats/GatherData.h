#pragma once
// "Gather Data": the result counts of every keyword from the three search engines, and the Stop
// that ends such a run from inside its wait.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlith {

class Workspace;

inline constexpr std::string_view StopCaption = "Stop";
inline constexpr std::string_view NoKeywordsText =
    "You need add keywords to gather data from search engines.";

// One lookup: a row's count from one engine.
struct Lookup {
    int Row = 0;  // position when it was asked
    int Cell = 0; // the engine's cell (CellOf(Column::Google), ...)
    bool operator==(const Lookup&) const = default;
};

// What a run asked: every lookup made, and the ones whose fetch failed (cell left as it was).
// A lookup ended by Stop counts as failed.
struct GatherDataResult {
    int Asked = 0;
    int Succeeded = 0;
    std::vector<Lookup> FailedLookups;
    int Failed() const { return static_cast<int>(FailedLookups.size()); }
};

// "Gather Data: A asked, S succeeded, F failed"
std::string GatherDataSummary(const GatherDataResult& result);

// The click on btnGatherData: starts a run, or stops the one under way. Returns the run's result
// when a run was made (it may have been stopped), nothing otherwise.
std::optional<GatherDataResult> GatherDataOrStop(Workspace& ws);

// The loop over rows and engines; the click handler's run.
GatherDataResult GatherSearchData(Workspace& ws);

} // namespace vorlith
