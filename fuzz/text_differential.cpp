// Differential fuzzing of the text operations against the plain versions of tests/text/TextReference.h.
// Input: one byte choosing the operation, then (for the cuts and ReplaceAll) two marker lengths and the
// markers, and the rest is the text. Run with -max_len of a few kilobytes: the plain versions are
// quadratic.
#include "../tests/text/TextReference.h"
#include "text/UUtils.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const int operation = data[0] % 3;
    const std::size_t firstLength = data[1] % 17;
    const std::size_t secondLength = data[2] % 17;
    std::string rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    if (operation == 2) {
        Check(vorlith::CleanHtml(rest) == vorlith::reference::CleanHtml(rest));
        return 0;
    }
    if (rest.size() < firstLength + secondLength)
        return 0;
    const std::string first = rest.substr(0, firstLength);
    const std::string second = rest.substr(firstLength, secondLength);
    const std::string text = rest.substr(firstLength + secondLength);

    if (operation == 0) {
        // A walk of cuts: the markers as given, then swapped, as the page readers chain them.
        std::string expectedBuffer = text;
        std::string_view buffer = text;
        for (int cut = 0; cut < 6; ++cut) {
            const std::string& a = cut % 2 ? second : first;
            const std::string& b = cut % 2 ? first : second;
            const std::string expected = vorlith::reference::ExtractBetween(expectedBuffer, a, b);
            Check(vorlith::ExtractBetween(buffer, a, b) == expected);
            Check(buffer == expectedBuffer);
        }
        return 0;
    }

    const auto expected = vorlith::reference::ReplaceAll(text, first, second);
    try {
        const std::string result = vorlith::ReplaceAll(text, first, second);
        Check(expected.has_value() && result == *expected);
    } catch (const std::length_error&) {
        Check(!expected.has_value());
    }
    return 0;
}
