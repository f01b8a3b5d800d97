#include "branding/Metafile.h"

#include "support/BrandingFixture.h"
#include "support/MetafileWriter.h"

#include <filesystem>

namespace vorlith {
namespace {

using namespace std::chrono_literals;
using test::BrandingTest;
using test::EmfWriter;
using test::RecordBytes;
using test::SampleEmf;
using test::SampleWmf;
using test::WmfWriter;

std::string Patched(std::string bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    return bytes;
}

// Offsets of the first record after the headers.
constexpr std::size_t FirstWmfRecord = 22 + 18;
constexpr std::size_t FirstEmfRecord = 108;

std::string NestedWmf(int saves, bool restoreEach) {
    WmfWriter wmf(0, 0, 100, 20, 96);
    for (int i = 0; i < saves; ++i) {
        wmf.Record(0x001E, RecordBytes());
        if (restoreEach)
            wmf.Record(0x0127, RecordBytes().I16(-1));
    }
    return wmf.Finish();
}

std::string NestedEmf(int saves) {
    EmfWriter emf(0, 0, 2540, 2540);
    for (int i = 0; i < saves; ++i)
        emf.Record(33, RecordBytes());
    return emf.Finish();
}

// EMF+ containers opened inside one comment record.
std::string NestedEmfPlus(int containers) {
    RecordBytes plus;
    for (int i = 0; i < containers; ++i)
        plus.U16(0x4028).U16(0).U32(16).U32(4).U32(static_cast<std::uint32_t>(i));
    RecordBytes comment;
    comment.U32(static_cast<std::uint32_t>(4 + plus.Bytes().size())).U32(0x2B464D45).Text(plus.Bytes());
    EmfWriter emf(0, 0, 2540, 2540);
    emf.Record(70, comment);
    return emf.Finish();
}

struct HeaderCase {
    const char* name;
    std::string (*bytes)();
    MetafileKind kind;
    int width;
    int height;
    std::string error; // part of the reason; "" when it is accepted
};

class Headers : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Headers, GiveThePictureItsOwnSizeOrAReason) {
    const HeaderCase& c = GetParam();
    if (c.error.empty()) {
        const MetafileHeader header = InspectMetafile(c.bytes());
        EXPECT_EQ(header.Kind, c.kind);
        EXPECT_EQ(header.Width, c.width);
        EXPECT_EQ(header.Height, c.height);
        return;
    }
    try {
        InspectMetafile(c.bytes());
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
}

constexpr auto Wmf = MetafileKind::Wmf;
constexpr auto Emf = MetafileKind::Emf;

INSTANTIATE_TEST_SUITE_P(
    Table, Headers,
    ::testing::Values(
        HeaderCase{"Wmf", [] { return SampleWmf(468, 60, 96); }, Wmf, 468, 60, ""},
        HeaderCase{"WmfInTwips", [] { return SampleWmf(7020, 900, 1440); }, Wmf, 468, 60, ""},
        HeaderCase{"WmfRoundsToNearest", [] { return SampleWmf(1000, 500, 1440); }, Wmf, 67, 33, ""},
        HeaderCase{"WmfWithoutUnitsPerInch", [] { return WmfWriter(0, 0, 300, 40, 0).Finish(); }, Wmf, 300,
                   40, ""},
        HeaderCase{"WmfOffsetBox", [] { return WmfWriter(-100, -50, 368, 10, 96).Finish(); }, Wmf, 468, 60,
                   ""},
        HeaderCase{"WmfRestoredStates", [] { return NestedWmf(1000, true); }, Wmf, 100, 20, ""},
        HeaderCase{"Emf", [] { return SampleEmf(480, 72); }, Emf, 480, 72, ""},
        HeaderCase{"EmfFrameRounds", [] { return EmfWriter(0, 0, 1000, 500).Finish(); }, Emf, 38, 19, ""},
        HeaderCase{"Gif", [] { return test::TwoFrameGif; }, Wmf, 0, 0, "not a Windows metafile"},
        HeaderCase{"Jpeg", [] { return test::EncodedPicture(20, 20, "JPEG"); }, Wmf, 0, 0,
                   "not a Windows metafile"},
        HeaderCase{"Empty", [] { return std::string(); }, Wmf, 0, 0, "not a Windows metafile"},
        HeaderCase{"KeyOnly", [] { return SampleWmf().substr(0, 4); }, Wmf, 0, 0, "truncated"},
        HeaderCase{"WmfWithoutPlaceableHeader", [] { return SampleWmf().substr(22); }, Wmf, 0, 0,
                   "without its placeable header"},
        HeaderCase{"WmfHeaderCut", [] { return SampleWmf().substr(0, 30); }, Wmf, 0, 0, "truncated"},
        HeaderCase{"WmfChecksum", [] { return Patched(SampleWmf(), 10, 0x00640064); }, Wmf, 0, 0,
                   "header is damaged"},
        HeaderCase{"WmfEmptyBox", [] { return WmfWriter(0, 0, 0, 60, 96).Finish(); }, Wmf, 0, 0,
                   "no picture size"},
        HeaderCase{"WmfReversedBox", [] { return WmfWriter(468, 0, 0, 60, 96).Finish(); }, Wmf, 0, 0,
                   "no picture size"},
        HeaderCase{"WmfBelowAPixel", [] { return WmfWriter(0, 0, 5, 5, 1440).Finish(); }, Wmf, 0, 0,
                   "no picture size"},
        HeaderCase{"WmfHuge", [] { return WmfWriter(0, 0, 30000, 30000, 96).Finish(); }, Wmf, 0, 0,
                   "too large (30000 x 30000 pixels)"},
        HeaderCase{"WmfRecordSizeZero", [] { return Patched(SampleWmf(), FirstWmfRecord, 0); }, Wmf, 0, 0,
                   "record of the metafile is damaged"},
        HeaderCase{"WmfRecordPastTheEnd", [] { return Patched(SampleWmf(), FirstWmfRecord, 0x7fffffff); },
                   Wmf, 0, 0, "record of the metafile is damaged"},
        HeaderCase{"WmfLargestRecordPastTheEnd", [] { return Patched(SampleWmf(), 22 + 12, 0x7fffffff); },
                   Wmf, 0, 0, "header is damaged"},
        HeaderCase{"WmfRecordsCut", [] { return SampleWmf().substr(0, SampleWmf().size() - 9); }, Wmf, 0, 0,
                   "truncated"},
        HeaderCase{"WmfWithoutEnd", [] { return SampleWmf().substr(0, SampleWmf().size() - 6); }, Wmf, 0, 0,
                   "truncated"},
        HeaderCase{"WmfDeepNesting", [] { return NestedWmf(100000, false); }, Wmf, 0, 0, "nested too deeply"},
        HeaderCase{"EmfHeaderCut", [] { return SampleEmf().substr(0, 60); }, Emf, 0, 0, "truncated"},
        HeaderCase{"EmfHeaderLongerThanFile", [] { return Patched(SampleEmf(), 4, 0x10000); }, Emf, 0, 0,
                   "truncated"},
        HeaderCase{"EmfDescriptionPastTheHeader",
                   [] { return Patched(Patched(SampleEmf(), 60, 4), 64, 104); }, Emf, 0, 0,
                   "header is damaged"},
        HeaderCase{"EmfEmptyDescriptionSomewhere", [] { return Patched(SampleEmf(), 64, 108); }, Emf, 0, 0,
                   "header is damaged"},
        HeaderCase{"EmfHuge", [] { return EmfWriter(0, 0, 793750, 793750).Finish(); }, Emf, 0, 0,
                   "too large (30000 x 30000 pixels)"},
        HeaderCase{"EmfEmptyFrame", [] { return EmfWriter(0, 0, 2540, 0).Finish(); }, Emf, 0, 0,
                   "no picture size"},
        HeaderCase{"EmfRecordSizeZero", [] { return Patched(SampleEmf(), FirstEmfRecord + 4, 0); }, Emf, 0, 0,
                   "record of the metafile is damaged"},
        HeaderCase{"EmfRecordSizeUnaligned", [] { return Patched(SampleEmf(), FirstEmfRecord + 4, 13); }, Emf,
                   0, 0, "record of the metafile is damaged"},
        HeaderCase{"EmfRecordPastTheEnd", [] { return Patched(SampleEmf(), FirstEmfRecord + 4, 0xfffffff0); },
                   Emf, 0, 0, "truncated"},
        HeaderCase{"EmfWithoutEnd", [] { return SampleEmf().substr(0, SampleEmf().size() - 20); }, Emf, 0, 0,
                   "truncated"},
        HeaderCase{"EmfDeepNesting", [] { return NestedEmf(100000); }, Emf, 0, 0, "nested too deeply"},
        HeaderCase{"EmfPlusDeepNesting", [] { return NestedEmfPlus(1000); }, Emf, 0, 0, "nested too deeply"}),
    [](const auto& info) { return std::string(info.param.name); });

// The helper's answers for a 2 by 1 picture.
struct ReplyCase {
    const char* name;
    std::string reply;
    std::string error; // part of the reason; "" when it gives the picture
};

class Replies : public ::testing::TestWithParam<ReplyCase> {};

const std::string PictHeader2x1("PICT\x02\x00\x00\x00\x01\x00\x00\x00", 12);
const std::string Pixels2x1("\x10\x20\x30\xff\x00\x00\x00\x00", 8);

TEST_P(Replies, AreCheckedBeforeTheyBecomeAPicture) {
    const ReplyCase& c = GetParam();
    const MetafileHeader header{MetafileKind::Emf, 2, 1};
    if (c.error.empty()) {
        const QImage picture = ReadMetafileReply(c.reply, header);
        ASSERT_EQ(picture.size(), QSize(2, 1));
        EXPECT_EQ(picture.pixel(0, 0), qRgba(0x30, 0x20, 0x10, 0xff));
        EXPECT_EQ(qAlpha(picture.pixel(1, 0)), 0);
        return;
    }
    try {
        ReadMetafileReply(c.reply, header);
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Replies,
    ::testing::Values(ReplyCase{"Picture", PictHeader2x1 + Pixels2x1, ""},
                      ReplyCase{"Reason", "FAILthe metafile is damaged", "the metafile is damaged"},
                      ReplyCase{"Empty", "", "damaged answer"},
                      ReplyCase{"TagOnly", "PICT", "damaged answer"},
                      ReplyCase{"PixelMissing", PictHeader2x1 + Pixels2x1.substr(1), "damaged answer"},
                      ReplyCase{"PixelTooMany", PictHeader2x1 + Pixels2x1 + "x", "damaged answer"},
                      ReplyCase{"OtherWidth", Patched(PictHeader2x1, 4, 1) + Pixels2x1, "damaged answer"},
                      ReplyCase{"OtherHeight", Patched(PictHeader2x1, 8, 2) + Pixels2x1, "damaged answer"},
                      ReplyCase{"UnknownTag", "PIXL" + PictHeader2x1.substr(4) + Pixels2x1,
                                "damaged answer"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Replies, AReasonIsShownAsPlainTextOfBoundedLength) {
    try {
        ReadMetafileReply("FAILbad\x01\nrecord" + std::string(500, 'z'), {MetafileKind::Wmf, 1, 1});
        FAIL() << "accepted";
    } catch (const std::runtime_error& error) {
        const std::string reason = error.what();
        EXPECT_EQ(reason.substr(0, 12), "bad??recordz");
        EXPECT_LE(reason.size(), MaxMetafileReasonSize);
    }
}

// Decoding in the real helper, found beside the test program.
bool Near(QRgb pixel, std::uint32_t colourRef, int tolerance = 24) {
    return std::abs(qRed(pixel) - static_cast<int>(colourRef & 0xff)) <= tolerance &&
           std::abs(qGreen(pixel) - static_cast<int>((colourRef >> 8) & 0xff)) <= tolerance &&
           std::abs(qBlue(pixel) - static_cast<int>((colourRef >> 16) & 0xff)) <= tolerance &&
           qAlpha(pixel) == 255;
}

int CountNear(const QImage& picture, QRect area, std::uint32_t colourRef) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += Near(picture.pixel(x, y), colourRef, 60) ? 1 : 0;
    return count;
}

TEST(MetafileHelper, DrawsAWmfWithItsRectangleAndText) {
    for (const std::string& bytes : {SampleWmf(468, 60, 96), SampleWmf(7020, 900, 1440)}) {
        const QImage picture = DecodeMetafile(bytes);
        ASSERT_EQ(picture.size(), QSize(468, 60));
        EXPECT_TRUE(Near(picture.pixel(450, 50), test::SampleFill)) << std::hex << picture.pixel(450, 50);
        EXPECT_TRUE(Near(picture.pixel(20, 52), test::SampleFill));
        // The line of text, in ink, where it was written and not beyond its end.
        EXPECT_GT(CountNear(picture, QRect(15, 12, 300, 35), test::SampleInk), 200);
        EXPECT_EQ(CountNear(picture, QRect(400, 12, 50, 35), test::SampleInk), 0);
    }
}

TEST(MetafileHelper, KeepsExactColoursAndLeavesUndrawnPixelsClear) {
    constexpr std::uint32_t odd = test::ColourRef(0x12, 0x34, 0x56);
    WmfWriter wmf(0, 0, 200, 40, 96); // no window of its own: the bounding box is the window
    wmf.Select(wmf.CreateSolidBrush(odd));
    wmf.Select(wmf.CreatePen(odd, 1));
    wmf.Rectangle(50, 10, 150, 30);
    const QImage picture = DecodeMetafile(wmf.Finish());
    ASSERT_EQ(picture.size(), QSize(200, 40));
    EXPECT_EQ(picture.pixel(100, 20), qRgb(0x12, 0x34, 0x56));
    for (const QPoint undrawn : {QPoint(0, 0), QPoint(199, 39), QPoint(20, 20), QPoint(100, 35)})
        EXPECT_EQ(qAlpha(picture.pixel(undrawn)), 0) << undrawn.x() << "," << undrawn.y();
}

TEST(MetafileHelper, DrawsAnEmfWithItsRectangleAndPolygon) {
    const QImage picture = DecodeMetafile(SampleEmf(480, 72));
    ASSERT_EQ(picture.size(), QSize(480, 72));
    EXPECT_TRUE(Near(picture.pixel(400, 36), test::SampleFill)) << std::hex << picture.pixel(400, 36);
    EXPECT_TRUE(Near(picture.pixel(60, 44), test::SamplePolygon)) << std::hex << picture.pixel(60, 44);
    EXPECT_TRUE(Near(picture.pixel(10, 36), test::SampleFill));
}

// The strip shows no more than 2048 x 512: a larger banner is decoded at the size that fits, its
// proportions kept, so a tiny file cannot make the helper draw and send a huge picture.
TEST(MetafileHelper, ABannerLargerThanTheStripIsDecodedToFitIt) {
    EXPECT_EQ(DecodeMetafile(SampleWmf(5792, 5792, 96)).size(), QSize(512, 512));
    EXPECT_EQ(DecodeMetafile(SampleEmf(4096, 256)).size(), QSize(2048, 128));
    EXPECT_EQ(DecodeMetafile(SampleEmf(2048, 512)).size(), QSize(2048, 512));
}

// libwmf dereferences a null pointer drawing text in a font 24576 units wide (found by fuzzing).
TEST(MetafileHelper, ACrashInsideTheLibraryIsAFailedLoad) {
    WmfWriter wmf(0, 0, 468, 60, 96);
    wmf.SetWindow(0, 0, 468, 60);
    wmf.Select(wmf.CreateFont(-30, "DejaVu Sans", 0x6000));
    wmf.TextOut(10, 10, "crash");
    try {
        DecodeMetafile(wmf.Finish());
        ADD_FAILURE() << "decoded";
    } catch (const std::runtime_error& error) {
        // Crashed, or under AddressSanitizer reported and ended.
        EXPECT_NE(std::string(error.what()).find("the metafile decoder "), std::string::npos) << error.what();
    }
}

// libwmf spends minutes on a pen wider than the picture; the helper's CPU limit ends that.
TEST(MetafileHelper, ADecoderThatRunsLongIsStoppedByTheCpuLimit) {
    WmfWriter wmf(0, 0, 468, 60, 96);
    wmf.SetWindow(0, 0, 468, 60);
    wmf.Select(wmf.CreatePen(test::SampleInk, 3889));
    wmf.Rectangle(0, 0, 468, 60);
    MetafileHelper helper;
    helper.CpuSeconds = 1;
    helper.Deadline = 60s; // only the CPU limit ends it this soon, even on a busy machine
    const auto start = std::chrono::steady_clock::now();
    try {
        DecodeMetafile(wmf.Finish(), helper);
        ADD_FAILURE() << "decoded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("took too long"), std::string::npos) << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 45s);
}

// Helpers that fail in every way a decoder can, started under their names.
struct HelperCase {
    const char* mode;
    int cpuSeconds;
    std::chrono::milliseconds deadline;
    std::string error;
};

class FailingHelpers : public BrandingTest, public ::testing::WithParamInterface<HelperCase> {};

TEST_P(FailingHelpers, EndInAReasonAndNeverInACrashOrAWait) {
    const HelperCase& c = GetParam();
    const std::string link = Folder() + c.mode;
    std::error_code ignored;
    if (std::string_view(c.mode) != "missing")
        std::filesystem::create_symlink(VORLITH_TEST_CHILD, link, ignored);
    const MetafileHelper helper{link, c.cpuSeconds, c.deadline};
    try {
        DecodeMetafile(SampleWmf(), helper);
        ADD_FAILURE() << "decoded";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FailingHelpers,
                         ::testing::Values(HelperCase{"missing", 5, 10s, "cannot be started"},
                                           HelperCase{"crash", 5, 10s, "crashed (signal 11)"},
                                           HelperCase{"hang", 5, 500ms, "took too long"},
                                           HelperCase{"spin", 1, 20s, "took too long"},
                                           HelperCase{"flood", 5, 10s, "damaged answer"},
                                           HelperCase{"short", 5, 10s, "damaged answer"},
                                           HelperCase{"silent", 5, 10s, "damaged answer"},
                                           HelperCase{"exit3", 5, 10s, "failed (exit status 3)"},
                                           HelperCase{"reason", 5, 10s, "bad??record"}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST_F(BrandingTest, OnlyRegularFilesAreReadAsMetafiles) {
    std::filesystem::create_directory(Folder() + "folder.wmf");
    EXPECT_THROW(LoadMetafile(Folder() + "folder.wmf"), std::runtime_error);
    EXPECT_THROW(LoadMetafile(Folder() + "gone.wmf"), std::runtime_error);
    Write("banner.emf", SampleEmf(120, 30));
    EXPECT_EQ(LoadMetafile(Folder() + "banner.emf").size(), QSize(120, 30));
}

} // namespace
} // namespace vorlith
