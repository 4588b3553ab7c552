// Pixel rectangles and the scaled integer arithmetic of the user interface.
#pragma once

#include <cstdint>

namespace tessarin {

// Right and bottom are exclusive, as in the system's RECT.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// value × numerator / denominator rounded half away from zero, computed in 64 bits; -1 when the
// denominator is 0 or the result lies outside ±0x7FFFFFFF (the system's MulDiv).
int32_t mulDiv(int32_t value, int32_t numerator, int32_t denominator);

}  // namespace tessarin
