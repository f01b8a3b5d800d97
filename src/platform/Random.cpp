#include "platform/Random.h"

#include <chrono>
#include <random>

namespace vorlith {

std::size_t RandomIndex(std::size_t count) {
    if (count <= 1)
        return 0;
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    std::mt19937_64 generator(static_cast<std::mt19937_64::result_type>(ticks));
    std::uniform_int_distribution<std::size_t> draw(0, count - 1);
    return draw(generator);
}

} // namespace vorlith
