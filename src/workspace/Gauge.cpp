#include "workspace/Gauge.h"

#include <algorithm>

namespace vorlith {

void Gauge::SetMaximum(int maximum) {
    maximum_ = maximum;
    SetValue(value_);
}

void Gauge::SetValue(int value) {
    // A maximum below 0 leaves an empty range: the value sits at 0.
    value_ = std::clamp(value, 0, std::max(maximum_, 0));
}

int Gauge::Percent() const {
    if (maximum_ <= 0)
        return 0;
    // 64-bit: byte counts near 2^31 must not overflow when scaled.
    const long long scaled = 200LL * value_ + maximum_;
    return static_cast<int>(scaled / (2LL * maximum_));
}

std::string Gauge::Text() const {
    return std::to_string(Percent()) + "%";
}

} // namespace vorlith
