// Conversions of control values (each a double, as a request holds it) to
// what the tool works with.
#pragma once

#include <contract/combo_items.h>

#include <cstdint>

namespace taviron {

// A checkbox counts as on exactly when its value is 1.0.
bool CheckboxOn(double value);

// Truncation toward zero to a 32-bit integer. Values the conversion cannot
// represent are mended: NaN gives 0, values beyond the range saturate.
int32_t TruncateToInt32(double value);

// The filter method: the value rounded to single precision first, then
// truncated as above (3.9999999 rounds to 4.0f and so gives 4). The number
// may name no method (the filter leaves the source alone then).
FilterMethod MethodNumber(double value);

}  // namespace taviron
