#include "core/dialog.h"

namespace tessarin {
namespace {

constexpr int32_t kMappedUnits = 8192;

}  // namespace

DialogBaseUnits baseUnitsFromMapping(int32_t pixelsX, int32_t pixelsY) {
    return {mulDiv(pixelsX, 4, kMappedUnits), mulDiv(pixelsY, 8, kMappedUnits)};
}

int32_t dialogUnitsToPixelsX(int32_t units, const DialogBaseUnits& base) {
    return mulDiv(units, base.width, 4);
}

int32_t dialogUnitsToPixelsY(int32_t units, const DialogBaseUnits& base) {
    return mulDiv(units, base.height, 8);
}

}  // namespace tessarin
