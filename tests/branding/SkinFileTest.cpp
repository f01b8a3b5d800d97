#include "branding/SkinFile.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace vorlith {
namespace {

TEST(SkinFile, PacksAsMagicPlusQCompressAndUnpacksBack) {
    for (const std::string& styleSheet :
         {std::string(), std::string("QWidget { color: #123456; }"), std::string(100000, 'q')}) {
        const std::string packed = PackSkin(styleSheet);
        ASSERT_TRUE(packed.starts_with("VRLSKIN1"));
        const QByteArray tail(packed.data() + 8, static_cast<qsizetype>(packed.size() - 8));
        EXPECT_EQ(qUncompress(tail).toStdString(), styleSheet);
        EXPECT_EQ(UnpackSkin(packed), styleSheet);
    }
}

TEST(SkinFile, OtherBytesHoldNoSkin) {
    for (const std::string& bytes :
         {std::string(), std::string("VRLSKIN"), std::string("vrlskin1xxxx"),
          std::string("PK\x03\x04 a zip archive"), std::string("\0\0\0\0\0\0\0\0", 8)})
        EXPECT_EQ(UnpackSkin(bytes), std::nullopt) << bytes;
}

TEST(SkinFile, DamagedStreamsAreErrors) {
    const std::string good = PackSkin(std::string(3000, 'a') + "QWidget {}");
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x5a;
    std::string wrongSize = good;
    wrongSize[11] = static_cast<char>(wrongSize[11] + 1); // declares one byte more than inflates
    std::string smallerSize = good;
    smallerSize[11] = static_cast<char>(smallerSize[11] - 1); // inflates past what it declares
    const std::string huge = std::string("VRLSKIN1\xff\xff\xff\xff", 12) + good.substr(12);
    const std::string cases[] = {"VRLSKIN1",
                                 "VRLSKIN1\x00\x00",
                                 good.substr(0, good.size() - 5),
                                 flipped,
                                 wrongSize,
                                 smallerSize,
                                 huge,
                                 std::string("VRLSKIN1\x00\x00\x00\x05 not zlib", 21)};
    for (const std::string& bytes : cases)
        EXPECT_THROW(UnpackSkin(bytes), std::runtime_error) << bytes.size();
}

TEST(SkinFile, ReadsFilesAndReportsUnreadableOnes) {
    QTemporaryDir dir;
    const std::string file = dir.path().toStdString() + "/dbskin.dat";
    {
        std::ofstream out(file, std::ios::binary);
        out << PackSkin("QLabel { color: red; }");
    }
    EXPECT_EQ(ReadSkinFile(file), "QLabel { color: red; }");
    EXPECT_THROW(ReadSkinFile(dir.path().toStdString() + "/gone.dat"), std::runtime_error);
}

} // namespace
} // namespace vorlith
