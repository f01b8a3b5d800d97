// An installed copy: branding read from the user's folder, then the system-wide one; an accepted
// update offer opens the maker's site instead of looking for an updater.
#include "branding/Branding.h"
#include "branding/SkinFile.h"
#include "branding/UpdateCheck.h"
#include "support/Await.h"
#include "support/FakeShell.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedUi.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace vorlith {
namespace {

using test::FakeShell;
using test::Reply;
using test::ScriptedHttpServer;
using test::ScriptedUi;

class InstalledCopy : public ::testing::Test {
protected:
    InstalledCopy() {
        std::filesystem::create_directories(User());
        std::filesystem::create_directories(System());
        shell.HtmlCommand = "\"/usr/bin/browser\" \"%1\"";
    }
    std::string User() const { return dir_.path().toStdString() + "/home/.local/share/vorlith/"; }
    std::string System() const { return dir_.path().toStdString() + "/etc/vorlith/"; }
    static void Write(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // Built after the files are in place: the endpoints are read when the workspace is made.
    Workspace& ws(bool installed = true) {
        ProgramFolders folders{installed, User(), {User()}};
        if (installed)
            folders.SettingsFolders.push_back(System());
        ws_ = std::make_unique<Workspace>(ui, folders);
        ws_->Shell = &shell;
        return *ws_;
    }

    ScriptedUi ui;
    FakeShell shell;

private:
    QTemporaryDir dir_;
    std::unique_ptr<Workspace> ws_;
};

TEST_F(InstalledCopy, TheSystemWideBrandingAppliesWhenTheUserHasNone) {
    Write(System() + "dbconfig.dat",
          "[Settings]\r\nAppName=Harbour\r\n[Endpoints]\r\nUpdateBase=http://127.0.0.1:9\r\n");
    Write(System() + "dbskin.dat", PackSkin("QWidget { color: navy; }"));
    Workspace& installed = ws();
    EXPECT_EQ(installed.Endpoints.UpdateBase, "http://127.0.0.1:9");
    const BrandingResult result = LoadBranding(installed, [](std::size_t) { return std::size_t{0}; });
    EXPECT_EQ(ui.Title, "Harbour v1.04");
    EXPECT_EQ(result.SkinFile, System() + "dbskin.dat");
    ASSERT_EQ(ui.AppliedSkins.size(), 1u);
    EXPECT_EQ(ui.AppliedSkins[0], "QWidget { color: navy; }");
    // Nothing was written beside the system-wide files.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(System()), {}), 2);
}

TEST_F(InstalledCopy, TheUsersOwnFilesWinWhole) {
    Write(System() + "dbconfig.dat", "[Settings]\r\nAppName=System\r\nAfiliateID=sys\r\n");
    Write(System() + "dbskin.dat", PackSkin("QWidget { color: navy; }"));
    Write(User() + "dbconfig.dat", "[Settings]\r\nAppName=Mine\r\n");
    Workspace& installed = ws();
    LoadBranding(installed, [](std::size_t) { return std::size_t{0}; });
    EXPECT_EQ(ui.Title, "Mine v1.04");
    EXPECT_EQ(installed.AffiliateID, "");  // not merged with the system-wide file
    EXPECT_EQ(ui.AppliedSkins.size(), 1u); // the user has no skin: the system-wide one
}

TEST_F(InstalledCopy, APortableCopyNeverReadsTheSystemWideFiles) {
    Write(System() + "dbconfig.dat",
          "[Settings]\r\nAppName=System\r\n[Endpoints]\r\nUpdateBase=http://127.0.0.1:9\r\n");
    Workspace& portable = ws(false);
    EXPECT_NE(portable.Endpoints.UpdateBase, "http://127.0.0.1:9");
    EXPECT_FALSE(LoadBranding(portable, [](std::size_t) { return std::size_t{0}; }).ConfigFound);
    EXPECT_EQ(portable.SettingsFile("dbconfig.dat"), User() + "dbconfig.dat");
}

struct OfferCase {
    const char* name;
    bool silent;
    int answer;
    bool updaterBeside; // an Updater.exe in the user's folder must not matter
    bool opensSite;
};

class InstalledUpdateOffer : public InstalledCopy, public ::testing::WithParamInterface<OfferCase> {};

TEST_P(InstalledUpdateOffer, OkOpensTheMakersSiteAndStopsThere) {
    const auto& c = GetParam();
    if (c.updaterBeside)
        Write(User() + "Updater.exe", "#!/bin/sh\n");
    ScriptedHttpServer server;
    server.Otherwise().Send(Reply::Answer(200, "[APPLICATION]\r\nVersion=1.05\r\n")).Close();
    Workspace& installed = ws();
    installed.Endpoints.UpdateBase = "http://127.0.0.1:" + std::to_string(server.Port());
    installed.Endpoints.MakerSiteBase = "http://maker.test";
    ui.AnswerMessage(std::string(NewUpdateTextStart) + "1.05" + std::string(NewUpdateTextEnd), c.answer);

    test::Await(CheckForUpdates(installed, c.silent, '.'));

    EXPECT_EQ(ui.Messages.size(), 1u); // no updater warning, no second question
    EXPECT_EQ(ui.Closes, 0);
    if (c.opensSite)
        EXPECT_EQ(shell.Started,
                  (std::vector<FakeShell::Opened>{{"/usr/bin/browser", "http://maker.test/"}}));
    else
        EXPECT_TRUE(shell.Started.empty());
    EXPECT_TRUE(std::filesystem::exists(User() + "mainappupdate.inf"));
}

INSTANTIATE_TEST_SUITE_P(Table, InstalledUpdateOffer,
                         ::testing::Values(OfferCase{"Ok", false, mrOk, false, true},
                                           OfferCase{"OkWithAnUpdaterBeside", false, mrOk, true, true},
                                           OfferCase{"OkInTheSilentCheck", true, mrOk, false, true},
                                           OfferCase{"Cancel", false, mrCancel, true, false},
                                           OfferCase{"ClosedBox", true, 0, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vorlith
