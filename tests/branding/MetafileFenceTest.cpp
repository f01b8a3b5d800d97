// The metafile helper's fence, tried in a child of the test process, and the SVG cleaning that
// keeps a decoded EMF from naming files.
#include "Fence.h"
#include "MetafileDecoder.h"

#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlith::metafile {
namespace {

// Exit status of a child that fences itself in and then tries: 0 when the attempt succeeded.
int TriedInFence(const std::function<bool()>& attempt) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const FenceReport fence = FenceIn(FontFolders());
        ::_exit(!fence.Seccomp ? 3 : attempt() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string SomeFont() {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/fonts", error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && !it->is_symlink()) // a link may lead out of the font folders
            return it->path().string();
    return {};
}

struct FenceCase {
    const char* Name;
    bool NeedsLandlock;
    bool Allowed;
    std::function<bool(const std::string& outside)> Attempt;
};

class Fence : public ::testing::TestWithParam<FenceCase> {};

TEST_P(Fence, RefusesWhatADecoderNeverNeeds) {
    const FenceCase& c = GetParam();
    if (c.NeedsLandlock && LandlockAbi() == 0)
        GTEST_SKIP() << "this kernel offers no Landlock: reads are not limited";
    QTemporaryDir folder;
    const std::string outside = folder.filePath(QStringLiteral("secret.png")).toStdString();
    std::ofstream(outside) << "not a font";
    EXPECT_EQ(TriedInFence([&] { return c.Attempt(outside); }), c.Allowed ? 0 : 1);
    EXPECT_TRUE(std::filesystem::exists(outside));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fence,
    ::testing::Values(
        FenceCase{"ReadsAFont", true, true,
                  [](const std::string&) {
                      const std::string font = SomeFont();
                      const int fd = ::open(font.c_str(), O_RDONLY);
                      return !font.empty() && fd >= 0;
                  }},
        FenceCase{"ReadsNothingOutsideTheFonts", true, false,
                  [](const std::string& outside) { return ::open(outside.c_str(), O_RDONLY) >= 0; }},
        FenceCase{"WritesNothing", false, false,
                  [](const std::string& outside) { return ::open(outside.c_str(), O_WRONLY | O_APPEND) >= 0; }},
        FenceCase{"CreatesNothing", false, false,
                  [](const std::string& outside) {
                      return ::open((outside + ".new").c_str(), O_RDONLY | O_CREAT, 0600) >= 0;
                  }},
        FenceCase{"RemovesNothing", false, false,
                  [](const std::string& outside) { return ::unlink(outside.c_str()) == 0; }},
        FenceCase{"RenamesNothing", false, false,
                  [](const std::string& outside) {
                      return ::rename(outside.c_str(), (outside + ".moved").c_str()) == 0;
                  }},
        FenceCase{"OpensNoSocket", false, false,
                  [](const std::string&) { return ::socket(AF_INET, SOCK_STREAM, 0) >= 0; }},
        FenceCase{"StartsNoProgram", false, false,
                  [](const std::string&) {
                      char* const argv[] = {const_cast<char*>("true"), nullptr};
                      ::execv("/bin/true", argv);
                      return false;
                  }}),
    [](const auto& info) { return std::string(info.param.Name); });

struct SvgCase {
    const char* Name;
    std::string Svg;
    std::string Kept;  // must be in the cleaned SVG
    std::string Gone;  // must not be
};

class CleanSvg : public ::testing::TestWithParam<SvgCase> {};

TEST_P(CleanSvg, KeepsTheDrawingAndDropsWhatPointsOutside) {
    const SvgCase& c = GetParam();
    const std::string cleaned = WithoutExternalReferences(c.Svg);
    EXPECT_NE(cleaned.find(c.Kept), std::string::npos) << cleaned;
    EXPECT_EQ(cleaned.find(c.Gone), std::string::npos) << cleaned;
}

const std::string Open = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">";

INSTANTIATE_TEST_SUITE_P(
    Table, CleanSvg,
    ::testing::Values(
        // The injection a text record of libemf2svg lets through.
        SvgCase{"InjectedImage",
                Open + "<text>A</text><image x=\"0\" xlink:href='/home/u/.ssh/id.png'/><rect width=\"3\"/></svg>",
                "<rect width=\"3\"/>", "id.png"},
        SvgCase{"FileUrl", Open + "<image href=\"file:///etc/x.png\"><title>t</title></image><g/></svg>", "<g/>",
                "file:"},
        SvgCase{"DataImageKept", Open + "<image xlink:href=\"data:image/png;base64,AAAA\"/></svg>",
                "data:image/png;base64,AAAA", "file:"},
        SvgCase{"LocalUseKept", Open + "<use xlink:href=\"#c1\"/><use xlink:href=\"http://e.example/x#c\"/></svg>",
                "#c1", "e.example"},
        SvgCase{"Entities",
                "<!DOCTYPE svg [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + Open + "<text>&x;</text></svg>",
                "<text", "passwd"},
        SvgCase{"StyleSheetInstruction",
                "<?xml-stylesheet href=\"file:///etc/s.css\"?>" + Open + "<rect/></svg>", "<rect/>", "s.css"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CleanSvg, BrokenXmlIsRefused) {
    EXPECT_THROW(WithoutExternalReferences(Open + "<text>]]></text><image"), std::runtime_error);
}

} // namespace
} // namespace vorlith::metafile
