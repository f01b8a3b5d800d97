#pragma once
// A WorkspaceUi for tests: records every text shown and answers questions from a script.
// A question the script does not expect fails the test.

#include "workspace/Gauge.h"
#include "workspace/WorkspaceUi.h"

#include <QSize>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlith::test {

class ScriptedUi : public WorkspaceUi {
public:
    struct Message {
        MessageKind Kind;
        std::string Text;
        MessageButtons Buttons;
    };

    ~ScriptedUi() override;

    // Script: answers in the order the questions are expected.
    ScriptedUi& AnswerMessage(std::string expectedText, int answer = mrOk);
    ScriptedUi& AnswerMainKeyword(std::optional<std::string> keyword);
    ScriptedUi& AnswerAddKeywords(std::optional<AddKeywordsAnswer> answer);
    ScriptedUi& AnswerSearchType(std::optional<bool> precise);
    // The security image window: the answer box's text and how the window closed. An Ok that the
    // core refuses keeps the window open for the next scripted answer.
    ScriptedUi& AnswerChallenge(std::string password, int result = mrOk);
    ScriptedUi& AnswerSaveFile(std::optional<std::string> path);
    bool ScriptDone() const { return script_.empty(); }

    // Runs at every turn of the event loop while a test awaits a run (support/Await.h), e.g. to
    // press Stop while a request waits.
    std::function<void()> OnTurn;
    // Runs when a banner is shown, while the banner's file is still being loaded.
    std::function<void()> OnBannerShown;

    // What was shown.
    std::vector<Message> Messages;
    std::vector<std::pair<StatusPanel, std::string>> StatusLog;
    std::map<StatusPanel, std::string> Status;
    Gauge LastGauge;
    int GaugeShows = 0;
    std::string Title;
    std::string GatherDataCaption = "Gather Data";
    bool HeaderClicksEnabled = true;
    int TimerArms = 0;
    // What escaped a run, and where.
    std::vector<std::string> Errors;
    // Where each save dialog opened: its folder and the name in its name field.
    std::vector<std::pair<std::string, std::string>> SaveDialogStarts;

    std::vector<std::string> ChallengeImageURLs;
    // Branding
    struct Link {
        std::string Caption = "Google";
        std::string Address;
    };
    bool BannerHandCursor = false;
    bool BannerStripHidden = false;
    int BannerStripHeight = 65;
    QByteArray BannerAnimation; // the GIF gifBanner plays, empty when none
    QSize BannerAnimationSize;
    QImage BannerPicture; // the picture imgBanner shows
    Link Links[2];
    std::vector<std::string> AppliedSkins;
    std::string ApplicationIcon;
    int Closes = 0;

    // WorkspaceUi
    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;
    std::optional<std::string> AskMainKeyword() override;
    std::optional<AddKeywordsAnswer> AskAddKeywords() override;
    std::optional<bool> AskSearchType() override;
    ChallengeAnswer AskChallenge(const ChallengePrompt& prompt) override;
    std::optional<std::string> AskSaveFile(std::string_view folder, std::string_view fileName) override;
    void ShowStatus(StatusPanel panel, std::string_view text) override;
    void ShowGauge(const Gauge& gauge) override;
    void SetTitle(std::string_view title) override;
    void SetGatherDataCaption(std::string_view caption) override;
    void SetHeaderClicksEnabled(bool enabled) override;
    void ArmStartupTimer() override;
    void ReportError(std::exception_ptr error, std::string_view where) override;
    void SetBannerHandCursor() override;
    void HideBannerStrip() override;
    void ShowBannerAnimation(const QByteArray& gif, int width, int height) override;
    void ShowBannerPicture(const QImage& picture) override;
    void SetBannerStripHeight(int height) override;
    void SetLinkLabel(int label, std::string_view caption, std::string_view address) override;
    void ApplySkinStyleSheet(std::string_view styleSheet) override;
    void SetApplicationIcon(const std::string& iconFile) override;
    void CloseMainWindow() override;

private:
    enum class Question { Message, MainKeyword, AddKeywords, SearchType, Challenge, SaveFile };
    struct Step {
        Question Asked;
        std::string ExpectedText; // for the security image window: the answer typed
        int Answer = mrCancel;
        std::optional<std::string> Keyword;
        std::optional<AddKeywordsAnswer> Add;
        std::optional<bool> Precise;
        std::optional<std::string> SavePath = {};
    };
    std::optional<Step> Next(Question asked, std::string_view what);

    std::deque<Step> script_;
};

} // namespace vorlith::test
