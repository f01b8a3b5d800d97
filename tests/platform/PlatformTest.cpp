#include "platform/FileRename.h"
#include "platform/Files.h"
#include "platform/Random.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace vorlith {
namespace {

class RenameTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(Path(name)) << text; }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name));
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    QTemporaryDir dir_;
};

TEST_F(RenameTest, MovesAFileToAFreeName) {
    Write("dbimg1.dat", "image");
    EXPECT_TRUE(RenameNoReplace(Path("dbimg1.dat"), Path("banner.gif")));
    EXPECT_FALSE(FileExists(Path("dbimg1.dat")));
    EXPECT_EQ(Read("banner.gif"), "image");
}

TEST_F(RenameTest, NeverReplacesAnExistingFileOrFolder) {
    Write("dbimg1.dat", "image");
    Write("banner.gif", "user's own file");
    std::filesystem::create_directory(Path("folder"));
    EXPECT_FALSE(RenameNoReplace(Path("dbimg1.dat"), Path("banner.gif")));
    EXPECT_FALSE(RenameNoReplace(Path("dbimg1.dat"), Path("folder")));
    EXPECT_FALSE(RenameNoReplace(Path("dbimg1.dat"), Path("dbimg1.dat")));
    EXPECT_EQ(Read("dbimg1.dat"), "image");
    EXPECT_EQ(Read("banner.gif"), "user's own file");
}

TEST_F(RenameTest, FailsQuietlyForMissingSourcesAndEmptyNames) {
    EXPECT_FALSE(RenameNoReplace(Path("gone"), Path("other")));
    EXPECT_FALSE(RenameNoReplace("", Path("other")));
    EXPECT_FALSE(RenameNoReplace(Path("gone"), ""));
    EXPECT_FALSE(FileExists(Path("other")));
}

TEST(RandomIndex, StaysInRangeAndReachesEveryValue) {
    EXPECT_EQ(RandomIndex(0), 0u);
    EXPECT_EQ(RandomIndex(1), 0u);
    for (std::size_t count : {2u, 3u, 4u}) {
        std::vector<int> seen(count, 0);
        for (int draw = 0; draw < 400; ++draw) {
            const std::size_t k = RandomIndex(count);
            ASSERT_LT(k, count);
            ++seen[k];
        }
        for (std::size_t k = 0; k < count; ++k)
            EXPECT_GT(seen[k], 0) << "value " << k << " of " << count << " never drawn";
    }
}

} // namespace
} // namespace vorlith
