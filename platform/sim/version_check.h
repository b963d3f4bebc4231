// VerifyVersionInfoW as the launcher calls it (type mask 0x33: major and
// minor VER_EQUAL, service-pack major and minor VER_GREATER_EQUAL).
//
// Windows tests the levels in order as a hierarchy: the next level is looked
// at only while the current one equals the requested value, and the last
// level looked at decides. So service packs compare as a pair: 3.0 >= 2.1
// holds, 2.0 >= 2.1 does not.
#pragma once

#include "platform/platform.h"

namespace zq::sim {

inline constexpr ErrorCode kErrorOldWinVersion = 1150;

struct OsVersion {
    unsigned major = 5, minor = 1;
    std::uint16_t servicePackMajor = 3, servicePackMinor = 0;
};

bool VersionMatches(const OsVersion& system, const VersionRequest& request);

}  // namespace zq::sim
