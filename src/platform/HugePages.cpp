#include "platform/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace vorlith {

void PreferHugePages(const void* begin, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
    const auto start = (reinterpret_cast<std::uintptr_t>(begin) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(huge - 1);
    // Only whole huge pages inside the buffer: the advice covers pages, and the rest of the
    // neighbouring ones may belong to someone else.
    if (end > start)
        ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

} // namespace vorlith
