#include "branding/UpdateCheck.h"

#include "support/Await.h"
#include "support/BrandingFixture.h"
#include "support/ScriptedHttpServer.h"

#include <QLocale>
#include <cstring>

#ifdef VORLITH_WITH_STANDIN
#include "StandinServer.h"
#endif

namespace vorlith {
namespace {

using test::FakeShell;
using test::Reply;
using test::ScriptedHttpServer;
using test::ScriptedUi;

std::string Question(const std::string& version) {
    return std::string(NewUpdateTextStart) + version + std::string(NewUpdateTextEnd);
}

TEST(UpdateCheck, ConstantsAreTheVersionAndTexts) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &VersionNumber, sizeof bits);
    EXPECT_EQ(bits, 0x3F851EB8u);
    EXPECT_EQ(static_cast<double>(VersionNumber), 1.03999996185302734375);
    EXPECT_EQ(FormatGeneral15(static_cast<double>(VersionNumber), '.'), "1.03999996185303");
    EXPECT_EQ(FormatGeneral15(static_cast<double>(VersionNumber), ','), "1,03999996185303");
    EXPECT_EQ(FormatGeneral15(2.0, '.'), "2");
    EXPECT_NE(CloseToUpdateText.find("close to\n\rreplace some"), std::string_view::npos);
}

struct NumberCase {
    const char* text;
    char separator;
    float value;
};

class VersionText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(VersionText, IsReadWithTheUsersSeparatorOrCountsAsZero) {
    EXPECT_EQ(ReadVersionNumber(GetParam().text, GetParam().separator), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionText,
                         ::testing::Values(NumberCase{"1.04", '.', 1.04f}, NumberCase{"1.05", '.', 1.05f},
                                           NumberCase{"2", '.', 2.0f}, NumberCase{"  1.05  ", '.', 1.05f},
                                           NumberCase{"+1.05", '.', 1.05f}, NumberCase{"-3", '.', -3.0f},
                                           NumberCase{"105E-2", '.', 1.05f},
                                           NumberCase{"1.05e+0", '.', 1.05f}, NumberCase{".5", '.', 0.5f},
                                           NumberCase{"5.", '.', 5.0f}, NumberCase{"1,05", '.', 0.0f},
                                           NumberCase{"1,05", ',', 1.05f}, NumberCase{"1.05", ',', 0.0f},
                                           NumberCase{"1,000.5", '.', 0.0f}, NumberCase{"", '.', 0.0f},
                                           NumberCase{"   ", '.', 0.0f}, NumberCase{".", '.', 0.0f},
                                           NumberCase{"1.05 beta", '.', 0.0f}, NumberCase{"v1.05", '.', 0.0f},
                                           NumberCase{"1e", '.', 0.0f}, NumberCase{"1e+", '.', 0.0f},
                                           NumberCase{"0x10", '.', 0.0f}, NumberCase{"inf", '.', 0.0f},
                                           NumberCase{"nan", '.', 0.0f}, NumberCase{"--1", '.', 0.0f},
                                           NumberCase{"1e999", '.', std::numeric_limits<float>::infinity()},
                                           NumberCase{"1e-999", '.', 0.0f}));

TEST(VersionText, RoundsToTheNearestSinglePrecisionValue) {
    EXPECT_EQ(ReadVersionNumber("1.04000001", '.'), VersionNumber);
    EXPECT_GT(ReadVersionNumber("1.0400001", '.'), VersionNumber);
    EXPECT_EQ(static_cast<double>(ReadVersionNumber("1.0400001", '.')), 1.0400000810623168945);
}

// A program folder with a scripted window and a fake shell; the update folder is on 127.0.0.1.
class UpdateTest : public test::BrandingTest {
protected:
    void UseServer(std::uint16_t port) {
        ws().Endpoints.UpdateBase = "http://127.0.0.1:" + std::to_string(port);
    }
    std::string Description() const { return Folder() + "mainappupdate.inf"; }
};

TEST_F(UpdateTest, AnHtmlPageInsteadOfTheDescriptionOffersNothing) {
    ScriptedHttpServer server;
    server.Next().Send(Reply::Answer(200, "<html><body>Not here</body></html>")).Close();
    UseServer(server.Port());
    ui.AnswerMessage(std::string(NoUpdatesText));
    test::Await(CheckForUpdates(ws(), false, '.'));
    ASSERT_EQ(server.Requests.size(), 1u);
    EXPECT_TRUE(server.Requests[0].starts_with("GET /liveupdate/vorlith/mainappupdate.inf "))
        << server.Requests[0];
    EXPECT_TRUE(Exists("mainappupdate.inf"));
}

// Corrected: a failed download used to say "no new updates", a failure told as success.
TEST_F(UpdateTest, AFailedDownloadSaysItFailedOnlyWhenNotSilent) {
    ScriptedHttpServer server;
    server.Otherwise().Send(Reply::Answer(404, "missing")).Close();
    UseServer(server.Port());
    Write("mainappupdate.inf", "[APPLICATION]\r\nVersion=9\r\n"); // an old one is not used
    EXPECT_EQ(test::Await(CheckForUpdates(ws(), true, '.')), UpdateCheckEnd::DownloadFailed);
    EXPECT_TRUE(ui.Messages.empty());
    ui.AnswerMessage(std::string(UpdateCheckFailedText) + "127.0.0.1:" + std::to_string(server.Port()) +
                     ": HTTP status 404");
    EXPECT_EQ(test::Await(CheckForUpdates(ws(), false, '.')), UpdateCheckEnd::DownloadFailed);
    EXPECT_FALSE(Exists("mainappupdate.inf"));
    EXPECT_TRUE(shell.Started.empty());
}

TEST_F(UpdateTest, ADescriptionFileThatCannotBeCreatedIsAnError) {
    ScriptedHttpServer server;
    server.Otherwise().Send(Reply::Answer(200, "[APPLICATION]\r\nVersion=2\r\n")).Close();
    UseServer(server.Port());
    std::filesystem::create_directory(Description());
    // The run's root reports it through the error window.
    test::Await(CheckForUpdates(ws(), true, '.'));
    ASSERT_EQ(ui.Errors.size(), 1u);
    EXPECT_NE(ui.Errors[0].find("Cannot create file"), std::string::npos) << ui.Errors[0];
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(UpdateTest, TheReservedDefaultFolderIsNeverAsked) {
    EXPECT_EQ(UpdateFolderURL(ws()), "http://www.vorlith.example/liveupdate/vorlith/");
    ui.AnswerMessage(std::string(NoUpdatesText));
    test::Await(CheckForUpdates(ws(), false, '.'));
    test::Await(CheckForUpdates(ws(), true, '.'));
    EXPECT_EQ(ui.Messages.size(), 1u);
}

class ServedDescription : public UpdateTest {
protected:
    void Serve(const std::string& description) {
        server.Otherwise().Send(Reply::Answer(200, description)).Close();
        UseServer(server.Port());
    }
    void Serve(std::string_view version, bool withUpdater) {
        Serve("[APPLICATION]\r\nName=Vorlith\r\nVersion=" + std::string(version) + "\r\n");
        if (withUpdater)
            Write("Updater.exe", "#!/bin/sh\n");
    }
    ScriptedHttpServer server;
};

TEST_F(ServedDescription, AgreeingTwiceStartsTheUpdaterAndClosesTheWindow) {
    Serve("1.05", true);
    ui.AnswerMessage(Question("1.05"), mrOk).AnswerMessage(std::string(CloseToUpdateText), mrOk);
    test::Await(CheckForUpdates(ws(), true, '.'));
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_EQ(shell.Started[0].File, Folder() + "Updater.exe");
    EXPECT_EQ(shell.Started[0].Parameters, "http://127.0.0.1:" + std::to_string(server.Port()) +
                                               "/liveupdate/vorlith/ 1.03999996185303 A");
    EXPECT_EQ(ui.Closes, 1);
    EXPECT_TRUE(ws().CloseAgreed) << "the close the user agreed to must not be asked about again";
    EXPECT_EQ(ui.Messages[0].Kind, MessageKind::Information);
    EXPECT_EQ(ui.Messages[1].Buttons, MessageButtons::OkCancel);
    EXPECT_TRUE(Exists("mainappupdate.inf"));
}

TEST_F(ServedDescription, TheParameterTextUsesTheUsersSeparator) {
    Serve("1,05", true);
    ui.AnswerMessage(Question("1,05"), mrOk).AnswerMessage(std::string(CloseToUpdateText), mrOk);
    test::Await(CheckForUpdates(ws(), false, ','));
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_TRUE(shell.Started[0].Parameters.ends_with("/liveupdate/vorlith/ 1,03999996185303 A"));
}

TEST_F(ServedDescription, CancelAtEitherQuestionStopsQuietly) {
    Serve("2", true);
    ui.AnswerMessage(Question("2"), mrCancel);
    test::Await(CheckForUpdates(ws(), false, '.'));
    ui.AnswerMessage(Question("2"), mrOk).AnswerMessage(std::string(CloseToUpdateText), mrCancel);
    test::Await(CheckForUpdates(ws(), false, '.'));
    EXPECT_EQ(ui.Messages.size(), 3u);
    EXPECT_TRUE(shell.Started.empty());
    EXPECT_EQ(ui.Closes, 0);
}

TEST_F(ServedDescription, AMissingUpdaterIsAWarningAlsoInTheSilentCheck) {
    Serve("1.1", false);
    ui.AnswerMessage(Question("1.1"), mrOk).AnswerMessage(std::string(UpdaterMissingText));
    test::Await(CheckForUpdates(ws(), true, '.'));
    EXPECT_EQ(ui.Messages[1].Kind, MessageKind::Warning);
    EXPECT_EQ(ui.Messages[1].Buttons, MessageButtons::Ok);
    EXPECT_TRUE(shell.Started.empty());
    EXPECT_EQ(ui.Closes, 0);
}

TEST_F(ServedDescription, ARelativeFolderStartsTheUpdaterByItsAbsolutePath) {
    Serve("1.05", true);
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(Folder());
    Workspace relative(ui, std::string("./"));
    relative.Shell = &shell;
    relative.Endpoints.UpdateBase = ws().Endpoints.UpdateBase;
    ui.AnswerMessage(Question("1.05"), mrOk).AnswerMessage(std::string(CloseToUpdateText), mrOk);
    test::Await(CheckForUpdates(relative, true, '.'));
    std::filesystem::current_path(before);
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_EQ(shell.Started[0].File, Folder() + "Updater.exe");
    // Nothing could start it: said, and the window stays.
    shell.Starts = false;
    ui.AnswerMessage(Question("1.05"), mrOk)
        .AnswerMessage(std::string(CloseToUpdateText), mrOk)
        .AnswerMessage("The updater could not be started: " + Folder() + "Updater.exe");
    EXPECT_EQ(test::Await(CheckForUpdates(ws(), true, '.')), UpdateCheckEnd::UpdaterMissing);
    EXPECT_EQ(ui.Closes, 1);
}

TEST_F(ServedDescription, TheQuestionShowsTheVersionAsWritten) {
    Serve("[application]\r\nversion = \" 2.0E0 \"\r\n");
    ui.AnswerMessage(Question(" 2.0E0 "), mrCancel);
    test::Await(CheckForUpdates(ws(), false, '.'));
}

TEST_F(ServedDescription, EmptyOrSectionlessDescriptionsOfferNothing) {
    for (const std::string& description :
         {std::string(), std::string("Version=2\r\n"), std::string("[OTHER]\r\nVersion=2\r\n"),
          std::string("\x89PNG\0\0", 6)}) {
        server.Next().Send(Reply::Answer(200, description)).Close();
        UseServer(server.Port());
        ui.AnswerMessage(std::string(NoUpdatesText));
        test::Await(CheckForUpdates(ws(), false, '.'));
    }
}

TEST_F(ServedDescription, TheSilentCheckShowsNothingWhenThereIsNoUpdate) {
    Serve("1.04", true);
    test::Await(CheckForUpdates(ws(), true));
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(server.Requests.size(), 1u);
}

TEST_F(ServedDescription, TheUsersLocaleDecidesTheSeparator) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(UserDecimalSeparator(), ',');
    Serve("1,05", false);
    ui.AnswerMessage(Question("1,05"), mrCancel);
    CheckForUpdatesNow(ws());
    test::AwaitRuns(ws(), ui);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(UserDecimalSeparator(), '.');
    ui.AnswerMessage(std::string(NoUpdatesText));
    CheckForUpdatesNow(ws());
    test::AwaitRuns(ws(), ui);
    QLocale::setDefault(before);
}

#ifdef VORLITH_WITH_STANDIN
struct PublishedCase {
    const char* name;
    std::string version; // as the stand-in publishes it
    char separator;
    std::string shown; // the version in the question, "" when nothing is offered
};

class AgainstTheStandin : public UpdateTest, public ::testing::WithParamInterface<PublishedCase> {};

TEST_P(AgainstTheStandin, OffersOnlyAStrictlyNewerVersion) {
    const auto& c = GetParam();
    standin::Options options;
    options.Version = c.version;
    options.Quiet = true;
    standin::StandinServer standin(options);
    const int port = standin.Start();
    ASSERT_GT(port, 0);
    UseServer(static_cast<std::uint16_t>(port));
    ui.AnswerMessage(c.shown.empty() ? std::string(NoUpdatesText) : Question(c.shown), mrCancel);
    test::Await(CheckForUpdates(ws(), false, c.separator));
    EXPECT_TRUE(Exists("mainappupdate.inf"));
    EXPECT_TRUE(shell.Started.empty());
    standin.Stop();
}

INSTANTIATE_TEST_SUITE_P(Table, AgainstTheStandin,
                         ::testing::Values(PublishedCase{"Same", "1.04", '.', ""},
                                           PublishedCase{"SameInSinglePrecision", "1.04000001", '.', ""},
                                           PublishedCase{"JustNewer", "1.0400001", '.', "1.0400001"},
                                           PublishedCase{"Newer", "1.05", '.', "1.05"},
                                           PublishedCase{"Whole", "2", '.', "2"},
                                           PublishedCase{"Older", "1.03", '.', ""},
                                           PublishedCase{"CommaUnderDot", "1,05", '.', ""},
                                           PublishedCase{"CommaUnderComma", "1,05", ',', "1,05"},
                                           PublishedCase{"DotUnderComma", "1.05", ',', ""},
                                           PublishedCase{"Quoted", "\"1.05\"", '.', "1.05"},
                                           PublishedCase{"Padded", "   1.05   ", '.', "1.05"},
                                           PublishedCase{"BlanksInsideQuotes", "' 1.05 '", '.', " 1.05 "},
                                           PublishedCase{"Empty", "", '.', ""},
                                           PublishedCase{"Words", "latest", '.', ""}),
                         [](const auto& info) { return std::string(info.param.name); });
#endif

} // namespace
} // namespace vorlith
