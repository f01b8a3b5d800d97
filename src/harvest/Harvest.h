#pragma once
// "Gather Keywords": one request to the suggestion service for the main keyword, through the
// security-image challenge when the service asks for it, and one row per suggestion.

#include <qcoro/qcorotask.h>
#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view NoMainKeywordHarvestMessage =
    "Please enter a main keyword before gather keywords.";

// How a harvest ended; the window ignores it, a script needs it.
enum class HarvestEnd { Refused, FetchFailed, ChallengeCancelled, Read };

// A run: the window adopts it (ws.Runs), the terminal awaits it. Refusals come before its first
// suspension, so they are shown at the click.
QCoro::Task<HarvestEnd> GatherKeywords(Workspace& ws);

} // namespace vorlith
