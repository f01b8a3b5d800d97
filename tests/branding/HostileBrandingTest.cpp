// Branding files a hostile or careless hand put in the program folder: names that lead out of it,
// FIFOs and devices in place of files, style sheets that name FIFOs, a silent update server.
#include "branding/Banner.h"
#include "branding/Branding.h"
#include "branding/SkinFile.h"
#include "branding/UpdateCheck.h"
#include "support/Await.h"
#include "support/BrandingFixture.h"
#include "support/HostileServer.h"

#include <QDir>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith::test {
namespace {

using namespace std::chrono_literals;

// The program folder is a subfolder, so that "../" stays inside the temporary directory.
class HostileBranding : public BrandingTest {
protected:
    HostileBranding() : BrandingTest("program/") {}
    std::string Above() const { return Folder() + "../"; }
    void Fifo(const std::string& name) { ASSERT_EQ(::mkfifo((Folder() + name).c_str(), 0600), 0); }
};

struct BannerNameCase {
    const char* Name;
    const char* BannerPath;
    const char* Shown; // the name the picture is loaded under, in the program folder
};

class BannerName : public HostileBranding, public ::testing::WithParamInterface<BannerNameCase> {};

// While the banner loads, the stored image keeps its name (a kill then loses nothing) and nothing
// appears outside the folder; afterwards only the stored image is left.
TEST_P(BannerName, LoadsInsideTheFolderWithoutMovingTheStoredImage) {
    Config(std::string("BannerPath1=") + GetParam().BannerPath + "\r\n");
    Write("dbimg1.dat", EncodedPicture(30, 12, "JPEG"));
    bool shown = false;
    ui.OnBannerShown = [&] {
        shown = true;
        EXPECT_TRUE(Exists("dbimg1.dat"));
        EXPECT_TRUE(Exists(GetParam().Shown));
        EXPECT_EQ(QDir(QString::fromStdString(Above())).entryList(QDir::Files), QStringList{});
    };
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_TRUE(shown);
    EXPECT_EQ(ui.BannerPicture.size(), QSize(30, 12));
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat"}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, BannerName,
    ::testing::Values(BannerNameCase{"DotDotSlash", "../escaped.jpg", "escaped.jpg"},
                      BannerNameCase{"AbsolutePath", "/tmp/x/y/banner.jpg", "banner.jpg"},
                      BannerNameCase{"WindowsPath", "C:\\Ads\\banner.jpg", "banner.jpg"},
                      BannerNameCase{"MixedSeparators", "a\\b/c:../d/banner.jpg", "banner.jpg"},
                      BannerNameCase{"PlainName", "banner.jpg", "banner.jpg"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct NotAFileCase {
    const char* Name;
    std::string Settings;
    const char* Fifo; // the file made a FIFO
};

class NotAFile : public HostileBranding, public ::testing::WithParamInterface<NotAFileCase> {};

// A FIFO in a file's place is never opened: the start goes on (or fails with a message) at once.
TEST_P(NotAFile, NeverBlocksTheStart) {
    const NotAFileCase& c = GetParam();
    Config(c.Settings);
    Fifo(c.Fifo);
    draws = {0, 0};
    const auto start = std::chrono::steady_clock::now();
    try {
        LoadBranding(ws(), Drawer());
    } catch (const std::runtime_error&) {
        // a clear error is as good as a skipped file
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(Exists(c.Fifo));
    EXPECT_TRUE(ui.AppliedSkins.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, NotAFile,
                         ::testing::Values(NotAFileCase{"Skin", "AppName=A\r\n", "dbskin.dat"},
                                           NotAFileCase{"Icon", "IconPath=app.ico\r\n", "app.ico"},
                                           NotAFileCase{"StoredBanner", "BannerPath1=b.jpg\r\n",
                                                        "dbimg1.dat"},
                                           NotAFileCase{"StoredGif", "BannerPath1=b.gif\r\n", "dbimg1.dat"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HostileBranding, AFifoConfigurationIsNoConfiguration) {
    Fifo("dbconfig.dat");
    // Named, not silently ignored.
    ui.AnswerMessage("The file " + Folder() + "dbconfig.dat is not read: it is not a regular file.");
    const auto start = std::chrono::steady_clock::now();
    Workspace other(ui, Folder()); // reads [Endpoints]
    EXPECT_FALSE(LoadBranding(other, Drawer()).ConfigFound);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(HostileBranding, StyleSheetUrlsLoadOnlyFiles) {
    Write("ok.png", EncodedPicture(2, 2, "PNG"));
    Fifo("pipe.png");
    const std::string ok = Folder() + "ok.png";
    const std::string pipe = Folder() + "pipe.png";
    const std::string sheet = "QWidget { background-image: url(" + ok +
                              "); }\n"
                              "QPushButton { image: URL(\"" +
                              pipe + "\"); border-image: url( '" + Folder() +
                              "missing.png' ); }\n"
                              "QLabel { image: url(:/skin/x.png); }";
    EXPECT_EQ(KeepOnlyFileUrls(sheet), "QWidget { background-image: url(" + ok +
                                           "); }\n"
                                           "QPushButton { image: none; border-image: none; }\n"
                                           "QLabel { image: url(:/skin/x.png); }");
    EXPECT_EQ(KeepOnlyFileUrls("a { image: url(unclosed"), "a { image: url(unclosed");
    Write("dbskin.dat", PackSkin(sheet));
    Config("AppName=A\r\n");
    LoadBranding(ws(), Drawer());
    ASSERT_EQ(ui.AppliedSkins.size(), 1u);
    EXPECT_EQ(ui.AppliedSkins[0].find(pipe), std::string::npos);
}

// Parsing a style sheet costs the window time in proportion to its size: a skin larger than the
// cap is damage, not a reason to stall the start.
TEST(SkinCap, AStyleSheetOver256KibibytesOrOver1000SelectorsIsRefused) {
    EXPECT_EQ(MaxSkinStyleSheetSize, 256u * 1024u);
    const std::string largest(MaxSkinStyleSheetSize, ' ');
    EXPECT_EQ(UnpackSkin(PackSkin(largest)), largest);
    EXPECT_THROW(UnpackSkin(PackSkin(largest + " ")), std::runtime_error);
    // Counted by selector: neither many rules nor one rule of many selectors gets through.
    EXPECT_EQ(SkinSelectorCount("a { b: c(1, 2); } d, e { f: g{} }"), 3u);
    std::string many;
    for (std::size_t i = 0; i < MaxSkinSelectors; ++i)
        many += "QWidget, ";
    EXPECT_THROW(UnpackSkin(PackSkin(many + "QLabel { color: red; }")), std::runtime_error);
}

// Nobody can stop the silent start-up check: it gives up on a server that says nothing. The
// button's check keeps the client's limit (none in the window), since the user can stop it.
TEST_F(HostileBranding, OnlyTheSilentCheckGivesUpOnASilentServer) {
    for (const bool silent : {true, false}) {
        HostileServer server(HostileServer::Silent(1500ms));
        ws().Endpoints.UpdateBase = server.Url("");
        int limitDuringCheck = -1;
        const auto eachTurn = [&] {
            if (ws().http.Busy())
                limitDuringCheck = ws().http.CurrentLimits().ReadTimeoutMs;
        };
        // The server closed without a word: a failure, said as one (it used to say "no new updates").
        if (!silent)
            ui.AnswerMessage(std::string(UpdateCheckFailedText) + "127.0.0.1:" + std::to_string(server.Port()) +
                             ": the connection closed before the whole answer came");
        test::Await(CheckForUpdates(ws(), silent, '.'), eachTurn);
        EXPECT_EQ(limitDuringCheck, silent ? SilentCheckGiveUpMs : 0);
        EXPECT_EQ(ws().http.Options().ReadTimeoutMs, 0);
        EXPECT_TRUE(ui.ScriptDone());
    }
}

} // namespace
} // namespace vorlith::test
