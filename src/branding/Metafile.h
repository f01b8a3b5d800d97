#pragma once
// Windows metafiles (WMF) and enhanced metafiles (EMF) as banner pictures. Their decoders
// (libwmf, libemf2svg and Qt SVG) have a history of memory-safety bugs and a banner file is input
// we do not control, so they run in a short-lived helper process, vorlith-metafile, that lives
// beside the program (tools/metafile/). This side reads the header for the picture's size, checks
// the records' framing, hands the bytes over under limits and checks the pixels that come back.

#include <QImage>
#include <QImageReader>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlith {

enum class MetafileKind { Wmf, Emf };

// What a metafile says about itself: its kind and its size in pixels at 96 pixels per inch.
struct MetafileHeader {
    MetafileKind Kind = MetafileKind::Wmf;
    int Width = 0;
    int Height = 0;
};

// Reads the header: a placeable WMF's bounding box at its units per inch (96 when it states 0),
// an EMF's frame; the content decides the kind, whichever of the two extensions the name has.
// Then walks the records: each must lie inside the file, the last must end the metafile, and
// saved states may not nest deeper than a banner needs. Throws std::runtime_error with the
// reason for anything else, for a picture without size and for one larger than
// MaxMetafileBytes().
MetafileHeader InspectMetafile(std::string_view bytes);

// The largest picture, in bytes of 32-bit pixels: Qt's allocation limit for image readers, so
// metafiles are capped as the other picture types are. With the limit switched off, Qt's
// default still bounds what the helper may send back.
inline std::int64_t MaxMetafileBytes() {
    const int megabytes = QImageReader::allocationLimit();
    return std::int64_t{megabytes > 0 ? megabytes : 128} * 1024 * 1024;
}

// The helper's program file name and its arguments: the kind ("wmf" or "emf"), width and height.
inline constexpr std::string_view MetafileHelperName = "vorlith-metafile";
inline constexpr std::string_view MetafileKindName(MetafileKind kind) {
    return kind == MetafileKind::Wmf ? "wmf" : "emf";
}

// The helper's answer on its standard output: "PICT", the width and height as 32-bit
// little-endian numbers and the rows of ARGB32 premultiplied pixels; or "FAIL" and a reason.
inline constexpr std::string_view MetafilePictureTag = "PICT";
inline constexpr std::string_view MetafileFailureTag = "FAIL";
inline constexpr std::size_t MetafileReplyHeaderSize = 12;
inline constexpr std::size_t MaxMetafileReasonSize = 200;

// The pixels of the picture the header announced, or std::runtime_error with the helper's
// reason or with what is wrong with the answer.
QImage ReadMetafileReply(std::string_view reply, const MetafileHeader& header);

// The helper beside the running program (the build folder, a portable copy), else in
// ../lib/vorlith/ from it (an installed copy keeps helpers out of the bin folder).
std::string MetafileHelperPath();

// The helper and its time limits. A banner decodes in a fraction of a second; the deadline
// leaves room for a busy machine without holding up the start for long.
struct MetafileHelper {
    std::string Path = MetafileHelperPath();
    int CpuSeconds = 2;
    std::chrono::milliseconds Deadline{2000};
};

// The banner strip shows no more than this: a larger picture is decoded at the largest size that
// fits inside it, its proportions kept.
inline constexpr int MaxBannerDecodeWidth = 2048;
inline constexpr int MaxBannerDecodeHeight = 512;
MetafileHeader DecodeSize(const MetafileHeader& stated);

// Decodes a metafile's bytes in the helper, at DecodeSize(). Throws std::runtime_error with the
// reason for bad input and for a helper that is missing, crashes, runs too long or answers nonsense.
QImage DecodeMetafile(std::string_view bytes, const MetafileHelper& helper = {});

// Reads a metafile's bytes: a regular file of at most 64 MiB. Throws std::runtime_error.
std::string ReadMetafileFile(const std::string& name);

// Reads a metafile and decodes it.
QImage LoadMetafile(const std::string& name);

} // namespace vorlith
