#include "base/json_text.h"

namespace zq {

std::string JsonString(WStringView text) {
    // Utf16ToUtf8 joins surrogate pairs and turns a lone surrogate into
    // U+FFFD; bytes of a multi-byte sequence are never below 0x80, so only
    // ASCII needs escaping afterwards.
    const std::string utf8 = Utf16ToUtf8(text);
    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back('"');
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0xF]);
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

// A line break and the indentation of the current depth.
void JsonWriter::NewLine() {
    text_.push_back('\n');
    text_.append(static_cast<std::size_t>(depth_) * 2, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (depth_ > 0) {
        if (!first_) text_.push_back(',');
        NewLine();
    }
    first_ = false;
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    text_.push_back(bracket);
    ++depth_;
    first_ = true;
}

void JsonWriter::Close(char bracket) {
    --depth_;
    if (!first_) NewLine();
    text_.push_back(bracket);
    first_ = false;
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{');
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Open('[');
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    text_ += JsonString(WidenAscii(name)) + ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(WStringView text) {
    BeforeValue();
    text_ += JsonString(text);
    return *this;
}

JsonWriter& JsonWriter::OptionalString(const std::optional<WString>& text) { return text ? String(*text) : Null(); }

JsonWriter& JsonWriter::Number(std::int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::OptionalNumber(const std::optional<std::int64_t>& value) {
    return value ? Number(*value) : Null();
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
    return *this;
}

}  // namespace zq
