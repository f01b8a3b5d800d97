#pragma once
// The advertising banner: its stored image, its loading as a picture or a GIF animation, its
// place in the strip and its clicks.

#include <QByteArray>
#include <QImage>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vorlith {

class Workspace;

// ProgramFolder + "dbimg" + (k+1) + ".dat".
std::string BannerImageFile(const Workspace& ws, int k);

// The extension of a file name: the text after its last dot, "" when no dot follows the last
// path separator.
std::string_view PictureExtension(std::string_view name);

// Decodes a still picture of the banner, its type chosen by the name's extension (bmp, ico, jpg,
// jpeg, wmf, emf; none: guessed from the content). Throws std::runtime_error for another
// extension, a damaged image or a file that cannot be read.
QImage LoadPictureFile(const std::string& name);

// A GIF file's bytes, checked to hold a decodable GIF, and its logical screen size.
struct GifFile {
    QByteArray Bytes;
    int Width = 0;
    int Height = 0;
};
// Throws std::runtime_error for a file that is not a readable GIF.
GifFile LoadGifFile(const std::string& name);

// What a failure while the window is being created is reported as handling.
inline constexpr std::string_view CreationWhere = "TfrmMain FormCreate";

// A metafile banner decoded off the window's thread, so that the window shows itself at once,
// its strip empty, and the picture when the helper is done. The end comes back through the event
// loop of the thread that started it, and never once this is gone or dropped.
class LaterBanner {
public:
    LaterBanner();
    ~LaterBanner();
    LaterBanner(const LaterBanner&) = delete;
    LaterBanner& operator=(const LaterBanner&) = delete;

    bool Pending() const;
    // Runs after the picture is shown. A failed decode is reported to the window (CreationWhere)
    // with the text a failed load throws, and next never runs.
    void OnShown(std::function<void()> next);
    // Forgets the decode under way: nothing is shown or reported.
    void Drop();

    // Decodes the metafile bytes of the shown name, its stored image already read.
    void Start(Workspace& ws, std::string name, std::string bytes);

private:
    struct Decode;
    std::unique_ptr<Decode> decode_;
};

// Shows the banner of index k (BannerPath already set): the stored image gets the shown name (the
// name part of BannerPath, in the program folder) for the load as a second name, removed
// afterwards, also when the load fails; where links fail, it is renamed and back. Throws on a
// failed load. With later, a metafile is only read here and decoded by later.
void LoadBanner(Workspace& ws, int k, LaterBanner* later = nullptr);

// Where a control sits so that it is centred in the strip: each half is truncated on its own.
inline int CentredOffset(int stripSize, int controlSize) {
    return stripSize / 2 - controlSize / 2;
}

// imgBannerClick and gifBannerClick: open BannerURL when there is one.
void OpenBannerPage(Workspace& ws);

} // namespace vorlith
