#include "workspace/Workspace.h"

#include "workspace/PageFetcher.h"
#include "workspace/StatusTexts.h"

namespace vorlith {

Workspace::Workspace(WorkspaceUi& ui, std::string programFolder, vorlith::Endpoints endpoints)
    : Workspace(ui, PortableProgramFolders(programFolder), std::move(endpoints)) {}

Workspace::Workspace(WorkspaceUi& ui, ProgramFolders folders, vorlith::Endpoints endpoints)
    : ProgramFolder(folders.Folder), SettingsFolders(folders.SettingsFolders),
      InstalledCopy(folders.Installed),
      DialogFolder(folders.Installed ? UserDocumentsFolder() : folders.Folder),
      Endpoints(LoadEndpoints(FindSettingsFile(folders, EndpointsFileName), std::move(endpoints))),
      Sources(LoadSources(FindSettingsFile(folders, SourcesFileName))), Ui(ui),
      mainKeywordStatus_(MainKeywordPanelPrefix), secondStatus_(InitialItemCountText) {
    Harvest.SourceIds = Sources.EnabledSuggestIds();
    AttachProgressHandlers(*this);
    Runs.OnChange = [this] {
        Ui.SetGatherDataCaption(GatherDataCaption());
        Ui.SetHeaderClicksEnabled(!Runs.GatherDataRunning());
    };
    // Whatever adds or rewrites rows goes through the table's notices, so no command can forget it.
    QObject::connect(&table, &KeywordTable::RowsAppended, &table, [this] { unsavedRows_ = true; });
    QObject::connect(&table, &KeywordTable::CellsChanged, &table,
                     [this](int, int, int, int, KeywordTable::CellChange change) {
                         if (change == KeywordTable::CellChange::Values)
                             unsavedRows_ = true;
                     });
    // A reset that leaves more rows than before added some; one that only removes loses nothing.
    QObject::connect(&table, &KeywordTable::TableReset, &table, [this](int rowsBefore) {
        if (table.RowCount() > rowsBefore)
            unsavedRows_ = true;
    });
}

std::string Workspace::SettingsFile(std::string_view name) const {
    return FindSettingsFile({InstalledCopy, ProgramFolder, SettingsFolders}, name);
}

void Workspace::SetMainStatus(std::string_view text, std::string_view cause) {
    mainStatus_ = text;
    Ui.ShowStatus(StatusPanel::Main, text);
    mainStatusCause_ = cause;
    Ui.ShowStatusCause(StatusPanel::Main, cause);
}

void Workspace::SetMainKeywordStatus(std::string_view text) {
    mainKeywordStatus_ = text;
    Ui.ShowStatus(StatusPanel::MainKeyword, text);
}

void Workspace::SetSecondStatus(std::string_view text) {
    secondStatus_ = text;
    Ui.ShowStatus(StatusPanel::Second, text);
}

std::string_view Workspace::GatherDataCaption() const {
    return Runs.GatherDataRunning() ? std::string_view("Stop") : GatherDataIdleCaption;
}

} // namespace vorlith
