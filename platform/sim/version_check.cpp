#include "platform/sim/version_check.h"

namespace zq::sim {

bool VersionMatches(const OsVersion& system, const VersionRequest& request) {
    if (system.major != request.major || system.minor != request.minor) return false;
    if (system.servicePackMajor != request.servicePackMajor) {
        return system.servicePackMajor > request.servicePackMajor;
    }
    return system.servicePackMinor >= request.servicePackMinor;
}

}  // namespace zq::sim
