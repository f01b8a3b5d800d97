#include "branding/SkinFile.h"

#include <QByteArray>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <zlib.h>

namespace vorlith {

std::string PackSkin(std::string_view styleSheet) {
    const QByteArray packed = qCompress(reinterpret_cast<const uchar*>(styleSheet.data()),
                                        static_cast<qsizetype>(styleSheet.size()), 9);
    return std::string(SkinFileMagic) +
           std::string(packed.constData(), static_cast<std::size_t>(packed.size()));
}

std::optional<std::string> UnpackSkin(std::string_view bytes) {
    if (!bytes.starts_with(SkinFileMagic))
        return std::nullopt;
    bytes.remove_prefix(SkinFileMagic.size());
    if (bytes.size() < 4)
        throw std::runtime_error("The skin file is damaged: it ends before its size.");
    const std::size_t declared = (std::size_t(static_cast<unsigned char>(bytes[0])) << 24) |
                                 (std::size_t(static_cast<unsigned char>(bytes[1])) << 16) |
                                 (std::size_t(static_cast<unsigned char>(bytes[2])) << 8) |
                                 std::size_t(static_cast<unsigned char>(bytes[3]));
    bytes.remove_prefix(4);
    if (declared > MaxSkinStyleSheetSize)
        throw std::runtime_error("The skin file is damaged: it declares a style sheet of " +
                                 std::to_string(declared) + " bytes.");
    if (declared == 0 && bytes.empty())
        return std::string(); // qCompress writes an empty text as its size alone

    // Inflated by hand so that a hostile stream cannot grow beyond the declared size.
    std::string styleSheet(declared, '\0');
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        throw std::runtime_error("The skin file cannot be unpacked: out of memory.");
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(styleSheet.data());
    stream.avail_out = static_cast<uInt>(styleSheet.size());
    int result = inflate(&stream, Z_FINISH);
    if (result == Z_BUF_ERROR && stream.avail_out == 0) {
        // Output full: only an immediately ending stream is acceptable.
        unsigned char probe = 0;
        stream.next_out = &probe;
        stream.avail_out = 1;
        result = inflate(&stream, Z_FINISH);
        if (result != Z_STREAM_END || stream.avail_out == 0)
            result = Z_DATA_ERROR;
    }
    const std::size_t produced = styleSheet.size() - stream.avail_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced != declared)
        throw std::runtime_error("The skin file is damaged: its compressed style sheet cannot be unpacked.");
    return styleSheet;
}

std::optional<std::string> ReadSkinFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot open the skin file " + file + ": " + std::strerror(errno));
    std::string bytes;
    char block[16384];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > MaxSkinStyleSheetSize + SkinFileMagic.size() + 4 + 1024 * 1024 &&
            bytes.starts_with(SkinFileMagic))
            throw std::runtime_error("The skin file " + file + " is damaged: it is too large.");
        if (bytes.size() >= SkinFileMagic.size() && !bytes.starts_with(SkinFileMagic))
            return std::nullopt; // not a skin of ours; no need to read the rest
    }
    if (in.bad())
        throw std::runtime_error("Cannot read the skin file " + file + ".");
    return UnpackSkin(bytes);
}

} // namespace vorlith
