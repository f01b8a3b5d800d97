#pragma once

#include <cstddef>

namespace vorlith {

// A value drawn uniformly from 0 to count-1 (0 when count is 0) by a generator seeded anew from
// the high-resolution clock immediately before the draw.
std::size_t RandomIndex(std::size_t count);

} // namespace vorlith
