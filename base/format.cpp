#include "base/format.h"

#include <algorithm>
#include <vector>

namespace zq {
namespace {

// A width or precision larger than any message can show is taken as this:
// formatting never fails, and never asks for gigabytes of padding.
constexpr std::size_t kMaxFieldWidth = 4096;

std::size_t AppendDigit(std::size_t number, wchar_t digit) {
    return std::min<std::size_t>(number * 10 + (digit - L'0'), kMaxFieldWidth);
}

struct Directive {
    bool leftJustify = false;
    bool zeroPad = false;
    std::size_t width = 0;
    bool hasPrecision = false;
    std::size_t precision = 0;
    // The size of the argument in bytes, as the length modifier gives it in
    // Microsoft's C library: none and "l" are 4 (long is 32-bit on Windows),
    // "ll" 8, "h" 2, "hh" 1.
    int argumentBytes = 4;
    wchar_t conversion = 0;
};

// The argument as the directive's size and signedness take it from the
// stack on Windows: a 32-bit value for "%ld" whatever type the caller had,
// so an unsigned 4294967246 prints as -50 under "%d" and a -50 as
// 4294967246 under "%u".
std::uint64_t Unsigned(std::int64_t value, int bytes) {
    const std::uint64_t bits = static_cast<std::uint64_t>(value);
    return bytes >= 8 ? bits : bits & ((std::uint64_t{1} << (8 * bytes)) - 1);
}

std::int64_t Signed(std::int64_t value, int bytes) {
    switch (bytes) {
        case 1: return static_cast<std::int8_t>(value);
        case 2: return static_cast<std::int16_t>(value);
        case 4: return static_cast<std::int32_t>(value);
        default: return value;
    }
}

// The digits of the magnitude, without a sign (also for the smallest value).
std::wstring ToDecimal(std::uint64_t magnitude) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return digits;
}

std::wstring ToHex(std::uint64_t value, bool upper) {
    const wchar_t* alphabet = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), alphabet[value % 16]);
        value /= 16;
    } while (value != 0);
    return digits;
}

void Pad(std::wstring& out, const Directive& directive, const std::wstring& sign, const std::wstring& body) {
    std::size_t length = sign.size() + body.size();
    std::size_t fill = directive.width > length ? directive.width - length : 0;
    if (directive.leftJustify) {
        out += sign + body + std::wstring(fill, L' ');
    } else if (directive.zeroPad) {
        out += sign + std::wstring(fill, L'0') + body;
    } else {
        out += std::wstring(fill, L' ') + sign + body;
    }
}

// Renders one conversion; false when the argument does not fit it.
bool Render(std::wstring& out, const Directive& directive, const FormatArg& arg) {
    switch (directive.conversion) {
        case L's': {
            if (!arg.IsText()) return false;
            std::wstring_view text = arg.Text();
            if (directive.hasPrecision && text.size() > directive.precision) text = text.substr(0, directive.precision);
            Directive textDirective = directive;
            textDirective.zeroPad = false;
            Pad(out, textDirective, L"", std::wstring(text));
            return true;
        }
        case L'c': {
            if (arg.IsText()) return false;
            Pad(out, directive, L"", std::wstring(1, static_cast<wchar_t>(arg.Number())));
            return true;
        }
        case L'd':
        case L'i':
        case L'u':
        case L'x':
        case L'X': {
            if (arg.IsText()) return false;
            const std::int64_t value = arg.Number();
            std::wstring sign, body;
            if (directive.conversion == L'x' || directive.conversion == L'X') {
                body = ToHex(Unsigned(value, directive.argumentBytes), directive.conversion == L'X');
            } else if (directive.conversion == L'u') {
                body = ToDecimal(Unsigned(value, directive.argumentBytes));
            } else {
                const std::int64_t number = Signed(value, directive.argumentBytes);
                if (number < 0) sign = L"-";
                body =
                    ToDecimal(number < 0 ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number));
            }
            if (directive.hasPrecision && body.size() < directive.precision)
                body.insert(0, directive.precision - body.size(), L'0');
            Pad(out, directive, sign, body);
            return true;
        }
        default: return false;
    }
}

}  // namespace

std::wstring FormatWith(std::wstring_view format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        wchar_t c = format[i];
        if (c != L'%') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out.push_back(L'%');
            i += 2;
            continue;
        }
        // Parse %[flags][width][.precision][length]conversion.
        std::size_t start = i++;
        Directive directive;
        for (; i < format.size(); ++i) {
            if (format[i] == L'-') directive.leftJustify = true;
            else if (format[i] == L'0') directive.zeroPad = true;
            else if (format[i] != L'+' && format[i] != L' ' && format[i] != L'#') break;
        }
        for (; i < format.size() && format[i] >= L'0' && format[i] <= L'9'; ++i)
            directive.width = AppendDigit(directive.width, format[i]);
        if (i < format.size() && format[i] == L'.') {
            directive.hasPrecision = true;
            for (++i; i < format.size() && format[i] >= L'0' && format[i] <= L'9'; ++i)
                directive.precision = AppendDigit(directive.precision, format[i]);
        }
        int longs = 0, shorts = 0;
        for (; i < format.size() && (format[i] == L'l' || format[i] == L'h'); ++i) {
            ++(format[i] == L'l' ? longs : shorts);
        }
        if (longs >= 2) directive.argumentBytes = 8;
        else if (shorts >= 2) directive.argumentBytes = 1;
        else if (shorts == 1) directive.argumentBytes = 2;
        if (i < format.size()) directive.conversion = format[i++];

        bool rendered = next != args.end() && Render(out, directive, *next);
        if (rendered) ++next;
        else out.append(format.substr(start, i - start));
    }
    return out;
}

}  // namespace zq
