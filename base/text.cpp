#include "base/text.h"

#include <algorithm>
#include <limits>

namespace zq {

bool IsCWhiteSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

WString TrimEnd(WStringView text) {
    std::size_t end = text.size();
    while (end > 0 && IsCWhiteSpace(text[end - 1])) --end;
    return WString(text.substr(0, end));
}

WString TrimStart(WStringView text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsCWhiteSpace(text[begin])) ++begin;
    return WString(text.substr(begin));
}

WString TrimEndThenStart(WStringView text) { return TrimStart(TrimEnd(text)); }

WString ToLowerAscii(WStringView text) {
    WString out(text);
    for (auto& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

WString ToUpperAscii(WStringView text) {
    WString out(text);
    for (auto& c : out)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return out;
}

bool EqualsIgnoringAsciiCase(WStringView a, WStringView b) { return ToLowerAscii(a) == ToLowerAscii(b); }

std::int32_t WToI(WStringView text) {
    std::size_t i = 0;
    while (i < text.size() && IsCWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit) value = limit;
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value >= limit ? limit - 1 : value);
}

WString ReplaceAll(WStringView text, WStringView what, WStringView with) {
    if (what.empty()) return WString(text);
    WString out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(what, from)) != WStringView::npos; from = at + what.size()) {
        out.append(text.substr(from, at - from));
        out.append(with);
    }
    out.append(text.substr(from));
    return out;
}

bool Contains(WStringView text, WStringView what) { return text.find(what) != WStringView::npos; }

WString WidenAscii(std::string_view ascii) { return WString(ascii.begin(), ascii.end()); }

WString Utf8ToUtf16(std::string_view utf8) {
    WString out;
    out.reserve(utf8.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char lead = byte(i);
        std::uint32_t cp;
        std::size_t length;
        if (lead < 0x80) {
            cp = lead;
            length = 1;
        } else if ((lead & 0xE0) == 0xC0) {
            cp = lead & 0x1F;
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            cp = lead & 0x0F;
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            cp = lead & 0x07;
            length = 4;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool valid = i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
        i += length;
    }
    return out;
}

std::string Utf16ToUtf8(WStringView utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        std::uint32_t cp = static_cast<std::uint16_t>(utf16[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size()) {
            std::uint32_t low = static_cast<std::uint16_t>(utf16[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // a lone surrogate
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

WString Utf16LeBytesToString(const std::uint8_t* bytes, std::size_t size) {
    WString out(size / 2, L'\0');
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

std::string StringToUtf16LeBytes(WStringView text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (wchar_t c : text) {
        const auto unit = static_cast<std::uint16_t>(static_cast<std::uint32_t>(c));
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

std::optional<WString> RegistryStringWithin(const std::vector<std::uint8_t>& data, std::size_t bufferBytes) {
    std::size_t size = std::min(data.size(), bufferBytes);
    WString text = Utf16LeBytesToString(data.data(), size);
    std::size_t end = text.find(L'\0');
    if (end != WString::npos) return text.substr(0, end);
    // No terminator in the data: it is complete only when the buffer still
    // has room for one after it.
    if (data.size() + sizeof(std::uint16_t) > bufferBytes) return std::nullopt;
    return text;
}

}  // namespace zq
