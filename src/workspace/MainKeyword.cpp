#include "workspace/MainKeyword.h"

#include "workspace/StatusTexts.h"
#include "workspace/Workspace.h"

namespace vorlith {

void EnterMainKeyword(Workspace& ws) {
    std::optional<std::string> keyword = ws.Ui.AskMainKeyword();
    if (!keyword)
        return;
    ws.MainKeyword = std::move(*keyword);
    ws.SetMainKeywordStatus(MainKeywordPanelText(ws.MainKeyword));
    ws.SetMainStatus("");
}

} // namespace vorlith
