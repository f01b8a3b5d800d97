#pragma once
// The terminal's WorkspaceUi: messages go to standard error, OK/Cancel questions are answered OK
// with --yes and Cancel otherwise, dialogs are cancelled unless a command gave their answer.

#include "workspace/Gauge.h"
#include "workspace/WorkspaceUi.h"

#include <cstdio>
#include <deque>
#include <map>
#include <string>

namespace vorlith::cli {

class ConsoleUi : public WorkspaceUi {
public:
    ConsoleUi(std::FILE* err, bool yes, bool verbose) : err_(err), yes_(yes), verbose_(verbose) {}

    // Answers for the next dialogs, queued by commands that drive them.
    std::deque<std::string> MainKeywordAnswers;
    std::deque<AddKeywordsAnswer> AddKeywordsAnswers;
    std::deque<bool> SearchTypeAnswers;
    std::deque<std::string> SaveFileAnswers;

    const std::string& Status(StatusPanel panel) { return status_[panel]; }

    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;
    std::optional<std::string> AskMainKeyword() override;
    std::optional<AddKeywordsAnswer> AskAddKeywords() override;
    std::optional<bool> AskSearchType() override;
    void ShowStatus(StatusPanel panel, std::string_view text) override;
    void ShowGauge(const Gauge& gauge) override;
    void SetTitle(std::string_view title) override;
    void SetGatherDataCaption(std::string_view caption) override;
    void SetHeaderClicksEnabled(bool enabled) override;
    void ArmStartupTimer() override;
    void Pump() override;
    std::optional<std::string> AskSaveFile(std::string_view initialFolder, std::string_view fileName) override;
    // No window: the branding has nothing to show.
    void SetBannerHandCursor() override {}
    void HideBannerStrip() override {}
    void ShowBannerAnimation(const QByteArray&, int, int) override {}
    void ShowBannerPicture(const QImage&) override {}
    void SetBannerStripHeight(int) override {}
    void SetLinkLabel(int, std::string_view, std::string_view) override {}
    void ApplySkinStyleSheet(std::string_view) override {}
    void SetApplicationIcon(const std::string&) override {}
    void CloseMainWindow() override {}

private:
    std::FILE* err_;
    bool yes_;
    bool verbose_;
    std::map<StatusPanel, std::string> status_;
};

} // namespace vorlith::cli
