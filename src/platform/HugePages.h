#pragma once

#include <cstddef>

namespace vorlith {

// Asks the kernel to back the untouched part of a large buffer with 2 MiB pages where it can: a
// million-row table otherwise takes tens of thousands of page faults as it fills, a large share of
// an import or a sort. Smaller buffers, and systems without the choice, are left as they are.
void PreferHugePages(const void* begin, std::size_t bytes);

// reserve(count), then the advice above for the room it made (a vector or a string).
template <typename Buffer> void ReserveInHugePages(Buffer& buffer, std::size_t count) {
    buffer.reserve(count);
    PreferHugePages(buffer.data(), buffer.capacity() * sizeof(*buffer.data()));
}

} // namespace vorlith
