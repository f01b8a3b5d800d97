// Fuzzes address parsing and redirect resolution: no crash, and what comes out parses again.
#include "net/HttpAddress.h"
#include "net/HttpError.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    const auto split = data.find('\n');
    const std::string_view first = data.substr(0, split);
    const std::string_view second =
        split == std::string_view::npos ? std::string_view{} : data.substr(split + 1);
    try {
        const vorlith::HttpAddress base = vorlith::ParseHttpAddress(first);
        if (base.Target.empty() || base.Target.front() != '/')
            std::abort();
        const vorlith::HttpAddress next = vorlith::ResolveLocation(base, second);
        if (next.Target.empty())
            std::abort();
        vorlith::ParseHttpAddress(next.Text());
    } catch (const vorlith::HttpError&) {
    }
    return 0;
}
