#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"
#include "workspace/Workspace.h"

namespace vorlith {

void SaveShown(Workspace& ws) {
    const std::vector<int> rows = ShownRows(ws);
    if (rows.empty()) {
        ws.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
        return;
    }
    SaveThroughDialog(ws, &rows);
}

} // namespace vorlith
