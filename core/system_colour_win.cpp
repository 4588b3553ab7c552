#include <windows.h>

#include "core/system_colour.h"

namespace tessarin {

int32_t systemColour(int index) {
    return static_cast<int32_t>(GetSysColor(index));
}

}  // namespace tessarin
