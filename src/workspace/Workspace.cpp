#include "workspace/Workspace.h"

#include "workspace/PageFetcher.h"
#include "workspace/StatusTexts.h"

namespace vorlith {

namespace {
std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    return folder;
}
} // namespace

Workspace::Workspace(WorkspaceUi& ui, std::string programFolder, vorlith::Endpoints endpoints)
    : ProgramFolder(WithTrailingSlash(std::move(programFolder))),
      Endpoints(LoadEndpoints(ProgramFolder + std::string(EndpointsFileName), std::move(endpoints))), Ui(ui),
      mainKeywordStatus_(MainKeywordPanelPrefix), secondStatus_(InitialItemCountText) {
    AttachProgressHandlers(*this);
}

void Workspace::SetMainStatus(std::string_view text) {
    mainStatus_ = text;
    Ui.ShowStatus(StatusPanel::Main, text);
}

void Workspace::SetMainKeywordStatus(std::string_view text) {
    mainKeywordStatus_ = text;
    Ui.ShowStatus(StatusPanel::MainKeyword, text);
}

void Workspace::SetSecondStatus(std::string_view text) {
    secondStatus_ = text;
    Ui.ShowStatus(StatusPanel::Second, text);
}

void Workspace::SetGatherDataCaption(std::string_view caption) {
    gatherDataCaption_ = caption;
    Ui.SetGatherDataCaption(caption);
}

} // namespace vorlith
