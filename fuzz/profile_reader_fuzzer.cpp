// The simulated GetPrivateProfileStringW: any file bytes, any section, key,
// default and buffer size.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/sim/profile_reader.h"

namespace {

using zq::WString;
using zq::fuzz::Require;

bool IsUtf16LeFile(const std::string& bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

bool StartsWith(const WString& text, const WString& prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t bufferChars = input.ConsumeIntegralInRange<std::size_t>(0, 600);
    const WString section = zq::fuzz::ConsumeText(input, 40);
    const WString key = zq::fuzz::ConsumeText(input, 40);
    const WString defaultValue = zq::fuzz::ConsumeText(input, 40);
    const std::string fileBytes = input.ConsumeRemainingBytesAsString();

    const WString value = zq::sim::ReadProfileString(fileBytes, section, key, defaultValue, bufferChars);
    Require(value.find(L'\0') == WString::npos, "a value ends at its first NUL");
    Require(value.size() + 1 <= std::max<std::size_t>(bufferChars, 1), "the value and its NUL fit the buffer");

    // Names match without regard to ASCII case.
    Require(zq::sim::ReadProfileString(fileBytes, zq::ToUpperAscii(section), zq::ToLowerAscii(key), defaultValue,
                                       bufferChars) == value,
            "section and key names fold A-Z");

    // A smaller buffer gives a prefix of the same answer.
    if (bufferChars > 0) {
        const WString shorter = zq::sim::ReadProfileString(fileBytes, section, key, defaultValue, bufferChars / 2);
        Require(StartsWith(value, shorter), "a smaller buffer cuts the same value");
    }

    // No header: every name is missing, and the default comes back.
    const WString defaultAnswer = zq::sim::ProfileDefault(defaultValue, bufferChars);
    if (!IsUtf16LeFile(fileBytes) && fileBytes.find('[') == std::string::npos)
        Require(value == defaultAnswer, "a file without a header gives the default");

    // CR, LF and CR LF end lines alike.
    if (!IsUtf16LeFile(fileBytes)) {
        std::string lineFeeds = fileBytes;
        std::replace(lineFeeds.begin(), lineFeeds.end(), '\r', '\n');
        Require(zq::sim::ReadProfileString(lineFeeds, section, key, defaultValue, bufferChars) == value,
                "CR ends a line as LF does");
    }

    // An answer other than the default came from the file: another default
    // does not change it.
    if (value != defaultAnswer)
        Require(zq::sim::ReadProfileString(fileBytes, section, key, defaultValue + L"~default", bufferChars) == value,
                "a value found in the file does not depend on the default");
    return 0;
}
