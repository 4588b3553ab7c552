#include "setup/install_script.h"

namespace tessarin {

InstallScript& installScript() {
    static InstallScript script;
    return script;
}

}  // namespace tessarin
