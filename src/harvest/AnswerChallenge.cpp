#include "harvest/Challenge.h"
#include "net/PageFetcher.h"
#include "workspace/Workspace.h"

namespace vorlith {

bool AnswerChallenge(Workspace& ws, std::string& page) {
    for (;;) {
        // Cancel and the frame's close control send the answer all the same.
        const ChallengeAnswer answer = ws.Ui.AskChallenge(page);
        const std::string address = AnswerAddress(ws.Endpoints.SuggestionServiceBase, answer.Password,
                                                  answer.ChallengeRandom, answer.ChallengeSeed);
        // A failed request leaves the page empty; that is read like any other page.
        if (!FetchPage(ws, address, page))
            page.clear();
        if (!HasChallenge(page))
            return true;
        if (ws.Ui.ShowMessage(MessageKind::Information, WrongPasswordQuestion, MessageButtons::OkCancel) ==
            mrCancel)
            return false;
    }
}

} // namespace vorlith
