// The log's text: FormatWith on any format and arguments, the time stamp,
// and EncodeLogLine's bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "base/format.h"
#include "fuzz/fuzz_support.h"
#include "log/log_file.h"

namespace {

using zq::WString;
using zq::fuzz::Require;

bool AllUtf16Units(const WString& text) {
    for (wchar_t c : text)
        if (static_cast<unsigned long>(c) > 0xFFFF) return false;
    return true;
}

// Integer conversions with the flags '-' and '0', a width and a precision
// read as the C library reads them. Precision and '0' together, and a
// precision of 0, are where the C library's rules have exceptions that the
// launcher's formats never meet; they are not compared.
void CheckIntegerConversion(FuzzedDataProvider& input) {
    const char conversions[] = {'d', 'i', 'u', 'x', 'X'};
    const char conversion = conversions[input.ConsumeIntegralInRange<int>(0, 4)];
    const bool left = input.ConsumeBool();
    const bool zero = input.ConsumeBool();
    const int width = input.ConsumeIntegralInRange<int>(-1, 40);
    const int precision = zero ? -1 : input.ConsumeIntegralInRange<int>(-1, 20);
    const std::int32_t value = input.ConsumeIntegral<std::int32_t>();
    std::string directive = "%";
    if (left) directive += '-';
    if (zero) directive += '0';
    if (width >= 0) directive += std::to_string(width);
    if (precision >= 1) directive += "." + std::to_string(precision);
    directive += conversion;

    char expected[128];
    if (conversion == 'd' || conversion == 'i') std::snprintf(expected, sizeof expected, directive.c_str(), value);
    else std::snprintf(expected, sizeof expected, directive.c_str(), static_cast<unsigned>(value));
    const WString format = zq::WidenAscii(directive);
    Require(zq::Format(format, value) == zq::WidenAscii(expected), "integer conversions read as printf reads them");
}

std::string ReferenceLogLine(const WString& timeStamp, const WString& message) {
    std::string bytes;
    const WString text = timeStamp + message.substr(0, message.find(L'\0')) + L"\n";
    for (wchar_t c : text) {
        if (c == L'\n') bytes += "\r\n";
        else bytes += static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?';
    }
    return bytes;
}

void CheckLogLine(const WString& timeStamp, const WString& message) {
    const std::string line = zq::EncodeLogLine(timeStamp, message);
    Require(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0, "a line ends in CR LF");
    for (std::size_t i = 0; i < line.size(); ++i) {
        Require(line[i] != '\0', "a line holds no NUL byte");
        if (line[i] == '\n') Require(i > 0 && line[i - 1] == '\r', "every line feed is written as CR LF");
    }
    Require(line == ReferenceLogLine(timeStamp, message), "the bytes are the characters, '?' beyond U+00FF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    zq::LocalTime time;
    time.month = input.ConsumeIntegralInRange<int>(1, 12);
    time.day = input.ConsumeIntegralInRange<int>(1, 31);
    time.year = input.ConsumeIntegralInRange<int>(1601, 9999);
    time.hour = input.ConsumeIntegralInRange<int>(0, 23);
    time.minute = input.ConsumeIntegralInRange<int>(0, 59);
    time.second = input.ConsumeIntegralInRange<int>(0, 59);
    const WString timeStamp = zq::LogTimeStamp(time);
    Require(timeStamp.size() == 21 && timeStamp.front() == L'[' && timeStamp.back() == L']',
            "a time stamp is [MM/DD/YYYY HH:MM:SS]");

    CheckIntegerConversion(input);

    // Any format with up to four arguments, text or numbers of any size.
    const WString format = zq::fuzz::ConsumeText(input, 80);
    std::vector<WString> texts;
    std::vector<std::int64_t> numbers;
    std::vector<bool> isText;
    for (int i = input.ConsumeIntegralInRange<int>(0, 4); i > 0; --i) {
        isText.push_back(input.ConsumeBool());
        if (isText.back()) texts.push_back(zq::fuzz::ConsumeText(input, 30));
        else numbers.push_back(input.ConsumeIntegral<std::int64_t>());
    }
    {
        std::vector<zq::FormatArg> args;
        std::size_t t = 0, n = 0;
        for (bool text : isText) args.push_back(text ? zq::FormatArg(texts[t++]) : zq::FormatArg(numbers[n++]));
        WString message;
        switch (args.size()) {
            case 0: message = zq::FormatWith(format, {}); break;
            case 1: message = zq::FormatWith(format, {args[0]}); break;
            case 2: message = zq::FormatWith(format, {args[0], args[1]}); break;
            case 3: message = zq::FormatWith(format, {args[0], args[1], args[2]}); break;
            default: message = zq::FormatWith(format, {args[0], args[1], args[2], args[3]}); break;
        }
        if (format.find(L'%') == WString::npos) Require(message == format, "a format without % is the text itself");
        // "%c" of a number beyond U+FFFF is no UTF-16 unit; the launcher has no such call.
        if (AllUtf16Units(message)) CheckLogLine(timeStamp, message);
    }
    for (const WString& text : texts) Require(zq::Format(L"%s", text) == text, "%s is the text itself");

    // Raw code units as the message: NULs, lone CRs and LFs, units above U+00FF.
    CheckLogLine(timeStamp, zq::fuzz::ConsumeUnits(input, 200));
    return 0;
}
