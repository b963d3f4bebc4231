#include "checks/driver_detection.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
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
    const std::uint16_t first =
        static_cast<std::uint16_t>(static_cast<std::uint8_t>(needle[0]) | (static_cast<std::uint8_t>(needle[1]) << 8));
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

// A keyword as the search takes it, made once for all the files.
struct Needle {
    std::string bytes;      // UTF-16LE; empty for an empty keyword
    bool holdsNul = false;  // such a keyword never lies before the text's end
};

std::vector<Needle> NeedlesOf(const std::vector<WString>& keywords) {
    std::vector<Needle> needles;
    needles.reserve(keywords.size());
    for (const WString& keyword : keywords) {
        // The keyword as the file holds it: each character counts as its 16-bit code unit.
        Needle needle{StringToUtf16LeBytes(keyword)};
        needle.holdsNul =
            FindNulUnit(reinterpret_cast<const std::uint8_t*>(needle.bytes.data()), 0, keyword.size()) < keyword.size();
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

// The search of a text that comes in pieces. Each window is the end of the
// previous one (as many code units as the longest needle has, less one, and
// an odd byte left over) followed by the next piece, so an occurrence that
// crosses a boundary lies whole in the later window. The list order decides,
// not the place in the text: a needle found in one window is the answer
// only until a needle listed before it turns up in a later window, so the
// later windows are searched for the needles before it only.
class PieceSearch {
public:
    explicit PieceSearch(const std::vector<Needle>& needles) : needles_(needles), best_(needles.size()) {
        for (std::size_t k = 0; k < needles.size(); ++k) {
            // An empty keyword occurs at the start of every text.
            if (needles[k].bytes.empty()) {
                best_ = k;
                break;
            }
        }
        for (const Needle& needle : needles) keepUnits_ = std::max(keepUnits_, needle.bytes.size() / 2);
        if (keepUnits_ > 0) --keepUnits_;
    }

    // Bytes of the buffer before the next piece: the end of the last window.
    std::size_t Kept() const { return kept_; }

    // Whether more text could change the answer.
    bool WantsMore() const {
        if (ended_) return false;
        for (std::size_t k = 0; k < best_; ++k) {
            if (!needles_[k].holdsNul) return true;
        }
        return false;
    }

    // Searches the window of the buffer's first Kept() + `got` bytes, then
    // moves its end to the front of the buffer for the next window.
    void Search(std::vector<std::uint8_t>& buffer, std::size_t got) {
        const std::uint8_t* window = buffer.data();
        const std::size_t windowBytes = kept_ + got;
        std::size_t units = windowBytes / 2;
        // The kept units hold no NUL, or the text would have ended there.
        const std::size_t nul = FindNulUnit(window, kept_ / 2, units);
        if (nul < units) {
            units = nul;
            ended_ = true;
        }
        for (std::size_t k = 0; k < best_; ++k) {
            const Needle& needle = needles_[k];
            if (needle.holdsNul) continue;
            if (FindUnits(window, units, needle.bytes) != kNotFound) {
                best_ = k;
                break;
            }
        }
        if (ended_) return;
        const std::size_t keepFrom = 2 * (units - std::min(units, keepUnits_));
        std::memmove(buffer.data(), window + keepFrom, windowBytes - keepFrom);
        kept_ = windowBytes - keepFrom;
    }

    // The index of the first keyword of the list that occurs, or -1.
    int Found() const { return best_ < needles_.size() ? static_cast<int>(best_) : -1; }

private:
    const std::vector<Needle>& needles_;
    std::size_t best_;           // the first needle found so far; needles_.size() when none
    std::size_t keepUnits_ = 0;  // the overlap of two windows
    std::size_t kept_ = 0;
    bool ended_ = false;  // a NUL ended the text
};

// Searches `size` bytes that `readPiece(buffer, at, count)` puts at index
// `at` of the buffer, up to `pieceBytes` at a time (it answers how many it
// put, 0 at the end, or nullopt when it cannot read). `firstPieceRead` is
// called once, after the first read. nullopt when a read fails.
template <class ReadPiece, class FirstPieceRead>
std::optional<int> SearchPieces(const std::vector<Needle>& needles, std::vector<std::uint8_t>& buffer, std::size_t size,
                                std::size_t pieceBytes, ReadPiece readPiece, FirstPieceRead firstPieceRead) {
    pieceBytes = std::max<std::size_t>(pieceBytes, 1);
    PieceSearch search(needles);
    std::size_t left = size;
    bool first = true;
    do {
        const std::optional<std::size_t> got = readPiece(buffer, search.Kept(), std::min(pieceBytes, left));
        if (!got) return std::nullopt;
        if (first) firstPieceRead();
        first = false;
        if (*got == 0) break;
        left -= std::min(*got, left);
        search.Search(buffer, *got);
    } while (left > 0 && search.WantsMore());
    return search.Found();
}

// Searches one file with `buffer` for its bytes (the buffer only grows: the
// file's bytes are at its front); `needles` are the magic keywords'.
bool SearchInfFileInto(LauncherProcess& process, const WString& path, const std::vector<Needle>& needles,
                       std::vector<std::uint8_t>& buffer) {
    // Opened without sharing: a file that another process holds open does
    // not match.
    std::unique_ptr<IReadableFile> file = process.platform.files.OpenUnshared(path);
    if (!file) return false;
    CLogFile& log = process.g_logFile;
    auto logSearching = [&] { log.LogMessage(LOG_MEDIUM, L"** Searching %s", path); };
    const std::size_t size = file->Size();
    int found = -1;
    if (size <= kInfWholeReadLimit) {
        const std::optional<std::size_t> read = file->ReadInto(buffer, 0, size);
        if (!read) return false;
        file.reset();  // the whole file is in memory: closed before the search
        logSearching();
        found = FindFirstNeedle(buffer.data(), *read, needles);
    } else {
        auto readPiece = [&](std::vector<std::uint8_t>& into, std::size_t at, std::size_t count) {
            return file->ReadInto(into, at, count);
        };
        const std::optional<int> result =
            SearchPieces(needles, buffer, size, kInfWholeReadLimit, readPiece, logSearching);
        if (!result) return false;
        found = *result;
    }
    if (found < 0) return false;
    const std::vector<WString>& keywords = process.theApp.MagicKeywords;
    log.LogMessage(LOG_MEDIUM, L"** Magic key word %s found in %s", keywords[found], path);
    process.Report.keyword = keywords[found];
    process.Report.keywordInfFile = path;
    return true;
}

}  // namespace

int FindFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords) {
    return FindFirstNeedle(bytes, size, NeedlesOf(keywords));
}

int FindFirstKeywordInPieces(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords,
                             std::size_t pieceBytes) {
    std::vector<std::uint8_t> buffer;
    std::size_t offset = 0;
    auto readPiece = [&](std::vector<std::uint8_t>& into, std::size_t at, std::size_t count) {
        if (into.size() < at + count) into.resize(at + count);
        count = std::min(count, size - offset);
        if (count > 0) std::memcpy(into.data() + at, bytes + offset, count);
        offset += count;
        return std::optional<std::size_t>(count);
    };
    return *SearchPieces(NeedlesOf(keywords), buffer, size, pieceBytes, readPiece, [] {});
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
