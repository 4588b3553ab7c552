#include "core/geometry.h"

namespace tessarin {

int32_t mulDiv(int32_t value, int32_t numerator, int32_t denominator) {
    if (denominator == 0) return -1;
    int64_t product = int64_t(value) * numerator;
    bool negative = (product < 0) != (denominator < 0);
    uint64_t p = product < 0 ? uint64_t(-product) : uint64_t(product);
    uint64_t d = denominator < 0 ? uint64_t(-int64_t(denominator)) : uint64_t(denominator);
    uint64_t q = (p + d / 2) / d;
    if (q > 0x7FFFFFFFull) return -1;
    return negative ? static_cast<int32_t>(-int64_t(q)) : static_cast<int32_t>(q);
}

}  // namespace tessarin
