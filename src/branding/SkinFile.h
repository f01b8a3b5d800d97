#pragma once
// Skin files: the 8 bytes "VRLSKIN1", then a style sheet compressed as qCompress does it
// (4 bytes of big-endian length, then a zlib stream).

#include <optional>
#include <string>
#include <string_view>

namespace vorlith {

inline constexpr std::string_view SkinFileMagic = "VRLSKIN1";
// No skin is this large; a bigger declared or inflated size is treated as damage. Qt parses a
// style sheet slowly enough that a larger one would stall the start.
inline constexpr std::size_t MaxSkinStyleSheetSize = 256 * 1024;
// Qt matches every rule against every widget: rules that all match cost far more than their bytes
// say. A skin has a few dozen; more selectors than this are damage too.
inline constexpr std::size_t MaxSkinSelectors = 1000;

// Selectors of a style sheet's rules: one for each rule, one more for each comma between them.
std::size_t SkinSelectorCount(std::string_view styleSheet);

// The bytes of a skin file holding the style sheet.
std::string PackSkin(std::string_view styleSheet);

// The style sheet of a skin file's bytes; no value when they hold no skin (other first bytes).
// Throws std::runtime_error when the magic is right but the compressed stream is damaged, too
// large, or holds more than MaxSkinSelectors selectors.
std::optional<std::string> UnpackSkin(std::string_view bytes);

// Reads and unpacks a skin file; throws when it cannot be read, is not a regular file or is damaged.
std::optional<std::string> ReadSkinFile(const std::string& file);

// The style sheet with every url() that names no regular file (a FIFO would block the window
// while it loads the image) replaced by "none". Resource names (":/...", "qrc:") stay. Relative
// names are taken from the current folder, as Qt takes them.
std::string KeepOnlyFileUrls(std::string_view styleSheet);

} // namespace vorlith
