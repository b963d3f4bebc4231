// JSON text, written by hand: the product exe links nothing beyond the
// system's DLLs and the C++ runtime, and the texts it writes out (printer
// names, command lines, message texts) come from files, registry values and
// printers that anyone may have named.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/text.h"

namespace zq {

// A JSON string, quotes included, in UTF-8. Double quote and backslash are
// escaped, control characters (U+0000 to U+001F, U+007F) written as escapes,
// a surrogate pair becomes its one character, and a surrogate without its
// partner (which no UTF-8 text can hold) becomes U+FFFD.
std::string JsonString(WStringView text);

// An object or array built member by member, on one line each:
//
//   JsonWriter json;
//   json.BeginObject();
//   json.Key("exitCode").Number(3010);
//   json.EndObject();                  // {"exitCode": 3010}
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);  // a plain ASCII name
    JsonWriter& String(WStringView text);
    JsonWriter& OptionalString(const std::optional<WString>& text);  // null when missing
    JsonWriter& Number(std::int64_t value);
    JsonWriter& OptionalNumber(const std::optional<std::int64_t>& value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return text_; }

private:
    void NewLine();
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    std::string text_;
    int depth_ = 0;
    bool first_ = true;      // no member yet at this depth
    bool afterKey_ = false;  // a key was written and waits for its value
};

}  // namespace zq
