#include "services/setup_state.h"

namespace tessarin {

SetupState& setupState() {
    static SetupState state;
    return state;
}

Payload& setupPayload() {
    static Payload payload;
    return payload;
}

}  // namespace tessarin
