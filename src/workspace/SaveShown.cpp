#include "workspace/ResultsExport.h"
#include "workspace/RowFilter.h"
#include "workspace/Workspace.h"

#include <new>

namespace vorlith {

void SaveShown(Workspace& ws) {
    const std::vector<int> rows = ShownRows(ws);
    if (rows.empty()) {
        ws.Ui.ShowMessage(MessageKind::Information, NoDataToSaveMessage, MessageButtons::Ok);
        return;
    }
    const std::string& last = ws.SaveDialogFileName;
    const auto slash = last.rfind('/');
    const std::optional<std::string> chosen =
        last.empty() ? ws.Ui.AskSaveFile(ws.ProgramFolder, "")
                     : ws.Ui.AskSaveFile(slash == std::string::npos ? "./" : last.substr(0, slash + 1),
                                         slash == std::string::npos ? last : last.substr(slash + 1));
    if (!chosen)
        return;
    const std::string path = WithCsvExtension(*chosen);
    ws.SaveDialogFileName = path;
    std::string reason;
    try {
        WriteFileReplacing(path, ResultsCsv(ws.table, rows));
        return;
    } catch (const SaveError& e) {
        reason = e.what();
    } catch (const std::bad_alloc&) {
        reason = "Out of memory";
    }
    ws.Ui.ShowMessage(MessageKind::Warning, SaveFailedMessage(path, reason), MessageButtons::Ok);
}

} // namespace vorlith
