#include "platform/sim/ansi_code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace zq::sim {

namespace {

constexpr unsigned kJapanese = 932;
constexpr unsigned kSingleByte[] = {1250, 1251, 1252, 1253, 1254, 1257};
constexpr char32_t kUndefinedSequence = 0x30FB;  // cp932's default character

// Undefined bytes outside 0x80-0x9F that Windows' tables send to the
// private-use area.
struct PrivateUseByte {
    unsigned codePage;
    unsigned char byte;
    char16_t character;
};
constexpr PrivateUseByte kPrivateUseBytes[] = {
    {1253, 0xAA, 0xF8F9}, {1253, 0xD2, 0xF8FA}, {1253, 0xFF, 0xF8FB}, {1257, 0xA1, 0xF8FC}, {1257, 0xA5, 0xF8FD},
    {932, 0xA0, 0xF8F0},  {932, 0xFD, 0xF8F1},  {932, 0xFE, 0xF8F2},  {932, 0xFF, 0xF8F3},
};

// glibc's converter from the code page to UTF-32LE; glibc knows the defined
// characters of each page, and what it refuses is what Windows leaves undefined.
class Converter {
public:
    explicit Converter(unsigned codePage) {
        const std::string name = codePage == kJapanese ? "CP932" : "CP" + std::to_string(codePage);
        handle_ = iconv_open("UTF-32LE", name.c_str());
        // iconv_open answers (iconv_t)-1 when it cannot convert.
        if (handle_ == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error("iconv cannot convert from " + name);
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The one character that `bytes` make, or nothing.
    std::optional<char32_t> One(std::string_view bytes) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string in(bytes);
        char* inPtr = in.data();
        std::size_t inLeft = in.size();
        std::array<char, 8> out{};
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
            out.size() - outLeft != 4) {
            return std::nullopt;
        }
        char32_t c = 0;
        for (int i = 3; i >= 0; --i) c = (c << 8) | static_cast<unsigned char>(out[static_cast<std::size_t>(i)]);
        return c;
    }

private:
    iconv_t handle_;
};

struct ByteTable {
    std::array<char16_t, 256> character{};
    std::array<bool, 256> undefined{};
    std::array<bool, 256> leadByte{};  // 932 only
};

std::optional<char16_t> PrivateUse(unsigned codePage, unsigned char byte) {
    for (const PrivateUseByte& entry : kPrivateUseBytes) {
        if (entry.codePage == codePage && entry.byte == byte) return entry.character;
    }
    return std::nullopt;
}

bool IsJapaneseLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

ByteTable MakeTable(unsigned codePage, Converter& converter) {
    ByteTable table;
    for (unsigned value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        if (codePage == kJapanese && IsJapaneseLeadByte(byte)) {
            table.leadByte[byte] = true;
            continue;
        }
        const char single = static_cast<char>(byte);
        std::optional<char32_t> c = converter.One(std::string_view(&single, 1));
        if (c && *c <= 0xFFFF) {
            table.character[byte] = static_cast<char16_t>(*c);
        } else {
            table.undefined[byte] = true;
            table.character[byte] = PrivateUse(codePage, byte).value_or(static_cast<char16_t>(byte));
        }
    }
    return table;
}

// One table and converter per code page, made on first use.
struct CodePage {
    explicit CodePage(unsigned number) : converter(number), table(MakeTable(number, converter)) {}
    std::mutex mutex;  // iconv keeps state
    Converter converter;
    ByteTable table;
};

CodePage& CodePageFor(unsigned codePage) {
    static std::mutex mutex;
    static std::map<unsigned, std::unique_ptr<CodePage>> pages;
    std::lock_guard guard(mutex);
    std::unique_ptr<CodePage>& page = pages[codePage];
    if (!page) page = std::make_unique<CodePage>(codePage);
    return *page;
}

}  // namespace

bool IsSupportedAnsiCodePage(unsigned codePage) {
    return codePage == kJapanese ||
           std::find(std::begin(kSingleByte), std::end(kSingleByte), codePage) != std::end(kSingleByte);
}

const char* SupportedAnsiCodePages() { return "1250, 1251, 1252, 1253, 1254, 1257 and 932"; }

AnsiDecoding DecodeAnsi(std::string_view bytes, unsigned codePage) {
    if (!IsSupportedAnsiCodePage(codePage)) throw std::invalid_argument("unsupported ANSI code page");
    CodePage& page = CodePageFor(codePage);
    AnsiDecoding result;
    result.text.reserve(bytes.size());
    auto undefinedAt = [&](std::size_t at) {
        if (!result.firstUndefinedAt) result.firstUndefinedAt = at;
    };
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (!page.table.leadByte[byte]) {
            if (page.table.undefined[byte]) undefinedAt(at);
            result.text.push_back(static_cast<wchar_t>(page.table.character[byte]));
            ++at;
            continue;
        }
        std::optional<char32_t> c;
        if (at + 1 < bytes.size()) {
            std::lock_guard guard(page.mutex);
            c = page.converter.One(bytes.substr(at, 2));
        }
        if (c && *c <= 0xFFFF) {
            result.text.push_back(static_cast<wchar_t>(*c));
            at += 2;
        } else {
            undefinedAt(at);
            result.text.push_back(static_cast<wchar_t>(kUndefinedSequence));
            ++at;
        }
    }
    return result;
}

WString DecodeProfileFileText(std::string_view fileBytes, unsigned codePage) {
    const bool isUtf16Le = fileBytes.size() >= 2 && static_cast<unsigned char>(fileBytes[0]) == 0xFF &&
                           static_cast<unsigned char>(fileBytes[1]) == 0xFE;
    if (isUtf16Le)
        return Utf16LeBytesToString(reinterpret_cast<const std::uint8_t*>(fileBytes.data()) + 2, fileBytes.size() - 2);
    return DecodeAnsi(fileBytes, codePage).text;
}

}  // namespace zq::sim
