#pragma once

#include <string>

namespace vorlith {

// The status bar's progress gauge whose range starts at 0. The value is always kept inside the range.
class Gauge {
public:
    int Maximum() const { return maximum_; }
    int Value() const { return value_; }
    void SetMaximum(int maximum);
    void SetValue(int value);

    // The value as a whole percentage of the range, rounded to nearest; 0 for a range of no width.
    int Percent() const;
    // What the gauge shows: Percent() followed by "%".
    std::string Text() const;

private:
    int maximum_ = 100;
    int value_ = 0;
};

} // namespace vorlith
