#include "checks/driver_detection.h"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// A wider search where the processor has AVX2, chosen when the program
// runs. (AVX-512 measured slower here: the text is in the cache and the
// loads, not the compares, set the pace.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define ZQ_SEARCH_WIDE 1
#include <immintrin.h>
#endif

namespace zq {

namespace {
const wchar_t kMagicKeywordsSection[] = L"CPE.MagicKeywords";

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

std::uint16_t UnitAt(const std::uint8_t* bytes, std::size_t unit) {
    return static_cast<std::uint16_t>(bytes[2 * unit] | (bytes[2 * unit + 1] << 8));
}

// The first NUL code unit in units [from, to), or `to` when there is none.
std::size_t FindNulUnit(const std::uint8_t* bytes, std::size_t from, std::size_t to) {
    std::size_t at = from;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; at + 8 <= to; at += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * at));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, zero));
        if (mask != 0) return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
#endif
    for (; at < to; ++at)
        if (UnitAt(bytes, at) == 0) return at;
    return to;
}

#if defined(ZQ_SEARCH_WIDE)
// Where the sixteen starts from `at` have the needle's first and last units:
// two bits per start.
__attribute__((target("avx2"))) inline __m256i CandidatesAvx2(const std::uint8_t* bytes, std::size_t at,
                                                              std::size_t length, __m256i firsts, __m256i lasts) {
    const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 2 * at));
    const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 2 * (at + length - 1)));
    return _mm256_and_si256(_mm256_cmpeq_epi16(starts, firsts), _mm256_cmpeq_epi16(ends, lasts));
}

// The first candidate of `mask` (starts from `at`) where the whole needle is.
inline std::size_t FirstMatchOf(unsigned mask, const std::uint8_t* bytes, std::size_t at, const std::string& needle) {
    while (mask != 0) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
        const std::size_t start = at + bit / 2;
        if (std::memcmp(bytes + 2 * start, needle.data(), needle.size()) == 0) return start;
        mask &= ~(3u << bit);
    }
    return kNotFound;
}

// Sixteen starts at a time from `at` while the sixteen last units are in the
// text, thirty-two per round while there is room for them; returns the
// match, or kNotFound with `at` where the caller goes on.
__attribute__((target("avx2"))) std::size_t FindUnitsAvx2(const std::uint8_t* bytes, std::size_t& at,
                                                          std::size_t lastStart, const std::string& needle,
                                                          std::uint16_t first, std::uint16_t last) {
    const std::size_t length = needle.size() / 2;
    const __m256i firsts = _mm256_set1_epi16(static_cast<short>(first));
    const __m256i lasts = _mm256_set1_epi16(static_cast<short>(last));
    // Near misses are rare, so one test covers both halves of a round.
    for (; at + 32 <= lastStart + 1; at += 32) {
        const __m256i low = CandidatesAvx2(bytes, at, length, firsts, lasts);
        const __m256i high = CandidatesAvx2(bytes, at + 16, length, firsts, lasts);
        if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high))) continue;
        std::size_t found = FirstMatchOf(static_cast<unsigned>(_mm256_movemask_epi8(low)), bytes, at, needle);
        if (found == kNotFound)
            found = FirstMatchOf(static_cast<unsigned>(_mm256_movemask_epi8(high)), bytes, at + 16, needle);
        if (found != kNotFound) return found;
    }
    for (; at + 16 <= lastStart + 1; at += 16) {
        const __m256i candidates = CandidatesAvx2(bytes, at, length, firsts, lasts);
        const std::size_t found =
            FirstMatchOf(static_cast<unsigned>(_mm256_movemask_epi8(candidates)), bytes, at, needle);
        if (found != kNotFound) return found;
    }
    return kNotFound;
}
#endif

// The first unit index at which `needle` (UTF-16LE bytes, at least one
// unit) occurs in units [0, units) of `bytes`, NULs included; kNotFound
// when it does not. Candidates are the places where the needle's first and
// last units both match; only those are compared in full.
std::size_t FindUnits(const std::uint8_t* bytes, std::size_t units, const std::string& needle) {
    const std::size_t length = needle.size() / 2;
    if (length > units) return kNotFound;
    const std::size_t lastStart = units - length;  // the last place a match can start
    const std::uint16_t first = static_cast<std::uint16_t>(static_cast<std::uint8_t>(needle[0]) |
                                                           (static_cast<std::uint8_t>(needle[1]) << 8));
    const std::uint16_t last = static_cast<std::uint16_t>(static_cast<std::uint8_t>(needle[2 * length - 2]) |
                                                          (static_cast<std::uint8_t>(needle[2 * length - 1]) << 8));
    std::size_t at = 0;
#if defined(ZQ_SEARCH_WIDE)
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx2) {
        const std::size_t found = FindUnitsAvx2(bytes, at, lastStart, needle, first, last);
        if (found != kNotFound) return found;
    }
#endif
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi16(static_cast<short>(first));
    const __m128i lasts = _mm_set1_epi16(static_cast<short>(last));
    // Eight starts at a time, while the eight last units are in the text too.
    for (; at + 8 <= lastStart + 1; at += 8) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * at));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * (at + length - 1)));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(starts, firsts), _mm_cmpeq_epi16(ends, lasts))));
        while (mask != 0) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
            const std::size_t start = at + bit / 2;
            if (std::memcmp(bytes + 2 * start, needle.data(), needle.size()) == 0) return start;
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; at <= lastStart; ++at) {
        if (UnitAt(bytes, at) != first || UnitAt(bytes, at + length - 1) != last) continue;
        if (std::memcmp(bytes + 2 * at, needle.data(), needle.size()) == 0) return at;
    }
    return kNotFound;
}

// The keyword as the file would hold it: UTF-16LE bytes. Each character
// counts as its 16-bit code unit.
std::string KeywordBytes(const WString& keyword) {
    std::string bytes;
    bytes.reserve(2 * keyword.size());
    for (wchar_t c : keyword) {
        const auto unit = static_cast<std::uint16_t>(c);
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// A keyword as the search takes it, made once for all the files.
struct Needle {
    std::string bytes;      // UTF-16LE; empty for an empty keyword
    bool holdsNul = false;  // such a keyword never lies before the text's end
};

std::vector<Needle> NeedlesOf(const std::vector<WString>& keywords) {
    std::vector<Needle> needles;
    needles.reserve(keywords.size());
    for (const WString& keyword : keywords) {
        Needle needle{KeywordBytes(keyword)};
        needle.holdsNul = FindNulUnit(reinterpret_cast<const std::uint8_t*>(needle.bytes.data()), 0,
                                      keyword.size()) < keyword.size();
        needles.push_back(std::move(needle));
    }
    return needles;
}

// The text ends at its first NUL, but most files have none, so the NUL is
// looked for only when a needle has been found, and only before the end of
// that match: the first occurrence of a needle is in the text exactly when
// no NUL comes before its end, and if it is not, no later one is either.
int FindFirstNeedle(const std::uint8_t* bytes, std::size_t size, const std::vector<Needle>& needles) {
    const std::size_t units = size / 2;
    std::size_t checkedUnits = 0;  // units [0, checkedUnits) hold no NUL
    std::size_t firstNul = kNotFound;
    for (std::size_t k = 0; k < needles.size(); ++k) {
        const Needle& needle = needles[k];
        if (needle.bytes.empty()) return static_cast<int>(k);
        if (needle.holdsNul) continue;
        const std::size_t at = FindUnits(bytes, units, needle.bytes);
        if (at == kNotFound) continue;
        const std::size_t end = at + needle.bytes.size() / 2;
        if (firstNul == kNotFound && checkedUnits < end) {
            const std::size_t nul = FindNulUnit(bytes, checkedUnits, end);
            if (nul < end) firstNul = nul;
            else checkedUnits = end;
        }
        if (firstNul == kNotFound || end <= firstNul) return static_cast<int>(k);
    }
    return -1;
}

// Searches one file with `buffer` for its bytes (the buffer only grows: the
// file's bytes are at its front); `needles` are the magic keywords'.
bool SearchInfFileInto(LauncherProcess& process, const WString& path, const std::vector<Needle>& needles,
                       std::vector<std::uint8_t>& buffer) {
    // Opened without sharing: a file that another process holds open does
    // not match.
    std::size_t size = 0;
    if (!process.platform.files.ReadWholeFileUnshared(path, buffer, size)) return false;
    CLogFile& log = process.g_logFile;
    log.LogMessage(LOG_MEDIUM, L"** Searching %s", path);
    const std::vector<WString>& keywords = process.theApp.MagicKeywords;
    int found = FindFirstNeedle(buffer.data(), size, needles);
    if (found < 0) return false;
    log.LogMessage(LOG_MEDIUM, L"** Magic key word %s found in %s", keywords[found], path);
    return true;
}

}  // namespace

int FindFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords) {
    return FindFirstNeedle(bytes, size, NeedlesOf(keywords));
}

bool EnumMagicKeywords(LauncherProcess& process) {
    CzqmerlesetupApp& app = process.theApp;
    CLogFile& log = process.g_logFile;
    app.MagicKeywordCount = 0;
    const int count = process.g_iniFile.GetNoOfKeys(kMagicKeywordsSection);
    app.MagicKeywordCount = count;
    app.MagicKeywords.assign(static_cast<std::size_t>(count), WString());
    log.LogMessage(LOG_MEDIUM, L"========Enumerating Magic Keywords========");
    for (int i = 1; i <= count; ++i) {
        process.g_iniFile.ReadStrValue(kMagicKeywordsSection, Format(L"%d", i), app.MagicKeywords[i - 1]);
        // The keyword itself is the whole line: a "%" in it is no directive.
        log.LogMessage(LOG_MEDIUM, L"%s", app.MagicKeywords[i - 1]);
    }
    log.LogMessage(LOG_MEDIUM, L"==========================================");
    return true;
}

bool FindInstalledDriver(LauncherProcess& process) {
    const WString infFolder = process.platform.environment.WindowsDirectory() + L"\\inf\\";
    const std::vector<WString> entries = process.platform.files.ListMatching(infFolder + L"oem*.inf");
    if (entries.empty()) return false;
    // One buffer serves every file of the listing: each read replaces the
    // previous file's bytes, so one file is in memory at a time, without an
    // allocation per file; it grows to the largest file and is never cut,
    // so it is filled with zeros only when a file is larger than any before.
    // It is released when the search ends. So is the path, which keeps the
    // folder and takes each name in turn.
    std::vector<std::uint8_t> buffer;
    const std::vector<Needle> needles = NeedlesOf(process.theApp.MagicKeywords);
    WString path = infFolder;
    for (const WString& name : entries) {
        path.resize(infFolder.size());
        path += name;
        if (SearchInfFileInto(process, path, needles, buffer)) return true;
    }
    process.g_logFile.LogMessage(LOG_MEDIUM, L"Drivers not found");
    return false;
}

bool SearchInfFile(LauncherProcess& process, const WString& path) {
    std::vector<std::uint8_t> buffer;
    return SearchInfFileInto(process, path, NeedlesOf(process.theApp.MagicKeywords), buffer);
}

}  // namespace zq
