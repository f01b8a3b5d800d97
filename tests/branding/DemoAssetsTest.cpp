// The demo branding that "make run" copies next to the program loads as intended.
#include "branding/Branding.h"
#include "branding/SkinFile.h"
#include "support/BrandingFixture.h"

namespace vorlith {
namespace {

using test::BrandingTest;

std::string Source(const std::string& relative) {
    const std::filesystem::path root = VORLITH_SOURCE_DIR;
    std::ifstream in(root / relative, std::ios::binary);
    EXPECT_TRUE(in) << relative;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(BrandingTest, DemoBrandingShowsItsTitleAnimatedBannerLinksAndSkin) {
    Write("dbconfig.dat", Source("resources/demo/dbconfig-settings.ini"));
    Write("dbimg1.dat", Source("resources/demo/dbimg1.dat"));
    Write("dbskin.dat", Source("resources/demo/dbskin.dat"));
    draws = {0, 0, 1};
    LoadBranding(ws(), Drawer());
    EXPECT_EQ(ui.Title, "Harbour Keywords v1.04");
    EXPECT_EQ(ui.BannerAnimationSize, QSize(468, 60));
    EXPECT_EQ(ui.BannerStripHeight, 70);
    EXPECT_TRUE(ui.BannerHandCursor);
    EXPECT_EQ(drawCounts, (std::vector<std::size_t>{1, 3, 2}));
    EXPECT_EQ(ui.Links[0].Caption, "Keyword research guide");
    EXPECT_EQ(ui.Links[1].Caption, "Advertise here");
    ASSERT_EQ(ui.AppliedSkins.size(), 1u);
    EXPECT_EQ(ui.AppliedSkins[0], Source("resources/skins/harbour.qss"))
        << "resources/demo/dbskin.dat is stale";
    EXPECT_EQ(Files(), (std::vector<std::string>{"dbconfig.dat", "dbimg1.dat", "dbskin.dat"}));
}

} // namespace
} // namespace vorlith
