// A banner's bytes as a metafile: everything the program does with them (the header and record
// walk, the check of the helper's answer) and the helper's decoding, here in-process so that the
// sanitizers watch libraries and our code alike. Crashes inside the libraries are what the helper
// process is there to contain; crashes in our code are bugs. Built once per kind (FUZZ_KIND is
// Emf or Wmf), so that each target's corpus grows towards one decoder.
#include "MetafileDecoder.h"
#include "branding/Metafile.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

constexpr vorlith::MetafileKind Kind = vorlith::MetafileKind::FUZZ_KIND;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 3;
    static char name[] = "fuzz_metafile", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static const QGuiApplication application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        (void)vorlith::ReadMetafileReply(bytes, {Kind, 3, 2});
    } catch (const std::runtime_error&) {
    }

    vorlith::MetafileHeader header;
    try {
        header = vorlith::InspectMetafile(bytes);
    } catch (const std::runtime_error&) {
        return 0;
    }
    if (header.Width <= 0 || header.Height <= 0 ||
        std::int64_t{header.Width} * header.Height * 4 > vorlith::MaxMetafileBytes())
        __builtin_trap();
    // What the helper is asked to draw never exceeds the banner strip.
    const vorlith::MetafileHeader fitted = vorlith::DecodeSize(header);
    if (fitted.Width < 1 || fitted.Height < 1 || fitted.Width > vorlith::MaxBannerDecodeWidth ||
        fitted.Height > vorlith::MaxBannerDecodeHeight)
        __builtin_trap();
    if (header.Kind != Kind)
        return 0; // the other target's
    // The size only scales the drawing; small pictures keep the fuzzer fast.
    const vorlith::MetafileHeader small{header.Kind, std::min(header.Width, 128),
                                        std::min(header.Height, 128)};
    try {
        const QImage picture =
            vorlith::metafile::DecodePicture(small.Kind, bytes, QSize(small.Width, small.Height));
        if (vorlith::ReadMetafileReply(vorlith::metafile::PictureReply(picture), small) != picture)
            __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
