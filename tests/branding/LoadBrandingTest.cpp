#include "branding/Banner.h"
#include "branding/Branding.h"
#include "branding/SkinFile.h"
#include "support/BrandingFixture.h"
#include "support/MetafileWriter.h"

#include <set>

namespace vorlith {
namespace {

using test::BrandingTest;
using test::EncodedPicture;
using test::TwoFrameGif;

TEST_F(BrandingTest, WithoutConfigurationNothingChanges) {
    Write("dbskin.dat", PackSkin("QWidget {}"));
    Write("app.ico", EncodedPicture(16, 16, "ICO"));
    const BrandingResult result = LoadBranding(ws(), Drawer());
    EXPECT_FALSE(result.ConfigFound);
    EXPECT_EQ(ui.Title, "");
    EXPECT_FALSE(ui.BannerStripHidden);
    EXPECT_EQ(ui.BannerStripHeight, 65);
    EXPECT_EQ(ui.Links[0].Caption, "Google");
    EXPECT_EQ(ui.Links[1].Caption, "Google");
    EXPECT_TRUE(ui.AppliedSkins.empty());
    EXPECT_EQ(ui.ApplicationIcon, "");
    EXPECT_TRUE(drawCounts.empty());
}

struct TitleCase {
    const char* name;
    std::string config;
    std::string title;
};

class BrandingTitle : public BrandingTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(BrandingTitle, GetsTheVersionSuffixInEveryCase) {
    Write("dbconfig.dat", GetParam().config);
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.Title, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrandingTitle,
    ::testing::Values(TitleCase{"Named", "[Settings]\nAppName=Golf Pro\n", "Golf Pro v1.04"},
                      TitleCase{"KeyInOtherCase", "[SETTINGS]\nappname=Golf Pro\n", "Golf Pro v1.04"},
                      TitleCase{"Quoted", "[Settings]\nAppName = ' Golf '\n", " Golf  v1.04"},
                      TitleCase{"Empty", "[Settings]\nAppName=\n", "Vorlith v1.04"},
                      TitleCase{"Missing", "[Settings]\nAfiliateID=7\n", "Vorlith v1.04"},
                      TitleCase{"NoSettingsSection", "[Other]\nAppName=X\n", "Vorlith v1.04"},
                      TitleCase{"EmptyFile", "", "Vorlith v1.04"},
                      TitleCase{"CutAt2047", "[Settings]\nAppName=" + std::string(3000, 'a'),
                                std::string(2047, 'a') + " v1.04"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrandingTest, WithoutSettingsTheStripHidesAndBothLinksEmpty) {
    Write("dbconfig.dat", "[Other]\nLink1URL=http://a.example\n");
    LoadBranding(ws(), Drawer());
    EXPECT_TRUE(ui.BannerStripHidden);
    EXPECT_EQ(ui.Links[0].Caption, "");
    EXPECT_EQ(ui.Links[0].Address, "");
    EXPECT_EQ(ui.Links[1].Caption, "");
    EXPECT_EQ(ui.Links[1].Address, "");
    EXPECT_EQ(ws().AffiliateID, "");
}

TEST_F(BrandingTest, AffiliateIdIsReadUnderItsMisspelledKey) {
    Config("AffiliateID=wrong\r\nAfiliateID=  77  \r\n");
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ws().AffiliateID, "77");
}

struct BannerChoiceCase {
    const char* name;
    std::string settings;
    std::size_t draw;
    std::size_t count; // present banners, 0: no draw
    std::string path;
    std::string url;
};

class BannerChoice : public BrandingTest, public ::testing::WithParamInterface<BannerChoiceCase> {};

TEST_P(BannerChoice, DrawsAmongThePresentSlotsAndNumbersTheImageByPosition) {
    const auto& c = GetParam();
    Config(c.settings);
    if (c.count)
        draws.push_back(c.draw);
    const BrandingResult result = LoadBranding(ws(), Drawer());
    EXPECT_EQ(drawCounts, c.count ? std::vector<std::size_t>{c.count} : std::vector<std::size_t>{});
    EXPECT_EQ(ws().BannerPath, c.path);
    EXPECT_EQ(ws().BannerURL, c.url);
    EXPECT_EQ(ui.BannerHandCursor, !c.url.empty());
    if (c.count) {
        EXPECT_EQ(result.BannerImageFile, Folder() + "dbimg" + std::to_string(c.draw + 1) + ".dat");
        // No stored image: the strip hides without a message.
        EXPECT_TRUE(ui.BannerStripHidden);
    } else {
        EXPECT_TRUE(ui.BannerStripHidden);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BannerChoice,
    ::testing::Values(
        BannerChoiceCase{"OnlySlot2", "BannerPath2=b.gif\r\nBannerURL2=http://b\r\n", 0, 1, "b.gif",
                         "http://b"},
        BannerChoiceCase{
            "ThirdOfThree",
            "BannerPath1=a.bmp\r\nBannerURL1=http://a\r\nBannerPath2=b.bmp\r\nBannerURL2=http://b\r\n"
            "BannerPath3=c.bmp\r\nBannerURL3=http://c\r\n",
            2, 3, "c.bmp", "http://c"},
        BannerChoiceCase{"SecondPresentIsSlot3",
                         "BannerPath1=a.bmp\r\nBannerPath3=c.bmp\r\nBannerURL3=http://c\r\n", 1, 2, "c.bmp",
                         "http://c"},
        BannerChoiceCase{"PathWithoutUrl", "BannerPath1=a.bmp\r\n", 0, 1, "a.bmp", ""},
        BannerChoiceCase{"UrlWithoutPathIgnored", "BannerURL1=http://a\r\n", 0, 0, "", ""},
        BannerChoiceCase{"UrlOfAbsentSlotIgnored", "BannerURL1=http://a\r\nBannerPath2=b.bmp\r\n", 0, 1,
                         "b.bmp", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrandingTest, OneLinkGoesToTheFirstLabelAndTheSecondIsEmptied) {
    Config("Link3URL=http://three.example\r\nLink3Name=Three\r\nLink2Name=NameWithoutAddress\r\n");
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(drawCounts, std::vector<std::size_t>{1});
    EXPECT_EQ(ui.Links[0].Caption, "Three");
    EXPECT_EQ(ui.Links[0].Address, "http://three.example");
    EXPECT_EQ(ui.Links[1].Caption, "");
    EXPECT_EQ(ui.Links[1].Address, "");
    EXPECT_EQ(ws().Link1Name, "Three");
    EXPECT_EQ(ws().Link2URL, "");
}

TEST_F(BrandingTest, ALinkWithoutNameKeepsItsAddress) {
    Config("Link1URL=http://one.example\r\n");
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.Links[0].Caption, "");
    EXPECT_EQ(ui.Links[0].Address, "http://one.example");
}

TEST_F(BrandingTest, TheSecondDrawIsOverTheLinksLeft) {
    Config("Link1URL=u1\r\nLink1Name=n1\r\nLink2URL=u2\r\nLink2Name=n2\r\nLink3URL=u3\r\nLink3Name=n3\r\n"
           "Link4URL=u4\r\nLink4Name=n4\r\n");
    draws = {1, 1}; // u2, then the second of u1, u3, u4
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(drawCounts, (std::vector<std::size_t>{4, 3}));
    EXPECT_EQ(ws().Link1URL, "u2");
    EXPECT_EQ(ws().Link1Name, "n2");
    EXPECT_EQ(ws().Link2URL, "u3");
    EXPECT_EQ(ws().Link2Name, "n3");
    EXPECT_EQ(ui.Links[1].Caption, "n3");
}

TEST_F(BrandingTest, RandomLinksAreNeverTheSameTwice) {
    Config("Link1URL=u1\r\nLink2URL=u2\r\nLink3URL=u3\r\nLink4URL=u4\r\n");
    std::set<std::string> firsts;
    for (int run = 0; run < 200; ++run) {
        ws().Link1URL.clear();
        ws().Link2URL.clear();
        LoadBranding(ws());
        EXPECT_NE(ws().Link1URL, ws().Link2URL);
        EXPECT_FALSE(ws().Link2URL.empty());
        firsts.insert(ws().Link1URL);
    }
    EXPECT_EQ(firsts.size(), 4u); // every link gets its turn
}

TEST_F(BrandingTest, ShowsTheStoredPictureAndPutsItsNameBack) {
    Config("BannerPath1=C:\\ads\\Banner.BMP\r\nBannerURL1=http://ad.example\r\n");
    Write("dbimg1.dat", EncodedPicture(468, 60, "BMP"));
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_FALSE(ui.BannerStripHidden);
    EXPECT_EQ(ui.BannerPicture.size(), QSize(468, 60));
    EXPECT_EQ(ui.BannerStripHeight, 70);
    EXPECT_TRUE(ui.BannerHandCursor);
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat"}));
}

TEST_F(BrandingTest, AMetafileBannerTakesItsOwnSizeAndPutsItsNameBack) {
    for (const auto& [path, bytes, size] :
         {std::tuple{"C:\\ads\\Banner.WMF", test::SampleWmf(468, 60, 96), QSize(468, 60)},
          std::tuple{"banner.emf", test::SampleEmf(480, 72), QSize(480, 72)}}) {
        Config(std::string("BannerPath1=") + path + "\r\n");
        Write("dbimg1.dat", bytes);
        draws = {0};
        LoadBranding(ws(), Drawer());
        EXPECT_EQ(ui.BannerPicture.size(), size) << path;
        EXPECT_EQ(ui.BannerStripHeight, size.height() + 10);
        EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat"}));
    }
}

TEST_F(BrandingTest, ADamagedMetafileFailsAsAPictureLoadAndEndsBranding) {
    Config("BannerPath1=banner.wmf\r\nLink1URL=http://l\r\n");
    const std::string wmf = test::SampleWmf();
    Write("dbimg1.dat", wmf.substr(0, wmf.size() / 2));
    draws = {0};
    try {
        LoadBranding(ws(), Drawer());
        ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot load the picture " + Folder() + "banner.wmf: ", 0),
                  0u)
            << error.what();
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat"}));
    EXPECT_EQ(ui.Links[0].Caption, "Google");
}

TEST_F(BrandingTest, AGifNameInAnyCasePlaysTheAnimation) {
    Config("BannerPath1=Banner.GIF\r\n");
    Write("dbimg1.dat", TwoFrameGif);
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.BannerAnimation.toStdString(), TwoFrameGif);
    EXPECT_EQ(ui.BannerAnimationSize, QSize(40, 20));
    EXPECT_EQ(ui.BannerStripHeight, 30);
    EXPECT_FALSE(ui.BannerHandCursor);
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat"}));
}

TEST_F(BrandingTest, ANameHoldingGifAnywhereTakesTheAnimationPath) {
    Config("BannerPath1=anim.gif.bmp\r\n");
    Write("dbimg1.dat", TwoFrameGif);
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.BannerAnimationSize, QSize(40, 20));
    EXPECT_TRUE(ui.BannerPicture.isNull());
}

TEST_F(BrandingTest, AFailedLoadGivesTheStoredNameBackAndEndsBranding) {
    Config("BannerPath1=banner.png\r\nLink1URL=http://l\r\n");
    Write("dbimg1.dat", EncodedPicture(10, 10, "PNG"));
    Write("dbskin.dat", PackSkin("QWidget {}"));
    draws = {0};
    EXPECT_THROW(
        {
            try {
                LoadBranding(ws(), Drawer());
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "Unknown picture file extension (.png)");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat", "dbskin.dat"}));
    // The later steps did not run.
    EXPECT_EQ(ui.Links[0].Caption, "Google");
    EXPECT_TRUE(ui.AppliedSkins.empty());
}

TEST_F(BrandingTest, AnOccupiedShownNameIsLoadedAndLeftAlone) {
    // The rename fails without notice; the load reads the file that has the shown name.
    Config("BannerPath1=shown.bmp\r\n");
    Write("dbimg1.dat", EncodedPicture(20, 8, "BMP"));
    Write("shown.bmp", EncodedPicture(30, 12, "BMP"));
    draws = {0};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.BannerPicture.size(), QSize(30, 12));
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat", "shown.bmp"}));
    EXPECT_EQ(std::filesystem::file_size(Folder() + "shown.bmp"), EncodedPicture(30, 12, "BMP").size());
}

TEST_F(BrandingTest, TheSkinFileReplacesTheSkinAndOtherBytesLeaveIt) {
    Config("");
    Write("dbskin.dat", PackSkin("QWidget { color: red; }"));
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.AppliedSkins, std::vector<std::string>{"QWidget { color: red; }"});

    ui.AppliedSkins.clear();
    Write("dbskin.dat", "a skin of another library");
    Write("app.ico", EncodedPicture(16, 16, "ICO"));
    Config("IconPath=app.ico\r\n");
    LoadBranding(ws(), Drawer());
    EXPECT_TRUE(ui.AppliedSkins.empty());
    EXPECT_EQ(ui.ApplicationIcon, Folder() + "app.ico"); // went on to the icon
}

TEST_F(BrandingTest, ADamagedSkinEndsBrandingBeforeTheIcon) {
    Config("IconPath=app.ico\r\n");
    std::string skin = PackSkin(std::string(500, 'x'));
    skin[skin.size() / 2] ^= 0x55;
    Write("dbskin.dat", skin);
    Write("app.ico", EncodedPicture(16, 16, "ICO"));
    EXPECT_THROW(LoadBranding(ws(), Drawer()), std::runtime_error);
    EXPECT_TRUE(ui.AppliedSkins.empty());
    EXPECT_EQ(ui.ApplicationIcon, "");
    EXPECT_EQ(ws().IconPath, "");
}

struct IconCase {
    const char* name;
    std::string iconPath;
    std::string file;   // written below the program folder, "" for none
    std::string loaded; // expected icon file below the folder, "" for none
};

class BrandingIcon : public BrandingTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(BrandingIcon, UsesTheFileNamePartInTheProgramFolder) {
    const auto& c = GetParam();
    Config("IconPath=" + c.iconPath + "\r\n");
    if (!c.file.empty())
        Write(c.file, EncodedPicture(32, 32, "ICO"));
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ws().IconPath, c.iconPath);
    EXPECT_EQ(ui.ApplicationIcon, c.loaded.empty() ? "" : Folder() + c.loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrandingIcon,
    ::testing::Values(IconCase{"WindowsPath", "C:\\icons\\app.ico", "app.ico", "app.ico"},
                      IconCase{"DrivePath", "D:app.ico", "app.ico", "app.ico"},
                      IconCase{"ForwardSlashKept", "icons/app.ico", "icons/app.ico", "icons/app.ico"},
                      IconCase{"Missing", "gone.ico", "", ""}, IconCase{"Empty", "", "", ""},
                      IconCase{"UpStepKeepsTheName", "icons/../../up/app.ico", "app.ico", "app.ico"},
                      IconCase{"AbsoluteKeepsTheName", "/tmp/x/app.ico", "app.ico", "app.ico"},
                      IconCase{"AbsoluteNotLookedUp", "/tmp/x/none.ico", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrandingTest, AnIconFileThatIsNoIconIsAnError) {
    Config("IconPath=app.ico\r\n");
    Write("app.ico", EncodedPicture(32, 32, "PNG"));
    EXPECT_THROW(LoadBranding(ws(), Drawer()), std::runtime_error);
    EXPECT_EQ(ui.ApplicationIcon, "");
}

TEST(FileNamePart, CutsAfterTheLastBackslashOrColon) {
    EXPECT_EQ(FileNamePart("C:\\icons\\app.ico"), "app.ico");
    EXPECT_EQ(FileNamePart("C:app.ico"), "app.ico");
    EXPECT_EQ(FileNamePart("a\\b:c"), "c");
    EXPECT_EQ(FileNamePart("icons/app.ico"), "icons/app.ico");
    EXPECT_EQ(FileNamePart("dir\\"), "");
    EXPECT_EQ(FileNamePart("plain"), "plain");
}

} // namespace
} // namespace vorlith
