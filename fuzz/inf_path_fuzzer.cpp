// The plug-in's INF path: the command line without "lanpatch.exe", trimmed.
#include "fuzz/fuzz_support.h"
#include "plugin/update_driver_plugin.h"

namespace {

using zq::WString;
using zq::fuzz::Require;

// The same rule, written plainly: every occurrence removed in one pass from
// left to right (what the removal joins is not looked at again), then white
// space cut at the end and at the start.
WString ReferenceInfPath(const WString& commandLine) {
    const WString marker = zq::kPluginMarker;
    WString kept;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        if (commandLine.compare(i, marker.size(), marker) == 0) {
            i += marker.size();
        } else {
            kept.push_back(commandLine[i++]);
        }
    }
    std::size_t end = kept.size();
    while (end > 0 && zq::IsCWhiteSpace(kept[end - 1])) --end;
    std::size_t start = 0;
    while (start < end && zq::IsCWhiteSpace(kept[start])) ++start;
    return kept.substr(start, end - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WString commandLine = zq::fuzz::TextOfUtf8(data, size);
    const WString infPath = zq::InfPathOfCommandLine(commandLine);
    Require(infPath.size() <= commandLine.size(), "the path is never longer than the command line");
    Require(infPath == ReferenceInfPath(commandLine), "the path agrees with the plain rule");
    return 0;
}
