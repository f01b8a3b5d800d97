#pragma once
// The terminal's WorkspaceUi: messages go to standard error, OK/Cancel questions are answered OK
// with --yes and Cancel otherwise; the search type dialog takes --gather-data's answer and the
// security image's answer is read from standard input. What it does not show, it leaves out.

#include "workspace/Gauge.h"
#include "workspace/WorkspaceUi.h"

#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <string>
#include <utility>

namespace vorlith::cli {

class ConsoleUi : public WorkspaceUi {
public:
    ConsoleUi(std::FILE* err, bool yes, bool verbose) : err_(err), yes_(yes), verbose_(verbose) {}

    // Answers for the next search type dialogs, queued by --gather-data.
    std::deque<bool> SearchTypeAnswers;
    // Where the security image's answer is read from, one line; end of input answers Cancel.
    std::FILE* In = stdin;

    const std::string& Status(StatusPanel panel) { return status_[panel]; }
    bool Verbose() const { return verbose_; }

    // What the branding steps put on the window, for --branding.
    struct AppliedBranding {
        std::string Title;
        bool BannerHandCursor = false;
        bool BannerStripHidden = false;
        bool BannerAnimated = false;
        int BannerWidth = 0;
        int BannerHeight = 0;
        int BannerStripHeight = 0;
        bool LinksSet = false;
        std::string LinkCaptions[2];
        std::string LinkAddresses[2];
        std::string SkinStyleSheet;
        bool SkinApplied = false;
        std::string IconFile;
    } Branding;
    // The window was closed (the updater took over).
    bool Closed = false;

    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;
    std::optional<bool> AskSearchType() override;
    ChallengeAnswer AskChallenge(const ChallengePrompt& prompt) override;
    void ShowStatus(StatusPanel panel, std::string_view text) override;
    // With --verbose, a failure's host and cause on the line after its status.
    void ShowStatusCause(StatusPanel panel, std::string_view cause) override;
    void SetTitle(std::string_view title) override;
    // Kept for the command line, which ends as if the command had thrown it.
    void ReportError(std::exception_ptr error, std::string_view where) override;
    void RethrowReportedError() {
        if (auto error = std::exchange(reported_, nullptr))
            std::rethrow_exception(error);
    }
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
    std::exception_ptr reported_;
    std::FILE* err_;
    bool yes_;
    bool verbose_;
    std::map<StatusPanel, std::string> status_;
    bool challengeInputEnded_ = false;
};

} // namespace vorlith::cli
