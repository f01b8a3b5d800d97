#include "workspace/MainKeyword.h"

#include "workspace/DialogRules.h"
#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

namespace vorlith {

std::optional<std::string_view> SetMainKeyword(Workspace& ws, std::string text) {
    if (const auto refusal = MainKeywordRefusal(text))
        return refusal;
    ws.MainKeyword = std::move(text);
    ws.SetMainKeywordStatus(MainKeywordPanelText(ws.MainKeyword));
    ws.SetMainStatus("");
    return std::nullopt;
}

void EnterMainKeyword(Workspace& ws) {
    // The dialog has refused what SetMainKeyword would refuse.
    if (std::optional<std::string> keyword = ws.Ui.AskMainKeyword())
        SetMainKeyword(ws, std::move(*keyword));
}

} // namespace vorlith
