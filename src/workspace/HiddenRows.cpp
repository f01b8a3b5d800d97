#include "workspace/HiddenRows.h"

#include "workspace/RowFilter.h"
#include "workspace/Workspace.h"

#include <algorithm>

namespace vorlith {

namespace {

std::string Rows(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " row" : " rows");
}

} // namespace

std::vector<bool> ShownMask(const Workspace& ws) {
    const auto rows = static_cast<std::size_t>(ws.table.RowCount());
    if (ws.Filter.empty())
        return std::vector<bool>(rows, true);
    std::vector<bool> shown(rows);
    for (const int row : ShownRows(ws))
        shown[static_cast<std::size_t>(row)] = true;
    return shown;
}

std::size_t HiddenAmong(const std::vector<bool>& marked, const std::vector<bool>& shown) {
    std::size_t hidden = 0;
    for (std::size_t r = 0; r < marked.size() && r < shown.size(); ++r)
        hidden += marked[r] && !shown[r];
    return hidden;
}

std::string HiddenTickedQuestion(std::size_t hidden, std::size_t shown) {
    return "The filter hides " + std::to_string(hidden) + " of the " + Rows(hidden + shown) +
           " ticked. Delete the " + Rows(hidden) + " hidden too? No deletes only the " + Rows(shown) +
           " shown.";
}

std::string HiddenDuplicatesQuestion(std::size_t rows, std::size_t hidden) {
    return "Remove Duplicates will remove " + Rows(rows) + ", " + std::to_string(hidden) +
           " of them hidden by the filter.";
}

std::string HiddenFailedQuestion(std::size_t rows, std::size_t hidden) {
    return "Retry Failed will ask again for the failed counts of " + Rows(rows) + ", " +
           std::to_string(hidden) + " of them hidden by the filter.";
}

bool AgreeToHiddenRows(Workspace& ws, const std::vector<bool>& marked,
                       std::string (*question)(std::size_t, std::size_t)) {
    if (ws.Filter.empty())
        return true;
    const std::size_t hidden = HiddenAmong(marked, ShownMask(ws));
    if (hidden == 0)
        return true;
    const auto rows = static_cast<std::size_t>(std::count(marked.begin(), marked.end(), true));
    return ws.Ui.ShowMessage(MessageKind::Information, question(rows, hidden), MessageButtons::OkCancel) ==
           mrOk;
}

} // namespace vorlith
