// vorlith-metafile KIND WIDTH HEIGHT: decodes the WMF or EMF on standard input into a picture of
// the given size and writes the answer that ReadMetafileReply() reads to standard output. Started
// by the program for each metafile banner, under memory, CPU-time and output limits, and fenced in
// (Fence.h) before it decodes; whatever the bytes do to the decoders here, the program itself only
// sees a failed load.
#include "Fence.h"
#include "MetafileDecoder.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QLibraryInfo>
#include <charconv>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The program refuses larger files before it starts us.
constexpr std::size_t MaxInputSize = 64 * 1024 * 1024;

bool WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

int Fail(std::string_view reason) {
    WriteAll(vorlith::metafile::FailureReply(reason));
    return 1;
}

bool ReadSide(const char* text, int& side) {
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), side);
    return error == std::errc() && end == view.data() + view.size() && side > 0;
}

} // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0;
    const std::string_view kindName = argc == 4 ? argv[1] : "";
    if ((kindName != vorlith::MetafileKindName(vorlith::MetafileKind::Wmf) &&
         kindName != vorlith::MetafileKindName(vorlith::MetafileKind::Emf)) ||
        !ReadSide(argv[2], width) || !ReadSide(argv[3], height) ||
        static_cast<std::int64_t>(width) * height * 4 > vorlith::MaxMetafileBytes()) {
        std::fprintf(stderr, "usage: vorlith-metafile wmf|emf WIDTH HEIGHT < metafile > answer\n");
        return 2;
    }
    const vorlith::MetafileKind kind = kindName == vorlith::MetafileKindName(vorlith::MetafileKind::Wmf)
                                           ? vorlith::MetafileKind::Wmf
                                           : vorlith::MetafileKind::Emf;
    try {
        std::string bytes;
        char chunk[65536];
        for (ssize_t got; (got = ::read(STDIN_FILENO, chunk, sizeof chunk)) != 0;) {
            if (got < 0)
                return Fail("the metafile cannot be read");
            bytes.append(chunk, static_cast<std::size_t>(got));
            if (bytes.size() > MaxInputSize)
                return Fail("the metafile is too large");
        }

        // Qt SVG draws text with Qt's fonts, which need an application; no display is used.
        int qtArgc = 3;
        char name[] = "vorlith-metafile", option[] = "-platform", platform[] = "offscreen";
        char* qtArgv[] = {name, option, platform, nullptr};
        std::optional<QGuiApplication> application;
        if (kind == vorlith::MetafileKind::Emf) {
            application.emplace(qtArgc, qtArgv);
            // The font list and the image plugins are read now, before the fence goes up.
            QFontDatabase::families();
            QImageReader::supportedImageFormats();
        }

        std::vector<std::string> readable = vorlith::metafile::FontFolders();
        // Libraries and Qt's plugins, loaded late by the decoders, hold nothing of the user's.
        for (const char* folder : {"/usr/lib", "/lib", "/lib64", "/usr/lib64"})
            readable.emplace_back(folder);
        readable.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString());
        const vorlith::metafile::FenceReport fence = vorlith::metafile::FenceIn(readable);
        if (!fence.Seccomp)
            return Fail("the decoder cannot fence itself in (" + fence.Problem + ")");
        if (!fence.Landlock)
            std::fprintf(stderr, "vorlith-metafile: reads are not fenced: %s\n", fence.Problem.c_str());

        const QImage picture = vorlith::metafile::DecodePicture(kind, bytes, QSize(width, height));
        const std::string header = vorlith::metafile::PictureReplyHeader(picture);
        const std::string_view pixels(reinterpret_cast<const char*>(picture.constBits()),
                                      static_cast<std::size_t>(picture.sizeInBytes()));
        return WriteAll(header) && WriteAll(pixels) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
}
