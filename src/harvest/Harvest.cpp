#include "harvest/Harvest.h"

#include "harvest/Challenge.h"
#include "harvest/Suggestions.h"
#include "net/PageFetcher.h"
#include "stats/GatherData.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

void btnGatherKeywordClick(Workspace& ws) {
    // Refused before anything changes: clearing Aborted here would undo a Stop that the waiting
    // request or the search-count run has not seen yet.
    if (RefuseWhileGatheringData(ws))
        return;
    if (ws.IdHTTP1.Busy()) {
        ws.Ui.ShowMessage(MessageKind::Information, HarvestBusyMessage, MessageButtons::Ok);
        return;
    }
    ws.Aborted = false;
    if (ws.MainKeyword.empty()) {
        ws.Ui.ShowMessage(MessageKind::Information, NoMainKeywordHarvestMessage, MessageButtons::Ok);
        return;
    }
    std::string page;
    if (!FetchPage(ws, SuggestionAddress(ws.Endpoints.SuggestionServiceBase, ws.MainKeyword), page))
        return;
    if (HasChallenge(page) && !AnswerChallenge(ws, page))
        return;
    ParseSuggestions(ws, page);
}

} // namespace vorlith
