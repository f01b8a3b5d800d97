#include "harvest/Challenge.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

namespace vorlith {

bool AcceptChallengeAnswer(Workspace& ws, std::string_view password) {
    if (!password.empty())
        return true;
    ws.Ui.ShowMessage(MessageKind::Information, EmptyPasswordMessage, MessageButtons::Ok);
    return false;
}

QCoro::Task<bool> AnswerChallenge(Workspace& ws, std::string& page) {
    for (;;) {
        const ChallengeFields fields = ParseChallenge(page);
        const ChallengePrompt prompt{fields.ChallengeImageURL, [&ws](std::string_view password) {
                                         return AcceptChallengeAnswer(ws, password);
                                     }};
        // Cancel and the frame's close control send the answer all the same.
        const ChallengeAnswer answer = ws.Ui.AskChallenge(prompt);
        const std::string address = AnswerAddress(ws.Endpoints.SuggestionServiceBase, answer.Password,
                                                  fields.ChallengeRandom, fields.ChallengeSeed);
        // A failed request leaves the page empty; that is read like any other page.
        FetchResult answered = co_await FetchPage(ws, address);
        page = std::move(answered.Page);
        if (!HasChallenge(page))
            co_return true;
        if (ws.Ui.ShowMessage(MessageKind::Information, WrongPasswordQuestion, MessageButtons::OkCancel) ==
            mrCancel)
            co_return false;
    }
}

} // namespace vorlith
