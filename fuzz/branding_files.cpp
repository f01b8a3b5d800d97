// The files a distributor places next to the program: INI text, skin containers, banner images.
// None of them may crash the program or make it hang, whatever their bytes.
#include "branding/SkinFile.h"
#include "branding/UpdateCheck.h"
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    for (const std::string_view key : {"AppName", "Version", "BannerPath1", ""}) {
        const std::string value = vorlith::ReadIniStringFromText(bytes, "Settings", key);
        if (value.size() > vorlith::MaxIniValueLength)
            __builtin_trap();
    }
    (void)vorlith::ReadVersionNumber(bytes.substr(0, 64), '.');
    (void)vorlith::ReadVersionNumber(bytes.substr(0, 64), ',');

    // The container's magic in front, so the inflater sees the bytes.
    try {
        const auto styleSheet = vorlith::UnpackSkin(std::string(vorlith::SkinFileMagic) + std::string(bytes));
        if (styleSheet && styleSheet->size() > vorlith::MaxSkinStyleSheetSize)
            __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
