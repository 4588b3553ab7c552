#include "services/crash_filter.h"

namespace tessarin {

bool crashFilterIgnores(uint32_t code) {
    return code == 0x80000003u || code == 0x80000004u || code == 0xC0000025u || code == 0xE06D7363u;
}

}  // namespace tessarin
