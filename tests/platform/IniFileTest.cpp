#include "platform/IniFile.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlith {
namespace {

struct IniCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::string expected;
};

class IniRules : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniRules, ReadsLikeWindows) {
    const auto& c = GetParam();
    EXPECT_EQ(ReadIniStringFromText(c.text, c.section, c.key), c.expected);
}

const std::string LongValue(3000, 'x');

// The bytes Windows writes for a Unicode INI file: the byte-order mark, then UTF-16LE.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniRules,
    ::testing::Values(
        IniCase{"Plain", "[Settings]\nAppName=Keyword Pro\n", "Settings", "AppName", "Keyword Pro"},
        IniCase{"SectionCase", "[settings]\nAppName=A\n", "SETTINGS", "AppName", "A"},
        IniCase{"KeyCase", "[Settings]\nappname=A\n", "Settings", "AppName", "A"},
        IniCase{"BlanksAroundKeyAndValue", "[Settings]\n  AppName \t=  A b  \n", "Settings", "AppName",
                "A b"},
        IniCase{"BlanksInsideHeader", "  [ Settings ]  \nAppName=A\n", "Settings", "AppName", "A"},
        IniCase{"CrLf", "[Settings]\r\nAppName=A\r\nAfiliateID=7\r\n", "Settings", "AfiliateID", "7"},
        IniCase{"NoFinalNewline", "[Settings]\nAppName=A", "Settings", "AppName", "A"},
        IniCase{"Utf8Bom", "\xEF\xBB\xBF[Settings]\nAppName=A\n", "Settings", "AppName", "A"},
        IniCase{"DoubleQuotes", "[S]\nV=\" 1.05 \"\n", "S", "V", " 1.05 "},
        IniCase{"SingleQuotes", "[S]\nV='x'\n", "S", "V", "x"},
        IniCase{"OnlyOnePairRemoved", "[S]\nV=\"\"x\"\"\n", "S", "V", "\"x\""},
        IniCase{"MismatchedQuotesKept", "[S]\nV=\"x'\n", "S", "V", "\"x'"},
        IniCase{"LoneQuoteKept", "[S]\nV=\"\n", "S", "V", "\""},
        IniCase{"EmptyQuotes", "[S]\nV=\"\"\n", "S", "V", ""},
        IniCase{"QuotesTrimmedFirst", "[S]\nV=  'a b'  \n", "S", "V", "a b"},
        IniCase{"EqualsInValue", "[S]\nV=a=b\n", "S", "V", "a=b"},
        IniCase{"EmptyValue", "[S]\nV=\n", "S", "V", ""},
        IniCase{"LineWithoutEquals", "[S]\nV\nW=1\n", "S", "V", ""},
        IniCase{"LineWithoutEqualsDoesNotStop", "[S]\nnonsense line\nW=1\n", "S", "W", "1"},
        IniCase{"CommentIsOnlyAKey", "[S]\n;V=commented\nV=real\n", "S", "V", "real"},
        IniCase{"CommentedKeyNotFound", "[S]\n;V=commented\n", "S", "V", ""},
        IniCase{"InlineSemicolonKept", "[S]\nV=a ; b\n", "S", "V", "a ; b"},
        IniCase{"FirstDuplicateKeyWins", "[S]\nV=1\nV=2\n", "S", "V", "1"},
        IniCase{"OnlyFirstDuplicateSection", "[S]\nA=1\n[T]\nB=2\n[S]\nB=3\n", "S", "B", ""},
        IniCase{"KeyInOtherSection", "[T]\nV=1\n[S]\nW=2\n", "S", "V", ""},
        IniCase{"KeyBeforeAnySection", "V=1\n[S]\n", "S", "V", ""},
        IniCase{"MissingSection", "[T]\nV=1\n", "S", "V", ""},
        IniCase{"PrefixOfSectionName", "[Settings2]\nV=1\n", "Settings", "V", ""},
        IniCase{"PrefixOfKeyName", "[S]\nVersion2=1\n", "S", "Version", ""},
        IniCase{"UnclosedHeaderIsAKeyLine", "[S]\n[T\nV=1\n", "S", "V", "1"},
        IniCase{"HeaderUpToLastBracket", "[S]x]\nV=1\n", "S]x", "V", "1"},
        IniCase{"LoneCrEndsALine", "[S]\rV=1\n", "S", "V", "1"},
        IniCase{"BareCrLines", "[Settings]\rAppName=A\rAfiliateID=7\r", "Settings", "AppName", "A"},
        IniCase{"BareCrLastKey", "[Settings]\rAppName=A\rAfiliateID=7\r", "Settings", "AfiliateID", "7"},
        IniCase{"Utf16LeWithBom", Utf16Le(u"[Endpoints]\r\nUpdateBase=http://127.0.0.1:8080\r\n"),
                "Endpoints", "UpdateBase", "http://127.0.0.1:8080"},
        IniCase{"Utf16LeSecondSection", Utf16Le(u"[A]\r\nX=1\r\n[Settings]\r\nAppName = \"Pro\"\r\n"),
                "Settings", "AppName", "Pro"},
        IniCase{"CutAtNul", std::string("[S]\nV=ab\0cd\n", 12), "S", "V", "ab"},
        IniCase{"LongValueCut", "[S]\nV=" + LongValue + "\n", "S", "V", std::string(2047, 'x')},
        IniCase{"ValueOfExactlyMax", "[S]\nV=" + std::string(2047, 'y'), "S", "V", std::string(2047, 'y')},
        IniCase{"LookupNamesTrimmed", "[S]\nV=1\n", " S ", " V ", "1"},
        IniCase{"EmptyText", "", "S", "V", ""},
        IniCase{"BinaryGarbage", std::string("\x00\xff[\x01=\n\x89PNG", 9), "S", "V", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, ReadsFromDiskAndMissingFilesGiveEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    {
        std::ofstream out(folder + "dbconfig.dat", std::ios::binary);
        out << "[Settings]\r\nAppName = \"Golf Pro\"\r\n";
    }
    EXPECT_EQ(ReadIniString(folder + "dbconfig.dat", "settings", "APPNAME"), "Golf Pro");
    EXPECT_EQ(ReadIniString(folder + "missing.dat", "Settings", "AppName"), "");
    EXPECT_EQ(ReadIniString(folder, "Settings", "AppName"), ""); // a folder is no file
    EXPECT_EQ(ReadIniString("", "Settings", "AppName"), "");
}

// Not a file, or larger than any settings file: an empty or partial answer, never a hang or
// a read until memory runs out.
TEST(IniFile, ReadsOnlyRegularFilesUpToTheirCap) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    ASSERT_EQ(::symlink("/dev/zero", (folder + "zero.dat").c_str()), 0);
    EXPECT_EQ(ReadIniString(folder + "zero.dat", "Settings", "AppName"), "");
    ASSERT_EQ(::mkfifo((folder + "fifo.dat").c_str(), 0600), 0);
    EXPECT_EQ(ReadIniString(folder + "fifo.dat", "Settings", "AppName"), "");
    {
        std::ofstream out(folder + "big.dat", std::ios::binary);
        out << "[Settings]\nAppName=First\n" << std::string(MaxIniFileSize, ';') << "\nIconPath=late.ico\n";
    }
    EXPECT_EQ(ReadIniString(folder + "big.dat", "Settings", "AppName"), "First");
    EXPECT_EQ(ReadIniString(folder + "big.dat", "Settings", "IconPath"), "");
}

} // namespace
} // namespace vorlith
