// A metafile banner decoded off the window's thread: the start goes on without it, the picture or
// the failure comes later, and a window closed first gets neither.
#include "branding/Banner.h"
#include "branding/Branding.h"
#include "commands/WindowCommands.h"
#include "support/Await.h"
#include "support/BrandingFixture.h"
#include "support/MetafileWriter.h"

#include <QThreadPool>

namespace vorlith {
namespace {

struct LaterCase {
    const char* name;
    bool damaged;
    bool closedFirst;
};

class LaterBanners : public test::BrandingTest, public ::testing::WithParamInterface<LaterCase> {};

TEST_P(LaterBanners, ComeAfterTheStartAndOnlyToAnOpenWindow) {
    const auto& c = GetParam();
    const std::string wmf = test::SampleWmf(468, 60, 96);
    Config("BannerPath1=banner.wmf\r\n");
    Write("dbimg1.dat", c.damaged ? wmf.substr(0, wmf.size() / 2) : wmf);
    auto later = std::make_unique<LaterBanner>();
    StartUp(ws(), later.get());
    EXPECT_TRUE(ui.BannerPicture.isNull());
    EXPECT_EQ(ui.TimerArms, 0);
    if (c.closedFirst)
        later.reset();
    else
        test::RunLoopUntil([&] { return !later->Pending(); });
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();

    const bool shown = !c.damaged && !c.closedFirst;
    EXPECT_EQ(ui.BannerPicture.size(), shown ? QSize(468, 60) : QSize(0, 0));
    EXPECT_EQ(ui.TimerArms, shown ? 1 : 0);
    std::vector<std::string> reported; // as the load without delay throws it
    draws = {0};
    try {
        LoadBranding(ws(), Drawer());
    } catch (const std::runtime_error& error) {
        if (!c.closedFirst)
            reported.push_back(std::string(CreationWhere) + ": " + error.what());
    }
    EXPECT_EQ(ui.Errors, reported);
}

INSTANTIATE_TEST_SUITE_P(Table, LaterBanners,
                         ::testing::Values(LaterCase{"AppearsLater", false, false},
                                           LaterCase{"FailureReportedAndCheckSkipped", true, false},
                                           LaterCase{"WindowClosedFirst", false, true},
                                           LaterCase{"FailureAfterCloseStaysSilent", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vorlith
