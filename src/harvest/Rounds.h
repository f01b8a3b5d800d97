#pragma once
// Gather Keywords in rounds: each round is one expanded query asked of every chosen source at
// once, each source on a client of its own and with its own pause between its requests.

#include "harvest/Harvest.h"

#include <qcoro/qcorotask.h>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

inline constexpr std::string_view NoSourceChosenMessage =
    "Choose at least one source in Harvest Options before gather keywords.";

// The options ask for the built-in harvest: the built-in source alone, no expansion, depth 1.
bool BuiltInHarvest(const Workspace& ws);

// The harvest of the options, after the refusals of GatherKeywords; ends when every round has
// been asked or the run is stopped, keeping the rows appended so far.
QCoro::Task<HarvestEnd> GatherKeywordsInRounds(Workspace& ws);

// "Gather Keywords: R requests, K new keywords, B sources blocked".
std::string HarvestSummaryLine(const Workspace& ws);

} // namespace vorlith
