// Driver detection's search: FindFirstKeyword against a plain search of the
// same UTF-16LE text, on buffers of every alignment, and the search of a
// large file, piece by piece, against both with pieces of several sizes
// (so boundaries fall inside keywords, NULs and the odd last byte).
#include <cstring>
#include <vector>

#include "checks/driver_detection.h"
#include "fuzz/fuzz_support.h"

namespace {

using zq::WString;
using zq::fuzz::Require;

// The file's text: 16-bit units, first byte low, up to the first NUL unit.
std::vector<std::uint16_t> FileText(const std::uint8_t* bytes, std::size_t size) {
    std::vector<std::uint16_t> text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint16_t unit = static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

bool OccursIn(const std::vector<std::uint16_t>& text, const WString& keyword) {
    if (keyword.size() > text.size()) return false;
    for (std::size_t at = 0; at + keyword.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < keyword.size() && text[at + k] == static_cast<std::uint16_t>(keyword[k])) ++k;
        if (k == keyword.size()) return true;
    }
    return false;
}

int ReferenceFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords) {
    const std::vector<std::uint16_t> text = FileText(bytes, size);
    for (std::size_t k = 0; k < keywords.size(); ++k)
        if (OccursIn(text, keywords[k])) return static_cast<int>(k);
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t offset = input.ConsumeIntegralInRange<std::size_t>(0, 7);
    const int keywordCount = input.ConsumeIntegralInRange<int>(0, 4);
    std::vector<WString> keywords;
    for (int k = 0; k < keywordCount; ++k) keywords.push_back(zq::fuzz::ConsumeUnits(input, 12));
    const std::vector<std::uint8_t> file = input.ConsumeRemainingBytes<std::uint8_t>();
    // A keyword cut out of the file's own text now and then, so that matches
    // are common, also near the end and across odd offsets.
    if (!keywords.empty() && file.size() >= 4) {
        const std::size_t from = (file[0] % (file.size() / 2)) * 2;
        const std::size_t units = 1 + file[1] % 8;
        WString cut;
        for (std::size_t i = from; i + 1 < file.size() && cut.size() < units; i += 2)
            cut.push_back(static_cast<wchar_t>(file[i] | (file[i + 1] << 8)));
        keywords.back() = cut;
    }

    // The bytes at an offset of 0..7 from an aligned start: no search may
    // rely on the buffer's alignment, nor read past its end.
    std::vector<std::uint8_t> storage(offset + file.size());
    if (!file.empty()) std::memcpy(storage.data() + offset, file.data(), file.size());
    const std::uint8_t* bytes = storage.data() + offset;
    // An exact-size heap copy, for the address sanitizer to catch reads past the end.
    std::vector<std::uint8_t> exact(bytes, bytes + file.size());

    const int found = zq::FindFirstKeyword(exact.data(), exact.size(), keywords);
    Require(found == ReferenceFirstKeyword(exact.data(), exact.size(), keywords),
            "FindFirstKeyword agrees with the plain search");
    Require(zq::FindFirstKeyword(bytes, file.size(), keywords) == found, "the alignment does not matter");
    for (std::size_t piece : {1u, 2u, 3u, 4u, 7u, 16u, 61u}) {
        Require(zq::FindFirstKeywordInPieces(exact.data(), exact.size(), keywords, piece) == found,
                "the search in pieces agrees with the search of the whole");
    }
    return 0;
}
