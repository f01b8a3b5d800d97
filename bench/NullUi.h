#pragma once
// A WorkspaceUi that shows nothing and answers every question with Cancel (OK for a message): the
// benchmarks derive from it and override only what they measure, so a new port method cannot
// leave one of them abstract.

#include "workspace/WorkspaceUi.h"

namespace vorlith::bench {

class NullUi : public WorkspaceUi {
public:
    int ShowMessage(MessageKind, std::string_view, MessageButtons) override { return mrOk; }
    std::optional<std::string> AskMainKeyword() override { return std::nullopt; }
    std::optional<AddKeywordsAnswer> AskAddKeywords() override { return std::nullopt; }
    std::optional<bool> AskSearchType() override { return std::nullopt; }
    ChallengeAnswer AskChallenge(const ChallengePrompt&) override { return {}; }
    std::optional<std::string> AskSaveFile(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void ShowStatus(StatusPanel, std::string_view) override {}
    void ShowGauge(const Gauge&) override {}
    void SetTitle(std::string_view) override {}
    void SetGatherDataCaption(std::string_view) override {}
    void SetHeaderClicksEnabled(bool) override {}
    void ArmStartupTimer() override {}
    void Pump() override {}
    void SetBannerHandCursor() override {}
    void HideBannerStrip() override {}
    void ShowBannerAnimation(const QByteArray&, int, int) override {}
    void ShowBannerPicture(const QImage&) override {}
    void SetBannerStripHeight(int) override {}
    void SetLinkLabel(int, std::string_view, std::string_view) override {}
    void ApplySkinStyleSheet(std::string_view) override {}
    void SetApplicationIcon(const std::string&) override {}
    void CloseMainWindow() override {}
};

} // namespace vorlith::bench
