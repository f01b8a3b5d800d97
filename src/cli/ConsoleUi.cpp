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
void ConsoleUi::SetTitle(std::string_view) {}
void ConsoleUi::SetGatherDataCaption(std::string_view) {}
void ConsoleUi::SetHeaderClicksEnabled(bool) {}
void ConsoleUi::ArmStartupTimer() {}
void ConsoleUi::Pump() {
    QCoreApplication::processEvents();
}

} // namespace vorlith::cli
