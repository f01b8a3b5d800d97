#include "branding/Banner.h"

#include "branding/Branding.h"
#include "support/BrandingFixture.h"
#include "support/MetafileWriter.h"

namespace vorlith {
namespace {

using test::BrandingTest;
using test::EncodedPicture;
using test::TwoFrameGif;

struct PictureCase {
    const char* name;
    std::string file;    // the shown name
    std::string content; // "BMP", "JPEG", "ICO", "PNG", "GIF", "WMF", "EMF" or "junk"
    std::string error;   // start of the error, "" when it loads
};

class PictureTypes : public BrandingTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureTypes, AreChosenByTheExtensionOfTheShownName) {
    const auto& c = GetParam();
    const std::string bytes = c.content == "junk"  ? std::string("\x01\x02 not a picture at all", 23)
                              : c.content == "GIF" ? TwoFrameGif
                              : c.content == "WMF" ? test::SampleWmf(300, 50, 96)
                              : c.content == "EMF" ? test::SampleEmf(200, 40)
                                                   : EncodedPicture(24, 12, c.content.c_str());
    Write(c.file, bytes);
    if (c.error.empty()) {
        const QImage picture = LoadPictureFile(Folder() + c.file);
        EXPECT_EQ(picture.size(), c.content == "GIF"   ? QSize(40, 20)
                                  : c.content == "WMF" ? QSize(300, 50)
                                  : c.content == "EMF" ? QSize(200, 40)
                                                       : QSize(24, 12));
        return;
    }
    try {
        LoadPictureFile(Folder() + c.file);
        ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).substr(0, c.error.size()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureTypes,
    ::testing::Values(PictureCase{"Bmp", "a.bmp", "BMP", ""}, PictureCase{"BmpUpperCase", "a.BMP", "BMP", ""},
                      PictureCase{"Ico", "a.ico", "ICO", ""}, PictureCase{"Jpg", "a.jpg", "JPEG", ""},
                      PictureCase{"Jpeg", "a.JPEG", "JPEG", ""},
                      PictureCase{"NoExtensionGuessesBmp", "banner", "BMP", ""},
                      PictureCase{"NoExtensionGuessesJpeg", "banner", "JPEG", ""},
                      PictureCase{"NoExtensionGuessesGif", "banner", "GIF", ""},
                      PictureCase{"DotOnlyInFolderName", "ads.d/banner", "BMP", ""},
                      PictureCase{"Png", "a.png", "PNG", "Unknown picture file extension (.png)"},
                      PictureCase{"ExtensionAsWritten", "a.PnG", "PNG",
                                  "Unknown picture file extension (.PnG)"},
                      PictureCase{"TrailingDot", "a.", "BMP", "Unknown picture file extension (.)"},
                      PictureCase{"Wmf", "a.wmf", "WMF", ""}, PictureCase{"Emf", "a.EMF", "EMF", ""},
                      PictureCase{"EmfUnderWmfName", "a.wmf", "EMF", ""},
                      PictureCase{"GifUnderWmfName", "a.wmf", "GIF", "Cannot load the picture"},
                      PictureCase{"JpegUnderEmfName", "a.emf", "JPEG", "Cannot load the picture"},
                      PictureCase{"DamagedWmf", "a.WMF", "junk", "Cannot load the picture"},
                      PictureCase{"JpegUnderBmpName", "a.bmp", "JPEG", "Cannot load the picture"},
                      PictureCase{"DamagedBmp", "a.bmp", "junk", "Cannot load the picture"},
                      PictureCase{"DamagedWithoutExtension", "banner", "junk", "Cannot load the picture"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrandingTest, AMissingFileFailsToLoad) {
    EXPECT_THROW(LoadPictureFile(Folder() + "gone.bmp"), std::runtime_error);
    EXPECT_THROW(LoadGifFile(Folder() + "gone.gif"), std::runtime_error);
}

TEST_F(BrandingTest, GifsAreCheckedBeforeTheyPlay) {
    Write("ok.gif", TwoFrameGif);
    const GifFile gif = LoadGifFile(Folder() + "ok.gif");
    EXPECT_EQ(gif.Width, 40);
    EXPECT_EQ(gif.Height, 20);
    for (const std::string& bad :
         {std::string(), std::string("GIF89a"), EncodedPicture(4, 4, "BMP"), TwoFrameGif.substr(0, 40),
          std::string("GIF89a\x28\x00\x14\x00junkjunkjunk")}) {
        Write("bad.gif", bad);
        EXPECT_THROW(LoadGifFile(Folder() + "bad.gif"), std::runtime_error) << bad.size();
    }
}

TEST(PictureExtension, IsTheTextAfterTheLastDotOfTheLastName) {
    EXPECT_EQ(PictureExtension("/opt/v/banner.JPG"), "JPG");
    EXPECT_EQ(PictureExtension("/opt/v.d/banner"), "");
    EXPECT_EQ(PictureExtension("/opt/v/anim.gif.bmp"), "bmp");
    EXPECT_EQ(PictureExtension("banner"), "");
}

TEST(Centring, TakesEachHalfOnItsOwn) {
    EXPECT_EQ(CentredOffset(914, 468), 223);
    EXPECT_EQ(CentredOffset(100, 51), 25);
    EXPECT_EQ(CentredOffset(70, 60), 5);
    EXPECT_EQ(CentredOffset(65, 105), -20); // larger than the strip: negative, never clipped to 0
    EXPECT_EQ(CentredOffset(11, 3), 4);
}

// A program folder whose path holds ".gif" sends every banner down the animation path.
class GifFolder : public BrandingTest {
protected:
    GifFolder() : BrandingTest("Program.GIF.d") {}
};

TEST_F(GifFolder, SendsAStillPictureToTheAnimationPath) {
    Config("BannerPath1=banner.bmp\r\n");
    Write("dbimg1.dat", EncodedPicture(20, 10, "BMP"));
    draws = {0};
    EXPECT_THROW(LoadBranding(ws(), Drawer()), std::runtime_error);
    EXPECT_TRUE(Exists("dbimg1.dat"));
    EXPECT_FALSE(Exists("banner.bmp"));
}

TEST_F(BrandingTest, TheBannerOfTheSecondPositionIsStoredAsDbimg2) {
    Config("BannerPath1=one.bmp\r\nBannerPath3=three.jpg\r\nBannerURL3=http://three\r\n");
    Write("dbimg1.dat", EncodedPicture(10, 10, "BMP"));
    Write("dbimg2.dat", EncodedPicture(64, 33, "JPEG"));
    Write("dbimg3.dat", "unused");
    draws = {1};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.BannerPicture.size(), QSize(64, 33));
    EXPECT_EQ(ui.BannerStripHeight, 43);
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat", "dbimg2.dat", "dbimg3.dat"}));
}

TEST_F(BrandingTest, BannerClicksOpenTheAddressOnlyWhenThereIsOne) {
    shell.HtmlCommand = "\"/usr/bin/xdg-open\" \"%1\"";
    OpenBannerPage(ws());
    EXPECT_TRUE(shell.Started.empty());
    ws().BannerURL = "http://ad.example/?a=1 b";
    OpenBannerPage(ws());
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_EQ(shell.Started[0], (test::FakeShell::Opened{"/usr/bin/xdg-open", "http://ad.example/?a=1 b"}));
}

} // namespace
} // namespace vorlith
