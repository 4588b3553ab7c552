// The program's title as the library's own reports show it ("... is required by %s ...").
// The entry sets it at start-up; until then the product's default name stands.
#pragma once

#include "core/string.h"

namespace tessarin {

void setProgramLabel(const String& wide);
const String& programLabelWide();  // UTF-16

}  // namespace tessarin
