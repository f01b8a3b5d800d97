#include "branding/Banner.h"

#include "branding/Branding.h"
#include "branding/Metafile.h"
#include "branding/WebPages.h"
#include "platform/FileRename.h"
#include "platform/Files.h"
#include "platform/QStringBytes.h"
#include "workspace/Workspace.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace vorlith {

namespace {

// Larger banners are refused instead of being read into memory whole.
constexpr qint64 MaxBannerFileSize = 64 * 1024 * 1024;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Puts the stored name back whatever happens to the load.
class RenameBack {
public:
    RenameBack(std::string shown, std::string stored)
        : shown_(std::move(shown)), stored_(std::move(stored)) {}
    RenameBack(const RenameBack&) = delete;
    RenameBack& operator=(const RenameBack&) = delete;
    ~RenameBack() { RenameNoReplace(shown_, stored_); }

private:
    std::string shown_;
    std::string stored_;
};

// Decoded in a helper process; whatever goes wrong there is a failed load like any other.
QImage LoadMetafilePicture(const std::string& name) {
    try {
        return LoadMetafile(name);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error("Cannot load the picture " + name + ": " + error.what());
    }
}

} // namespace

std::string BannerImageFile(const Workspace& ws, int k) {
    return ws.ProgramFolder + "dbimg" + std::to_string(k + 1) + ".dat";
}

std::string_view PictureExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    const auto slash = name.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return name.substr(dot + 1);
}

QImage LoadPictureFile(const std::string& name) {
    const std::string_view extension = PictureExtension(name);
    const std::string kind = Lower(extension);
    QByteArray format;
    if (kind == "bmp")
        format = "bmp";
    else if (kind == "ico")
        format = "ico";
    else if (kind == "jpg" || kind == "jpeg")
        format = "jpeg";
    else if (kind == "wmf" || kind == "emf")
        return LoadMetafilePicture(name);
    else if (!extension.empty() || name.ends_with('.'))
        throw std::runtime_error("Unknown picture file extension (." + std::string(extension) + ")");

    QImageReader reader(ToQString(name), format);
    // A name without extension is guessed from the content; a named type is decoded as that type.
    reader.setDecideFormatFromContent(format.isEmpty());
    QImage picture = reader.read();
    if (picture.isNull())
        throw std::runtime_error("Cannot load the picture " + name + ": " + ToBytes(reader.errorString()));
    return picture;
}

GifFile LoadGifFile(const std::string& name) {
    QFile file(ToQString(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open the GIF file " + name + ": " + ToBytes(file.errorString()));
    if (file.size() > MaxBannerFileSize)
        throw std::runtime_error("The GIF file " + name + " is too large.");
    GifFile gif;
    gif.Bytes = file.read(MaxBannerFileSize + 1);
    if (gif.Bytes.size() > MaxBannerFileSize)
        throw std::runtime_error("The GIF file " + name + " is too large.");
    const auto* bytes = reinterpret_cast<const unsigned char*>(gif.Bytes.constData());
    if (gif.Bytes.size() < 13 || !(gif.Bytes.startsWith("GIF87a") || gif.Bytes.startsWith("GIF89a")))
        throw std::runtime_error("The file " + name + " is not a GIF image.");
    gif.Width = bytes[6] | (bytes[7] << 8);
    gif.Height = bytes[8] | (bytes[9] << 8);

    QBuffer buffer(&gif.Bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const QImage first = reader.read();
    if (first.isNull())
        throw std::runtime_error("The GIF file " + name + " is damaged: " + ToBytes(reader.errorString()));
    if (gif.Width == 0 || gif.Height == 0) {
        gif.Width = first.width();
        gif.Height = first.height();
    }
    return gif;
}

void LoadBanner(Workspace& ws, int k) {
    const std::string stored = BannerImageFile(ws, k);
    if (!FileExists(stored)) {
        ws.Ui.HideBannerStrip();
        return;
    }
    const std::string shown = ws.ProgramFolder + std::string(FileNamePart(ws.BannerPath));
    // A failed rename goes unnoticed: the load then reads whatever has the shown name.
    RenameNoReplace(stored, shown);
    const RenameBack renameBack(shown, stored);

    if (Lower(shown).find(".gif") != std::string::npos) {
        const GifFile gif = LoadGifFile(shown);
        ws.Ui.ShowBannerAnimation(gif.Bytes, gif.Width, gif.Height);
        ws.Ui.SetBannerStripHeight(gif.Height + 10);
    } else {
        const QImage picture = LoadPictureFile(shown);
        ws.Ui.ShowBannerPicture(picture);
        ws.Ui.SetBannerStripHeight(picture.height() + 10);
    }
}

void OpenBannerPage(Workspace& ws) {
    if (!ws.BannerURL.empty())
        OpenInBrowser(ws, ws.BannerURL);
}

} // namespace vorlith
