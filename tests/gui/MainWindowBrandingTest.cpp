// The branded main window as the program shows it: title, animated banner centred in its strip,
// link labels, skin, and what clicks on them start.
#include "branding/SkinFile.h"
#include "gui/FMain.h"
#include "gui/widgets/ErrorReporting.h"
#include "gui/widgets/LinkLabel.h"
#include "gui/widgets/Skin.h"
#include "support/Await.h"
#include "support/BrandingFixture.h"
#include "support/MetafileWriter.h"
#include "support/WidgetChecks.h"

#include <QFileInfo>
#include <QMovie>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace vorlith {
namespace {

using test::EncodedPicture;
using test::FakeShell;
using test::TwoFrameGif;

class BrandedWindow : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream out(folder.path().toStdString() + "/" + name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void Open() {
        frm = std::make_unique<TfrmMain>(folder.path().toStdString());
        frm->Ws().Shell = &shell;
        frm->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
    }
    void TearDown() override {
        frm.reset();
        ApplySkin(BuiltInSkin());
        VorlithApplication::Instance()->Reporter().SetPresenter(nullptr);
    }

    QTemporaryDir folder;
    FakeShell shell;
    std::unique_ptr<TfrmMain> frm;
};

TEST_F(BrandedWindow, ShowsTheConfiguredBrandingWithAPlayingGifCentredInItsStrip) {
    Write("dbconfig.dat",
          "[Settings]\r\nAppName=Golf Keywords\r\nBannerPath1=ad.gif\r\nBannerURL1=http://ad.example/\r\n"
          "Link1URL=http://one.example/\r\nLink1Name=First link\r\n");
    Write("dbimg1.dat", TwoFrameGif);
    Write("dbskin.dat", PackSkin("QWidget#frmMain { background: #102030; }"));
    Open();

    EXPECT_EQ(frm->windowTitle(), QStringLiteral("Golf Keywords v1.04"));
    EXPECT_TRUE(test::Find<QLabel>(&*frm, "gifBanner")->isVisible());
    EXPECT_FALSE(test::Find<QLabel>(&*frm, "imgBanner")->isVisible());
    ASSERT_NE(test::Find<QLabel>(&*frm, "gifBanner")->movie(), nullptr);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->movie()->state(), QMovie::Running);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->movie()->frameCount(), 2);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->size(), QSize(40, 20));
    EXPECT_EQ(test::Find<QFrame>(&*frm, "panBanner")->height(), 30);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->pos(), QPoint(914 / 2 - 20, 5));
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QWidget#frmMain { background: #102030; }"));

    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink1URL")->text(), QStringLiteral("First link"));
    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink1URL")->Address(), "http://one.example/");
    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink2URL")->text(), QString());
    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink2URL")->Address(), "");

    frm->resize(1001, 597);
    QTRY_COMPARE(test::Find<QFrame>(&*frm, "panBanner")->width(), 1001);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "gifBanner")->pos(), QPoint(500 - 20, 5));

    shell.HtmlCommand = "\"/usr/bin/browser\" \"%1\"";
    QTest::mouseClick(test::Find<QLabel>(&*frm, "gifBanner"), Qt::LeftButton);
    QTest::mouseClick(test::Find<LinkLabel>(&*frm, "lblLink1URL"), Qt::LeftButton);
    EXPECT_EQ(shell.Started, (std::vector<FakeShell::Opened>{{"/usr/bin/browser", "http://ad.example/"},
                                                             {"http://one.example/", ""}}));
}

TEST_F(BrandedWindow, APictureBannerIsCentredAndAClickWithoutAddressDoesNothing) {
    Write("dbconfig.dat", "[Settings]\r\nBannerPath1=ad.jpg\r\n");
    Write("dbimg1.dat", EncodedPicture(468, 60, "JPEG"));
    Open();
    EXPECT_EQ(frm->windowTitle(), QStringLiteral("Vorlith v1.04"));
    EXPECT_TRUE(test::Find<QLabel>(&*frm, "imgBanner")->isVisible());
    EXPECT_FALSE(test::Find<QLabel>(&*frm, "gifBanner")->isVisible());
    EXPECT_EQ(test::Find<QFrame>(&*frm, "panBanner")->height(), 70);
    EXPECT_EQ(test::Find<QLabel>(&*frm, "imgBanner")->geometry(), QRect(223, 5, 468, 60));
    EXPECT_NE(test::Find<QLabel>(&*frm, "imgBanner")->cursor().shape(), Qt::PointingHandCursor);
    shell.HtmlCommand = "\"/usr/bin/browser\" \"%1\"";
    QTest::mouseClick(test::Find<QLabel>(&*frm, "imgBanner"), Qt::LeftButton);
    EXPECT_TRUE(shell.Started.empty());
}

TEST_F(BrandedWindow, AMetafileBannerArrivesAfterTheWindowAndIsCentredThen) {
    Write("dbconfig.dat", "[Settings]\r\nBannerPath1=ad.wmf\r\n");
    Write("dbimg1.dat", test::SampleWmf(468, 60, 96));
    frm = std::make_unique<TfrmMain>(folder.path().toStdString());
    EXPECT_TRUE(test::Find<QLabel>(&*frm, "imgBanner")->pixmap().isNull());
    frm->show();
    test::RunLoopUntil([&] { return !test::Find<QLabel>(&*frm, "imgBanner")->pixmap().isNull(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(test::Find<QLabel>(&*frm, "imgBanner")->geometry(), QRect(223, 5, 468, 60));
    EXPECT_EQ(test::Find<QFrame>(&*frm, "panBanner")->height(), 70);
}

TEST_F(BrandedWindow, ADamagedBannerIsReportedTheWindowOpensAndTheTimerStaysUnarmed) {
    std::vector<ErrorReport> reports;
    VorlithApplication::Instance()->Reporter().SetPresenter(
        [&](const ErrorReport& r) { reports.push_back(r); });
    Write("dbconfig.dat",
          "[Settings]\r\nAppName=Broken\r\nBannerPath1=ad.bmp\r\nLink1URL=http://one.example/\r\n");
    Write("dbimg1.dat", "no bitmap here");
    Open();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].Message.contains(QStringLiteral("ad.bmp"))) << reports[0].Message.toStdString();
    EXPECT_EQ(frm->windowTitle(), QStringLiteral("Broken v1.04"));
    EXPECT_FALSE(test::Find<QTimer>(&*frm, "Timer1")->isActive());
    EXPECT_EQ(test::Find<LinkLabel>(&*frm, "lblLink1URL")->text(),
              QStringLiteral("Google")); // the link step never ran
    EXPECT_TRUE(QFileInfo::exists(folder.path() + QStringLiteral("/dbimg1.dat")));
}

} // namespace
} // namespace vorlith
