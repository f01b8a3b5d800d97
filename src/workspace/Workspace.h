#pragma once
// The program's state: the main window's fields, the sort state, the keyword table, the one HTTP
// client, the program folder and the endpoints. Every command of the window works on one Workspace.

#include "net/HttpClient.h"
#include "platform/ProgramFolder.h"
#include "workspace/Endpoints.h"
#include "workspace/Gauge.h"
#include "workspace/History.h"
#include "workspace/KeywordTable.h"
#include "workspace/Runs.h"
#include "workspace/Sources.h"
#include "workspace/TableWork.h"
#include "workspace/WorkspaceUi.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorlith {

class Shell;

inline constexpr std::string_view DefaultTitle = "Vorlith";
// btnGatherData's caption while no search-count run is under way.
inline constexpr std::string_view GatherDataIdleCaption = "Gather Data";

class Workspace {
public:
    // programFolder gets a trailing "/" when it lacks one, so file names append directly.
    // endpoints are the defaults that the [Endpoints] section of the folder's "dbconfig.dat" overrides.
    Workspace(WorkspaceUi& ui, std::string programFolder, vorlith::Endpoints endpoints = {});
    // A copy's folders as platform/ProgramFolder.h finds them: the endpoints come from the first
    // settings folder that holds "dbconfig.dat".
    Workspace(WorkspaceUi& ui, ProgramFolders folders, vorlith::Endpoints endpoints = {});
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // The main window's fields, in their declared order; all start empty, false or 0. Aborted
    // lives in the run state (Runs.Aborted()).
    std::string MainKeyword;
    std::int32_t SearchMode = 0; // 0 precise, 1 broad
    std::string AffiliateID;
    std::string BannerURL;
    std::string BannerPath;
    std::string Link1URL;
    std::string Link2URL;
    std::string Link1Name;
    std::string Link2Name;
    std::string IconPath;

    // The save dialog's memory: the file chosen last, empty before the first choice.
    std::string SaveDialogFileName;

    // The filter box: rows whose keyword holds this text, case ignored, are the shown rows.
    std::string Filter;

    // Sort state; FormCreate sets -1 and true.
    std::int32_t SortColumn = 0;
    bool SortAscending = false;

    KeywordTable table;
    // Undo and Redo of the table's edits; declared after the table it listens to.
    TableHistory History{table};
    // Long table work under way off the window's thread (an export).
    TableWork Work;
    Gauge gauge;
    // The one HTTP client of the run; its progress handlers drive the gauge.
    HttpClient http;

    const std::string ProgramFolder;
    // Where "dbconfig.dat" and "dbskin.dat" are read, in order: ProgramFolder alone for a portable
    // copy, then the system-wide folder for an installed one.
    const std::vector<std::string> SettingsFolders;
    // The copy lies in the install prefix: a package manager updates it, not the updater.
    const bool InstalledCopy = false;
    // Where the file dialogs open at first: ProgramFolder for a portable copy, the user's documents
    // folder (platform UserDocumentsFolder) for an installed one.
    const std::string DialogFolder;
    // The first settings folder's file of that name; ProgramFolder + name when none has it.
    std::string SettingsFile(std::string_view name) const;
    vorlith::Endpoints Endpoints;
    // sources.ini of the first settings folder that holds one, over the built-in entries.
    SourcesList Sources;
    // The Harvest Options dialog's choices; the sources ticked at start come from Enabled.
    HarvestOptions Harvest;
    // "Ask the Engines at Once": Gather Data asks a row's engines at the same time, each on a kept
    // connection, for the rest of this run of the program.
    bool AskEnginesAtOnce = false;
    // The sources that suggested a row, by row id; rows no source suggested have no entry.
    std::unordered_map<RowId, std::string> RowSources;
    // "Name: blocked (reason)" for every source or engine blocked since the terminal last said so.
    std::vector<std::string> BlockedNotices;
    // The Source column is shown: saves add it as the last column.
    bool SourceColumnShown = false;
    WorkspaceUi& Ui;
    // The desktop shell that opens pages and starts programs; null starts nothing.
    vorlith::Shell* Shell = nullptr;

    // Status bar writers: keep the core's record and show the text.
    // cause: the host and what went wrong there when the text reports a failed request, else empty.
    void SetMainStatus(std::string_view text, std::string_view cause = {});
    void SetMainKeywordStatus(std::string_view text);
    void SetSecondStatus(std::string_view text);
    const std::string& MainStatusText() const { return mainStatus_; }
    const std::string& MainStatusCause() const { return mainStatusCause_; }
    const std::string& MainKeywordStatusText() const { return mainKeywordStatus_; }
    const std::string& SecondStatusText() const { return secondStatus_; }
    void ShowGauge() { Ui.ShowGauge(gauge); }

    // Which run goes on, and its stop. Declared after the client and the table it uses.
    vorlith::Runs Runs;
    // btnGatherData's caption, as the run state makes it: "Stop" while a search-count run goes on
    // and has not been stopped.
    std::string_view GatherDataCaption() const;
    // The lookups of the last Gather Data or Retry Failed run.
    struct RunCounts {
        int Asked = 0;
        int Succeeded = 0;
        int Failed = 0;
    } LastRun;
    // The last Gather Keywords: requests sent, rows appended, sources blocked, and whether every
    // chosen source failed or was blocked.
    struct HarvestCounts {
        int Requests = 0;
        int NewKeywords = 0;
        int Blocked = 0;
        bool AllFailed = false;
    } LastHarvest;

    // Rows added or changed since the last successful save (ticks and sorting do not count): the
    // work that closing the window would lose.
    bool HasUnsavedRows() const { return unsavedRows_ && table.RowCount() > 0; }
    void MarkSaved() { unsavedRows_ = false; }
    // Set by a command that has already asked the user before it closes the window itself.
    bool CloseAgreed = false;

private:
    std::string mainStatus_;
    std::string mainStatusCause_;
    std::string mainKeywordStatus_;
    std::string secondStatus_;
    bool unsavedRows_ = false;
};

} // namespace vorlith
