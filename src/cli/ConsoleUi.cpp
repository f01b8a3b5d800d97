#include "cli/ConsoleUi.h"

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
    Line(err_, "", yes_ ? "  -> OK" : "  -> Cancel (give --yes to answer OK)");
    return yes_ ? mrOk : mrCancel;
}

std::optional<std::string> ConsoleUi::AskMainKeyword() {
    return TakeFront(MainKeywordAnswers);
}
std::optional<AddKeywordsAnswer> ConsoleUi::AskAddKeywords() {
    return TakeFront(AddKeywordsAnswers);
}
std::optional<bool> ConsoleUi::AskSearchType() {
    return TakeFront(SearchTypeAnswers);
}

std::optional<std::string> ConsoleUi::AskSaveFile(std::string_view, std::string_view) {
    return TakeFront(SaveFileAnswers);
}

void ConsoleUi::ShowStatus(StatusPanel panel, std::string_view text) {
    status_[panel] = std::string(text);
    if (verbose_)
        Line(err_, "", text);
}

void ConsoleUi::ShowGauge(const Gauge&) {}
void ConsoleUi::SetTitle(std::string_view title) { Branding.Title = title; }
void ConsoleUi::SetGatherDataCaption(std::string_view) {}
void ConsoleUi::SetHeaderClicksEnabled(bool) {}
void ConsoleUi::ArmStartupTimer() {}
void ConsoleUi::Pump() {
    QCoreApplication::processEvents();
}

void ConsoleUi::SetBannerHandCursor() { Branding.BannerHandCursor = true; }
void ConsoleUi::HideBannerStrip() { Branding.BannerStripHidden = true; }

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

void ConsoleUi::SetBannerStripHeight(int height) { Branding.BannerStripHeight = height; }

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

void ConsoleUi::SetApplicationIcon(const std::string& iconFile) { Branding.IconFile = iconFile; }
void ConsoleUi::CloseMainWindow() { Closed = true; }

} // namespace vorlith::cli
