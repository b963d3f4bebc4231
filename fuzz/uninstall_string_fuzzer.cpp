// The uninstall data-file refresh's pure parts: the registry string within
// its buffer, then the data file's source and target picked out of it.
#include <optional>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "launch/section_launcher.h"

namespace {

using zq::WString;
using zq::fuzz::Require;

void CheckRegistryString(const std::vector<std::uint8_t>& data, std::size_t bufferBytes,
                         const std::optional<WString>& text) {
    // The code units that fit in the buffer, and whether a NUL is among them.
    const std::size_t units = std::min(data.size(), bufferBytes) / 2;
    bool terminated = false;
    std::size_t length = units;
    for (std::size_t i = 0; i < units; ++i) {
        if (data[2 * i] == 0 && data[2 * i + 1] == 0) {
            terminated = true;
            length = i;
            break;
        }
    }
    if (terminated) Require(text.has_value(), "a string with its NUL in the buffer is read");
    if (!text) return;
    Require(text->size() == length, "the string runs to its first NUL");
    for (std::size_t i = 0; i < length; ++i)
        Require(static_cast<unsigned>((*text)[i]) == static_cast<unsigned>(data[2 * i] | (data[2 * i + 1] << 8)),
                "the string is the data's UTF-16LE code units");
    if (!terminated) Require(data.size() + 2 <= bufferBytes, "an unterminated string leaves room for its NUL");
}

void CheckDataFileCopy(const WString& uninstallString, const std::optional<zq::DataFileCopy>& copy) {
    const WString switchName = zq::kDataFileSwitch;
    const std::size_t switchAt = uninstallString.find(switchName);
    if (switchAt == WString::npos) {
        Require(!copy, "no \"-datfile\", nothing copied");
        return;
    }
    if (!copy) return;
    // The switch must stand alone: "-datfile" up to a blank or the end.
    const std::size_t after = switchAt + switchName.size();
    Require(after == uninstallString.size() || uninstallString[after] == L' ', "the switch is a whole word");
    Require(copy->from.rfind(L"setup\\", 0) == 0, "the source is in the package's setup folder");
    const WString dataFile = copy->from.substr(6);
    Require(dataFile.find(L' ') == WString::npos, "the data file name holds no blank");
    Require(uninstallString.find(dataFile, after) != WString::npos, "the data file name follows the switch");
    const std::size_t marker = uninstallString.find(zq::kCleanupProgramMarker);
    const WString folder = marker == WString::npos ? L"" : uninstallString.substr(0, marker);
    Require(copy->to == folder + dataFile, "the target is the clean-up program's folder and the name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t bufferBytes =
        input.ConsumeBool() ? zq::kUninstallStringBytes : input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const bool raw = input.ConsumeBool();
    std::vector<std::uint8_t> registryData;
    if (raw) {
        registryData = input.ConsumeRemainingBytes<std::uint8_t>();
    } else {
        // Readable seeds: UTF-8 text stored as the registry would, with its NUL.
        const std::string bytes = zq::StringToUtf16LeBytes(zq::fuzz::TextOfUtf8(input.ConsumeRemainingBytesAsString()));
        registryData.assign(bytes.begin(), bytes.end());
        registryData.push_back(0);
        registryData.push_back(0);
    }
    const std::optional<WString> text = zq::RegistryStringWithin(registryData, bufferBytes);
    CheckRegistryString(registryData, bufferBytes, text);

    const WString uninstallString = text ? *text : zq::Utf16LeBytesToString(registryData.data(), registryData.size());
    CheckDataFileCopy(uninstallString, zq::DataFileCopyFor(uninstallString));
    return 0;
}
