#include "services/install_state.h"

namespace tessarin {

PreInstallState& preInstallState() {
    static PreInstallState state;
    return state;
}

uint64_t spaceEstimate(const std::vector<int32_t>& fileSizes, int64_t clusterSize,
                       uint64_t uninstallerSize, int64_t extraSpace) {
    uint64_t cluster =
        clusterSize > 0 ? static_cast<uint64_t>(clusterSize) : uint64_t(kDefaultClusterSize);
    uint64_t total = 0;
    for (int32_t size : fileSizes) {
        uint64_t bytes = size > 0 ? static_cast<uint64_t>(size) : 0;
        total += (bytes + cluster - 1) / cluster * cluster;
    }
    total += uninstallerSize;
    if (extraSpace > 0) total += static_cast<uint64_t>(extraSpace);
    return total;
}

}  // namespace tessarin
