// What the fuzz targets share: turning the fuzzer's bytes into the
// launcher's text, and stopping loudly when an invariant breaks.
//
// Text reaches the launcher as UTF-16 code units (one per WString element
// on every build), so the fuzzers make only units up to U+FFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "base/text.h"

namespace zq::fuzz {

// An invariant that does not hold is a crash, so that libFuzzer keeps the
// input and the run fails.
inline void Require(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

// Bytes taken as UTF-8 (malformed sequences become U+FFFD): seeds stay
// readable and every BMP character is reachable.
inline WString TextOfUtf8(std::string_view bytes) { return Utf8ToUtf16(bytes); }

inline WString TextOfUtf8(const std::uint8_t* data, std::size_t size) {
    return TextOfUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

// A field of at most maxBytes bytes, as UTF-8 text.
inline WString ConsumeText(FuzzedDataProvider& input, std::size_t maxBytes) {
    return TextOfUtf8(input.ConsumeRandomLengthString(maxBytes));
}

// Code units made directly, first byte low: lone surrogates and NULs too.
inline WString ConsumeUnits(FuzzedDataProvider& input, std::size_t maxUnits) {
    const std::string bytes = input.ConsumeRandomLengthString(2 * maxUnits);
    WString units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return units;
}

inline bool IsAsciiUpper(wchar_t c) { return c >= L'A' && c <= L'Z'; }

}  // namespace zq::fuzz
