// Text helpers with the C library's rules in the "C" locale, on WString
// (one UTF-16 code unit per element on every build).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

using WString = std::wstring;
using WStringView = std::wstring_view;

// The C library's white space in the ASCII range: blank, tab, line feed,
// vertical tab, form feed, carriage return.
bool IsCWhiteSpace(wchar_t c);

WString TrimEnd(WStringView text);
WString TrimStart(WStringView text);
// End first, then start: the order every caller in the launcher uses.
WString TrimEndThenStart(WStringView text);

// Only the letters A to Z (a to z) change.
WString ToLowerAscii(WStringView text);
WString ToUpperAscii(WStringView text);

// _wcsicmp in the "C" locale: whole strings, ASCII letters folded.
bool EqualsIgnoringAsciiCase(WStringView a, WStringView b);

// _wtoi: leading white space skipped, an optional sign, decimal digits up to
// the first other character; 0 when there are none. Saturates instead of
// overflowing.
std::int32_t WToI(WStringView text);

// Every occurrence of `what` replaced, left to right, without rescanning the
// replacement.
WString ReplaceAll(WStringView text, WStringView what, WStringView with);

bool Contains(WStringView text, WStringView what);

// Plain ASCII to WString (for literals and numbers).
WString WidenAscii(std::string_view ascii);

// UTF-8 and UTF-16 at the edges of the simulated machine and the tests.
// Decoding never forms code points inside WString: a character beyond
// U+FFFF becomes its surrogate pair; malformed bytes become U+FFFD.
WString Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(WStringView utf16);

// UTF-16LE bytes to code units (first byte low); an odd last byte is ignored.
WString Utf16LeBytesToString(const std::uint8_t* bytes, std::size_t size);
std::string StringToUtf16LeBytes(WStringView text);

// A registry string of at most bufferBytes bytes as text: up to its first
// NUL; nullopt when the data fills the buffer with no NUL in it (too long).
std::optional<WString> RegistryStringWithin(const std::vector<std::uint8_t>& data, std::size_t bufferBytes);

}  // namespace zq
