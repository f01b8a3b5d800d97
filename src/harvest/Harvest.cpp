#include "harvest/Harvest.h"

#include "harvest/Challenge.h"
#include "harvest/Suggestions.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

HarvestEnd GatherKeywords(Workspace& ws) {
    // Refused before anything changes: clearing Aborted here would undo a Stop that the waiting
    // request or the search-count run has not seen yet.
    if (RefuseWhileClientBusy(ws))
        return HarvestEnd::Refused;
    ws.Aborted = false;
    if (ws.MainKeyword.empty()) {
        ws.Ui.ShowMessage(MessageKind::Information, NoMainKeywordHarvestMessage, MessageButtons::Ok);
        return HarvestEnd::Refused;
    }
    std::string page;
    if (!FetchPage(ws, SuggestionAddress(ws.Endpoints.SuggestionServiceBase, ws.MainKeyword), page))
        return HarvestEnd::FetchFailed;
    if (HasChallenge(page) && !AnswerChallenge(ws, page))
        return HarvestEnd::ChallengeCancelled;
    ParseSuggestions(ws, page);
    return HarvestEnd::Read;
}

} // namespace vorlith
