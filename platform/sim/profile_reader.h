// GetPrivateProfileStringW for the simulated machine, as a pure function of
// the file's bytes.
//
// The rules are Windows', where Windows and Wine part ways too:
//
//   <bytes FF FE: the rest is UTF-16LE; anything else is ANSI text in the
//    machine's code page (ansi_code_page.h), 1252 unless told otherwise>
//      Key=ignored            ; keys before the first header belong to no section
//   [Setup]                   ; names match without regard to ASCII case
//     Spaced  =   padded value     -> "padded value" (space, tab, VT trimmed)
//   Quoted="  a  "                 -> "  a  " (one matching outer pair of " or ')
//   Semi=value ; x                 -> "value ; x" (no inline comments)
//   ;Commented=1                   -> a comment line: the key ";Commented" is missing
//   #Key=yes                       -> the key "#Key"
//   Empty=                         -> "" (present, so not the default)
//   Dup=first                      -> "first"
//   Dup=second
//   NoEqualsSign                   -> not a key
//   [setup]                        ; a second [Setup]: never searched
//   [Trail]junk  [A]B]  [Other     -> sections "Trail", "A" and "Other"
//   []                             -> the section ""
//
// Lines end at CR, LF or CRLF alike. A UTF-8 byte-order mark is not
// recognised: its bytes are three ANSI characters stuck to line 1, so a
// header there is lost. A UTF-16BE file reads as ANSI text full of NULs and
// gives the default for every name.
//
// Choices where Windows' answer is not established (Wine agrees with each):
// - LF and CR alone end lines as CRLF does.
// - Only A-Z fold for case: "[Sèction]" is not found as "SÈCTION".
// - A key line "=value" is the key "", found when the key argument is "" (or
//   only blanks).
// - The blanks around key names are the same as around values and section
//   names: space, tab, vertical tab.
// - A value holding a NUL character comes back up to that NUL, which is all a
//   caller reading the returned buffer as a string sees.
// - The default loses its trailing spaces before it is cut to the buffer.
// Not modelled: values of 65536 characters or more, whose length Windows
// counts modulo 65536; the launcher's buffer is 500 characters.
#pragma once

#include <cstddef>
#include <string>

#include "base/text.h"
#include "platform/sim/profile_listing.h"

namespace zq::sim {

// The value of `key` in `section` of an INI file whose raw bytes are
// `fileBytes`, as GetPrivateProfileStringW gives it with a buffer of
// bufferChars characters (the default when the section or key is missing).
// `codePage` is the machine's ANSI code page; it must be supported.
WString ReadProfileString(const std::string& fileBytes, const WString& section, const WString& key,
                          const WString& defaultValue, std::size_t bufferChars, unsigned codePage = 1252);

// The same from the file's scan (profile_listing.h): a file read many
// times is decoded and parsed once.
WString ReadProfileString(const ProfileListing& file, const WString& section, const WString& key,
                          const WString& defaultValue, std::size_t bufferChars);

// What the call gives when the file itself is missing: the default, trailing
// blanks cut, truncated to bufferChars-1.
WString ProfileDefault(const WString& defaultValue, std::size_t bufferChars);

}  // namespace zq::sim
