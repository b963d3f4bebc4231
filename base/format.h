// A type-safe printf for WString.
//
// The launcher's messages are printf formats ("Read Section:[%s] Key=%s").
// glibc and Microsoft's C library disagree on what "%s" takes in a wide
// format, so the formats are interpreted here, on every build alike:
//   %s       a string (WString or wide literal)
//   %d %i %ld %u     decimal integers
//   %x %X    hexadecimal
// An integer is taken at the size and signedness its directive gives on
// Windows, where long is 32-bit: "%ld" and "%d" print a 32-bit signed
// value, "%u" and "%x" a 32-bit unsigned one ("%lld" 64, "%hd" 16 bits),
// whatever integer type the caller passed and on every build alike.
//   %c       one character
//   %%       a percent sign
// with the flags '-' (left-justify) and '0' (zero padding), a width and a
// precision ("%03d", "%04x", "%.3s"). A conversion it does not know, or one
// without an argument, is copied literally: formatting never fails.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace zq {

class FormatArg {
public:
    FormatArg(const std::wstring& text) : isText_(true), text_(text) {}
    FormatArg(std::wstring_view text) : isText_(true), text_(text) {}
    FormatArg(const wchar_t* text) : isText_(true), text_(text ? text : L"") {}
    template <class Integer, class = std::enable_if_t<std::is_integral_v<Integer>>>
    FormatArg(Integer value) : number_(static_cast<std::int64_t>(value)) {}

    bool IsText() const { return isText_; }
    std::wstring_view Text() const { return text_; }
    std::int64_t Number() const { return number_; }

private:
    bool isText_ = false;
    std::wstring_view text_;
    std::int64_t number_ = 0;
};

std::wstring FormatWith(std::wstring_view format, std::initializer_list<FormatArg> args);

template <class... Args>
std::wstring Format(std::wstring_view format, const Args&... args) {
    return FormatWith(format, {FormatArg(args)...});
}

}  // namespace zq
