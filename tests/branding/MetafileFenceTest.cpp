// The metafile helper's fence, tried in a child of the test process, and the SVG cleaning that
// keeps a decoded EMF from naming files.
#include "Fence.h"
#include "MetafileDecoder.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlith::metafile {
namespace {

std::string SomeFont() {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/fonts", error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && !it->is_symlink()) // a link may lead out of the font folders
            return it->path().string();
    return {};
}

// What a decoder might try, by name; true when it worked.
bool Attempt(std::string_view what, const std::string& outside) {
    char* const argv[] = {const_cast<char*>("true"), nullptr};
    return what == "read a font"       ? ::open(SomeFont().c_str(), O_RDONLY) >= 0
           : what == "read outside"    ? ::open(outside.c_str(), O_RDONLY) >= 0
           : what == "write"           ? ::open(outside.c_str(), O_WRONLY | O_APPEND) >= 0
           : what == "create"          ? ::open((outside + "2").c_str(), O_RDONLY | O_CREAT, 0600) >= 0
           : what == "unlink"          ? ::unlink(outside.c_str()) == 0
           : what == "rename"          ? ::rename(outside.c_str(), (outside + "2").c_str()) == 0
           : what == "socket"          ? ::socket(AF_INET, SOCK_STREAM, 0) >= 0
                                       : (::execv("/bin/true", argv), false);
}

TEST(Fence, RefusesWhatADecoderNeverNeeds) {
    const std::pair<const char*, bool> cases[] = {{"read a font", true}, {"read outside", false}, {"write", false},
                                                  {"create", false}, {"unlink", false}, {"rename", false},
                                                  {"socket", false}, {"exec", false}};
    QTemporaryDir folder;
    const std::string outside = folder.filePath(QStringLiteral("secret.png")).toStdString();
    std::ofstream(outside) << "not a font";
    for (const auto& [what, allowed] : cases) {
        if (LandlockAbi() == 0 && std::string_view(what).starts_with("read")) {
            std::printf("skipped \"%s\": this kernel offers no Landlock, reads are not limited\n", what);
            continue;
        }
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(!FenceIn(FontFolders()).Seccomp ? 3 : Attempt(what, outside) ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (allowed ? 0 : 1)) << what << " " << status;
        EXPECT_TRUE(std::filesystem::exists(outside)) << what;
    }
}

TEST(CleanSvg, KeepsTheDrawingAndDropsWhatPointsOutside) {
    const std::string open = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">";
    const struct {
        std::string Svg, Kept, Gone;
    } cases[] = {
        // The injection a text record of libemf2svg lets through.
        {open + "<text>A</text><image xlink:href='/home/u/id.png'/><rect width=\"3\"/></svg>", "<rect width=\"3\"/>",
         "id.png"},
        {open + "<image href=\"file:///etc/x.png\"><title>t</title></image><g/></svg>", "<g/>", "file:"},
        {open + "<image xlink:href=\"data:image/png;base64,AAAA\"/></svg>", "data:image/png;base64,AAAA", "file:"},
        {open + "<use xlink:href=\"#c1\"/><use xlink:href=\"http://e.example/x#c\"/></svg>", "#c1", "e.example"},
        {"<!DOCTYPE svg [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + open + "<text>&x;</text></svg>", "<text",
         "passwd"},
        {"<?xml-stylesheet href=\"file:///etc/s.css\"?>" + open + "<rect/></svg>", "<rect/>", "s.css"}};
    for (const auto& c : cases) {
        const std::string cleaned = WithoutExternalReferences(c.Svg);
        EXPECT_NE(cleaned.find(c.Kept), std::string::npos) << cleaned;
        EXPECT_EQ(cleaned.find(c.Gone), std::string::npos) << cleaned;
    }
    EXPECT_THROW(WithoutExternalReferences(open + "<text>]]></text><image"), std::runtime_error);
}

} // namespace
} // namespace vorlith::metafile
