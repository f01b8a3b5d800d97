#include "cli/ConsoleUi.h"

#include "harvest/Challenge.h"

#include <QCoreApplication>

namespace vorlith::cli {

namespace {
template <typename T> std::optional<T> TakeFront(std::deque<T>& answers) {
    if (answers.empty())
        return std::nullopt;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

void Line(std::FILE* err, std::string_view prefix, std::string_view text) {
    std::fwrite(prefix.data(), 1, prefix.size(), err);
    std::fwrite(text.data(), 1, text.size(), err);
    std::fputc('\n', err);
}
} // namespace

int ConsoleUi::ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
    Line(err_, kind == MessageKind::Warning ? "Warning: " : "Information: ", text);
    if (buttons == MessageButtons::Ok)
        return mrOk;
    // With nothing left to answer a new image with, trying again would loop for ever.
    if (challengeInputEnded_ && text == WrongPasswordQuestion) {
        Line(err_, "", "  -> Cancel (no more input for the security image)");
        return mrCancel;
    }
    if (buttons == MessageButtons::YesNoCancel) {
        Line(err_, "", yes_ ? "  -> Yes" : "  -> Cancel (give --yes to answer Yes)");
        return yes_ ? mrYes : mrCancel;
    }
    Line(err_, "", yes_ ? "  -> OK" : "  -> Cancel (give --yes to answer OK)");
    return yes_ ? mrOk : mrCancel;
}

std::optional<bool> ConsoleUi::AskSearchType() {
    return TakeFront(SearchTypeAnswers);
}

namespace {
// One line without its line break; nothing when the input has ended. A very long line is cut.
std::optional<std::string> ReadLine(std::FILE* in) {
    constexpr std::size_t MaxLine = 64 * 1024;
    std::string line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        if (line.size() < MaxLine)
            line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}
} // namespace

// The security image window on a terminal: its address is printed, the answer typed. An empty
// line is refused as Ok refuses an empty box; end of input is Cancel with an empty box.
ChallengeAnswer ConsoleUi::AskChallenge(const ChallengePrompt& prompt) {
    ChallengeAnswer answer{mrCancel, {}};
    Line(err_, "Security image: ", prompt.ImageAddress);
    for (;;) {
        Line(err_, ChallengeSentence, " (end of input: Cancel):");
        std::fflush(err_);
        std::optional<std::string> typed = ReadLine(In);
        if (!typed) {
            challengeInputEnded_ = true;
            return answer;
        }
        if (!prompt.AcceptAnswer(*typed))
            continue;
        answer.ModalResult = mrOk;
        answer.Password = std::move(*typed);
        return answer;
    }
}

void ConsoleUi::ShowStatus(StatusPanel panel, std::string_view text) {
    status_[panel] = std::string(text);
    if (verbose_)
        Line(err_, "", text);
}

void ConsoleUi::ShowStatusCause(StatusPanel, std::string_view cause) {
    if (verbose_ && !cause.empty())
        Line(err_, "", cause);
}

void ConsoleUi::SetTitle(std::string_view title) {
    Branding.Title = title;
}
void ConsoleUi::ReportError(std::exception_ptr error, std::string_view) {
    if (!reported_)
        reported_ = error;
}

void ConsoleUi::SetBannerHandCursor() {
    Branding.BannerHandCursor = true;
}
void ConsoleUi::HideBannerStrip() {
    Branding.BannerStripHidden = true;
}

void ConsoleUi::ShowBannerAnimation(const QByteArray&, int width, int height) {
    Branding.BannerAnimated = true;
    Branding.BannerWidth = width;
    Branding.BannerHeight = height;
}

void ConsoleUi::ShowBannerPicture(const QImage& picture) {
    Branding.BannerAnimated = false;
    Branding.BannerWidth = picture.width();
    Branding.BannerHeight = picture.height();
}

void ConsoleUi::SetBannerStripHeight(int height) {
    Branding.BannerStripHeight = height;
}

void ConsoleUi::SetLinkLabel(int label, std::string_view caption, std::string_view address) {
    if (label != 1 && label != 2)
        return;
    Branding.LinksSet = true;
    Branding.LinkCaptions[label - 1] = caption;
    Branding.LinkAddresses[label - 1] = address;
}

void ConsoleUi::ApplySkinStyleSheet(std::string_view styleSheet) {
    Branding.SkinApplied = true;
    Branding.SkinStyleSheet = styleSheet;
}

void ConsoleUi::SetApplicationIcon(const std::string& iconFile) {
    Branding.IconFile = iconFile;
}
void ConsoleUi::CloseMainWindow() {
    Closed = true;
}

} // namespace vorlith::cli
