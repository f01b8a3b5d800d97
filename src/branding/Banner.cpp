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
#include <QFutureWatcher>
#include <QImageReader>
#include <QPromise>
#include <QThreadPool>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

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

// Gives the stored image the shown name for the load: a second name (a hard link), so that the
// stored file stays where it is even if the program dies meanwhile; where links fail, a rename.
// Whatever happens to the load, the shown name goes again.
class ShownName {
public:
    ShownName(std::string stored, std::string shown) : stored_(std::move(stored)), shown_(std::move(shown)) {
        if (::link(stored_.c_str(), shown_.c_str()) == 0)
            how_ = How::Linked;
        else if (errno != EEXIST && RenameNoReplace(stored_, shown_))
            how_ = How::Renamed;
        // A failed link or rename goes unnoticed: the load then reads whatever has the shown name.
    }
    ShownName(const ShownName&) = delete;
    ShownName& operator=(const ShownName&) = delete;
    ~ShownName() {
        if (how_ == How::Linked)
            ::unlink(shown_.c_str());
        else if (how_ == How::Renamed)
            RenameNoReplace(shown_, stored_);
    }

private:
    enum class How { None, Linked, Renamed };
    std::string stored_;
    std::string shown_;
    How how_ = How::None;
};

// Decoded in a helper process; whatever goes wrong there is a failed load like any other.
template <typename Step>
auto AsPictureLoad(const std::string& name, Step step) {
    try {
        return step();
    } catch (const std::runtime_error& error) {
        throw std::runtime_error("Cannot load the picture " + name + ": " + error.what());
    }
}

QImage LoadMetafilePicture(const std::string& name) {
    return AsPictureLoad(name, [&] { return LoadMetafile(name); });
}

bool IsMetafileName(std::string_view name) {
    const std::string kind = Lower(PictureExtension(name));
    return kind == "wmf" || kind == "emf";
}

void CheckPictureFile(const std::string& name) {
    if (!IsRegularFile(name)) // a FIFO would block the decoder for ever
        throw std::runtime_error("Cannot load the picture " + name + ": it is not a file");
}

struct DecodedBanner {
    QImage Picture;
    std::exception_ptr Error;
};

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
    CheckPictureFile(name);
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
    if (!IsRegularFile(name))
        throw std::runtime_error("Cannot open the GIF file " + name + ": it is not a file");
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

struct LaterBanner::Decode {
    // Let go through the event loop: a report's own event loop may drop the decode from inside
    // the watcher's signal.
    QFutureWatcher<DecodedBanner>* Watcher = new QFutureWatcher<DecodedBanner>;
    std::function<void()> Next;
    bool Done = false;
    ~Decode() {
        Watcher->disconnect();
        Watcher->deleteLater();
    }
};

LaterBanner::LaterBanner() = default;
// The worker holds only the promise: whatever it still delivers goes nowhere.
LaterBanner::~LaterBanner() = default;

bool LaterBanner::Pending() const {
    return decode_ && !decode_->Done;
}

void LaterBanner::OnShown(std::function<void()> next) {
    if (decode_)
        decode_->Next = std::move(next);
}

void LaterBanner::Drop() {
    decode_.reset();
}

void LaterBanner::Start(Workspace& ws, std::string name, std::string bytes) {
    decode_ = std::make_unique<Decode>();
    Decode* decode = decode_.get();
    auto promise = std::make_shared<QPromise<DecodedBanner>>();
    QObject::connect(decode->Watcher, &QFutureWatcherBase::finished, decode->Watcher, [decode, &ws] {
        decode->Done = true;
        const DecodedBanner decoded = decode->Watcher->result();
        const std::function<void()> next = std::move(decode->Next);
        if (decoded.Error) {
            ws.Ui.ReportError(decoded.Error, CreationWhere);
            return;
        }
        ws.Ui.ShowBannerPicture(decoded.Picture);
        ws.Ui.SetBannerStripHeight(decoded.Picture.height() + 10);
        if (next)
            next();
    });
    decode->Watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, name = std::move(name), bytes = std::move(bytes)] {
        DecodedBanner decoded;
        try {
            decoded.Picture = AsPictureLoad(name, [&] { return DecodeMetafile(bytes); });
        } catch (...) {
            decoded.Error = std::current_exception();
        }
        promise->addResult(std::move(decoded));
        promise->finish();
    });
}

void LoadBanner(Workspace& ws, int k, LaterBanner* later) {
    const std::string stored = BannerImageFile(ws, k);
    if (!IsRegularFile(stored)) {
        ws.Ui.HideBannerStrip();
        return;
    }
    // The stored image gets this name: "/" splits too, so that it never leads out of the folder.
    std::string_view name = FileNamePart(ws.BannerPath);
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const std::string shown = ws.ProgramFolder + std::string(name);
    const ShownName shownName(stored, shown);

    if (Lower(shown).find(".gif") != std::string::npos) {
        const GifFile gif = LoadGifFile(shown);
        ws.Ui.ShowBannerAnimation(gif.Bytes, gif.Width, gif.Height);
        ws.Ui.SetBannerStripHeight(gif.Height + 10);
    } else if (later && IsMetafileName(shown)) {
        CheckPictureFile(shown);
        later->Start(ws, shown, AsPictureLoad(shown, [&] { return ReadMetafileFile(shown); }));
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
