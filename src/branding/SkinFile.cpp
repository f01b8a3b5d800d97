#include "branding/SkinFile.h"

#include "platform/Files.h"

#include <QByteArray>
#include <cerrno>
#include <cstring>
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
    if (SkinSelectorCount(styleSheet) > MaxSkinSelectors)
        throw std::runtime_error("The skin file is damaged: it holds more than " +
                                 std::to_string(MaxSkinSelectors) + " style rules.");
    return styleSheet;
}

std::size_t SkinSelectorCount(std::string_view styleSheet) {
    std::size_t selectors = 0;
    int depth = 0;
    for (const char c : styleSheet) {
        if (c == '{' && depth++ == 0)
            ++selectors;
        else if (c == '}' && depth > 0)
            --depth;
        else if (c == ',' && depth == 0)
            ++selectors;
    }
    return selectors;
}

std::optional<std::string> ReadSkinFile(const std::string& file) {
    // A packed sheet that does not compress still fits in this.
    constexpr std::size_t maxFile = MaxSkinStyleSheetSize + SkinFileMagic.size() + 4 + 1024 * 1024;
    const std::optional<std::string> bytes = ReadRegularFile(file, maxFile);
    if (!bytes)
        throw std::runtime_error("Cannot open the skin file " + file + ": it is not a readable file.");
    if (!bytes->starts_with(SkinFileMagic))
        return std::nullopt; // not a skin of ours
    if (bytes->size() > maxFile)
        throw std::runtime_error("The skin file " + file + " is damaged: it is too large.");
    return UnpackSkin(*bytes);
}

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t FindUrl(std::string_view text, std::size_t from) {
    constexpr std::string_view word = "url(";
    for (std::size_t at = from; at + word.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < word.size() && Lower(text[at + i]) == word[i])
            ++i;
        if (i == word.size())
            return at;
    }
    return std::string_view::npos;
}

std::string_view Unquoted(std::string_view name) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
        name = name.substr(1, name.size() - 2);
    return name;
}

} // namespace

std::string KeepOnlyFileUrls(std::string_view styleSheet) {
    std::string out;
    out.reserve(styleSheet.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t at = FindUrl(styleSheet, pos);
        const std::size_t close = at == std::string_view::npos ? at : styleSheet.find(')', at);
        if (close == std::string_view::npos) {
            out.append(styleSheet.substr(pos));
            return out;
        }
        const std::string_view name = Unquoted(styleSheet.substr(at + 4, close - at - 4));
        const bool keep = name.starts_with(':') || name.starts_with("qrc:") || IsRegularFile(name);
        out.append(styleSheet.substr(pos, at - pos));
        if (keep)
            out.append(styleSheet.substr(at, close + 1 - at));
        else
            out.append("none");
        pos = close + 1;
    }
}

} // namespace vorlith
