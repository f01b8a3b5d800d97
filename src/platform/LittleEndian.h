#pragma once
// Little-endian integers in byte strings, as the metafile formats store them. The caller checks
// that the bytes are there.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlith {

inline std::uint16_t ReadU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline std::uint32_t ReadU32(std::string_view bytes, std::size_t at) {
    return ReadU16(bytes, at) | static_cast<std::uint32_t>(ReadU16(bytes, at + 2)) << 16;
}

inline std::int16_t ReadI16(std::string_view bytes, std::size_t at) {
    return static_cast<std::int16_t>(ReadU16(bytes, at));
}

inline std::int32_t ReadI32(std::string_view bytes, std::size_t at) {
    return static_cast<std::int32_t>(ReadU32(bytes, at));
}

inline void AppendU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>(value >> 8);
}

inline void AppendU32(std::string& out, std::uint32_t value) {
    AppendU16(out, static_cast<std::uint16_t>(value & 0xffff));
    AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace vorlith
