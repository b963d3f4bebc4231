// Text without a byte-order mark, as Windows decodes it: in the system's
// ANSI code page (CP_ACP), the way MultiByteToWideChar(CP_ACP, 0, ...) does
// with Windows' own tables.
//
// Supported: 1250 (Central Europe), 1251 (Cyrillic), 1252 (Western Europe,
// the default), 1253 (Greek), 1254 (Turkish), 1257 (Baltic) and 932
// (Japanese, Shift-JIS with Microsoft's extensions).
//
// Bytes a code page leaves undefined still decode, as Windows' tables say:
//   single-byte pages: 0x80-0x9F become the control character of the same
//     number (1252's 81 -> U+0081); 1253's AA, D2, FF become U+F8F9, U+F8FA,
//     U+F8FB and 1257's A1, A5 become U+F8FC, U+F8FD (private use);
//   932: the single bytes 80, A0, FD, FE, FF become U+0080, U+F8F0, U+F8F1,
//     U+F8F2, U+F8F3; a lead byte whose second byte makes no character, or
//     that ends the text, becomes U+30FB (the code page's default character,
//     KATAKANA MIDDLE DOT). Not established for Windows, and our choice:
//     after such a lead byte the next byte is read again on its own, and a
//     lead byte that ends the text gives U+30FB too.
// Each of these counts as undefined in the decoding's result, which is what
// the package checker reports.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace zq::sim {

inline constexpr unsigned kDefaultAnsiCodePage = 1252;

bool IsSupportedAnsiCodePage(unsigned codePage);
// "1250, 1251, 1252, 1253, 1254, 1257 and 932", for messages.
const char* SupportedAnsiCodePages();

struct AnsiDecoding {
    WString text;
    // Offset of the first byte that the code page leaves undefined (or the
    // first byte of an invalid 932 sequence), when there is one.
    std::optional<std::size_t> firstUndefinedAt;
};

// `codePage` must be supported.
AnsiDecoding DecodeAnsi(std::string_view bytes, unsigned codePage);

// The text of a file as GetPrivateProfileStringW reads it: UTF-16LE after
// the bytes FF FE, otherwise ANSI text in `codePage`.
WString DecodeProfileFileText(std::string_view fileBytes, unsigned codePage);

}  // namespace zq::sim
