#include "harvest/Harvest.h"

#include "harvest/Challenge.h"
#include "harvest/Suggestions.h"
#include "workspace/PageFetcher.h"
#include "workspace/RunGuard.h"
#include "workspace/Workspace.h"

#include <string>

namespace vorlith {

void GatherKeywords(Workspace& ws) {
    // Refused before anything changes: clearing Aborted here would undo a Stop that the waiting
    // request or the search-count run has not seen yet.
    if (RefuseWhileClientBusy(ws))
        return;
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
