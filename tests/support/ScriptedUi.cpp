#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

namespace vorlith::test {

namespace {
const char* Name(int question) {
    static const char* const names[] = {
        "a message box",          "the main keyword dialog",   "the add keywords dialog",
        "the search type dialog", "the security image window", "the save dialog"};
    return names[question];
}
} // namespace

ScriptedUi::~ScriptedUi() {
    EXPECT_TRUE(script_.empty()) << script_.size()
                                 << " scripted answer(s) were never asked for; the first is for "
                                 << Name(static_cast<int>(script_.front().Asked));
}

ScriptedUi& ScriptedUi::AnswerMessage(std::string expectedText, int answer) {
    script_.push_back({Question::Message, std::move(expectedText), answer, {}, {}, {}});
    return *this;
}

ScriptedUi& ScriptedUi::AnswerMainKeyword(std::optional<std::string> keyword) {
    script_.push_back({Question::MainKeyword, {}, mrCancel, std::move(keyword), {}, {}});
    return *this;
}

ScriptedUi& ScriptedUi::AnswerAddKeywords(std::optional<AddKeywordsAnswer> answer) {
    script_.push_back({Question::AddKeywords, {}, mrCancel, {}, std::move(answer), {}});
    return *this;
}

ScriptedUi& ScriptedUi::AnswerSearchType(std::optional<bool> precise) {
    script_.push_back({Question::SearchType, {}, mrCancel, {}, {}, precise});
    return *this;
}

ScriptedUi& ScriptedUi::AnswerChallenge(std::string password, int result) {
    script_.push_back({Question::Challenge, std::move(password), result, {}, {}, {}, {}});
    return *this;
}

ScriptedUi& ScriptedUi::AnswerSaveFile(std::optional<std::string> path) {
    script_.push_back({Question::SaveFile, {}, mrCancel, {}, {}, {}, std::move(path)});
    return *this;
}

std::optional<ScriptedUi::Step> ScriptedUi::Next(Question asked, std::string_view what) {
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected question: " << Name(static_cast<int>(asked)) << " " << what;
        return std::nullopt;
    }
    if (script_.front().Asked != asked) {
        ADD_FAILURE() << "expected " << Name(static_cast<int>(script_.front().Asked))
                      << " but the program showed " << Name(static_cast<int>(asked)) << " " << what;
        return std::nullopt;
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    return step;
}

int ScriptedUi::ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
    Messages.push_back({kind, std::string(text), buttons});
    const auto step = Next(Question::Message, text);
    if (!step)
        return mrCancel;
    EXPECT_EQ(step->ExpectedText, text);
    // A box with OK alone cannot answer Cancel.
    return buttons == MessageButtons::Ok ? mrOk : step->Answer;
}

std::optional<std::string> ScriptedUi::AskMainKeyword() {
    const auto step = Next(Question::MainKeyword, "");
    return step ? step->Keyword : std::nullopt;
}

std::optional<AddKeywordsAnswer> ScriptedUi::AskAddKeywords() {
    const auto step = Next(Question::AddKeywords, "");
    return step ? step->Add : std::nullopt;
}

std::optional<bool> ScriptedUi::AskSearchType() {
    const auto step = Next(Question::SearchType, "");
    return step ? step->Precise : std::nullopt;
}

ChallengeAnswer ScriptedUi::AskChallenge(const ChallengePrompt& prompt) {
    ChallengeImageURLs.push_back(prompt.ImageAddress);
    for (;;) {
        const auto step = Next(Question::Challenge, prompt.ImageAddress);
        if (!step)
            return {mrCancel, {}};
        // A refused answer leaves the window open: the next scripted answer is typed into it.
        if (step->Answer == mrOk && !prompt.AcceptAnswer(step->ExpectedText))
            continue;
        return {step->Answer, step->ExpectedText};
    }
}

std::optional<std::string> ScriptedUi::AskSaveFile(std::string_view folder, std::string_view fileName) {
    SaveDialogStarts.emplace_back(std::string(folder), std::string(fileName));
    const auto step = Next(Question::SaveFile, fileName);
    return step ? step->SavePath : std::nullopt;
}

void ScriptedUi::ShowStatus(StatusPanel panel, std::string_view text) {
    StatusLog.emplace_back(panel, std::string(text));
    Status[panel] = std::string(text);
}

void ScriptedUi::ShowGauge(const Gauge& gauge) {
    LastGauge = gauge;
    ++GaugeShows;
}

void ScriptedUi::SetTitle(std::string_view title) {
    Title = title;
}
void ScriptedUi::SetGatherDataCaption(std::string_view caption) {
    GatherDataCaption = caption;
}
void ScriptedUi::SetHeaderClicksEnabled(bool enabled) {
    HeaderClicksEnabled = enabled;
}
void ScriptedUi::ArmStartupTimer() {
    ++TimerArms;
}

void ScriptedUi::ReportError(std::exception_ptr error, std::string_view where) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        Errors.push_back(std::string(where) + ": " + e.what());
    } catch (...) {
        Errors.push_back(std::string(where));
    }
}

void ScriptedUi::SetBannerHandCursor() {
    BannerHandCursor = true;
}
void ScriptedUi::HideBannerStrip() {
    BannerStripHidden = true;
}

void ScriptedUi::ShowBannerAnimation(const QByteArray& gif, int width, int height) {
    BannerAnimation = gif;
    BannerAnimationSize = QSize(width, height);
    BannerPicture = QImage();
    if (OnBannerShown)
        OnBannerShown();
}

void ScriptedUi::ShowBannerPicture(const QImage& picture) {
    BannerPicture = picture;
    BannerAnimation.clear();
    if (OnBannerShown)
        OnBannerShown();
}

void ScriptedUi::SetBannerStripHeight(int height) {
    BannerStripHeight = height;
}

void ScriptedUi::SetLinkLabel(int label, std::string_view caption, std::string_view address) {
    EXPECT_TRUE(label == 1 || label == 2) << label;
    if (label == 1 || label == 2)
        Links[label - 1] = {std::string(caption), std::string(address)};
}

void ScriptedUi::ApplySkinStyleSheet(std::string_view styleSheet) {
    AppliedSkins.emplace_back(styleSheet);
}
void ScriptedUi::SetApplicationIcon(const std::string& iconFile) {
    ApplicationIcon = iconFile;
}
void ScriptedUi::CloseMainWindow() {
    ++Closes;
}

} // namespace vorlith::test
