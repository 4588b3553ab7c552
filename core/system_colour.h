// The colours of the user's display scheme.
#pragma once

#include <cstdint>

namespace tessarin {

// GetSysColor: the colour of a display element (COLOR_* index) as 0x00BBGGRR.
int32_t systemColour(int index);

}  // namespace tessarin
