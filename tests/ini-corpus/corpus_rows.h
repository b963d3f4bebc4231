// The rows of expected.tsv, for the tests that read this folder: the
// simulated reader's on Linux and the real GetPrivateProfileStringW's under
// Wine. The format is described at the top of expected.tsv.
#pragma once

#include <charconv>
#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"

namespace zq::ini_corpus {

struct CorpusRow {
    int lineNumber = 0;
    std::string file;
    WString section;
    WString key;
    WString defaultValue;
    std::size_t bufferChars = 0;
    WString expected;
    std::string diverges;  // empty: Wine answers as Windows does

    bool DivergesOnWine() const { return !diverges.empty(); }
};

// UTF-8 text with the escapes \\ \t \n \r \v \0 \s and \uXXXX (one UTF-16
// code unit, so that a lone surrogate or a NUL can be written too).
inline WString UnescapeField(std::string_view field) {
    WString out;
    std::string plain;
    const auto flushPlain = [&] {
        out += Utf8ToUtf16(plain);
        plain.clear();
    };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            plain.push_back(field[i]);
            continue;
        }
        flushPlain();
        if (++i == field.size()) throw std::runtime_error("a lone backslash ends the field");
        switch (field[i]) {
            case '\\': out.push_back(L'\\'); break;
            case 't': out.push_back(L'\t'); break;
            case 'n': out.push_back(L'\n'); break;
            case 'r': out.push_back(L'\r'); break;
            case 'v': out.push_back(L'\v'); break;
            case '0': out.push_back(L'\0'); break;
            case 's': out.push_back(L' '); break;
            case 'u': {
                const std::string_view hex = field.substr(i + 1, 4);
                unsigned unit = 0;
                if (hex.size() != 4 || std::from_chars(hex.data(), hex.data() + 4, unit, 16).ptr != hex.data() + 4)
                    throw std::runtime_error("\\u needs four hexadecimal digits");
                out.push_back(static_cast<wchar_t>(unit));
                i += 4;
                break;
            }
            default: throw std::runtime_error(std::string("unknown escape \\") + field[i]);
        }
    }
    flushPlain();
    return out;
}

inline std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// Every row of the expectations file's text; throws std::runtime_error,
// naming the line, on a malformed one.
inline std::vector<CorpusRow> ParseCorpusRows(std::string_view tsvText) {
    std::vector<CorpusRow> rows;
    bool headerSeen = false;
    int lineNumber = 0;
    for (std::string_view line : SplitAt(tsvText, '\n')) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (!headerSeen) {
            headerSeen = true;  // the column names
            continue;
        }
        const auto where = "expected.tsv line " + std::to_string(lineNumber) + ": ";
        const auto fields = SplitAt(line, '\t');
        if (fields.size() != 7) throw std::runtime_error(where + "7 fields expected");
        try {
            CorpusRow row;
            row.lineNumber = lineNumber;
            row.file = std::string(fields[0]);
            row.section = UnescapeField(fields[1]);
            row.key = UnescapeField(fields[2]);
            row.defaultValue = UnescapeField(fields[3]);
            row.bufferChars = std::stoul(std::string(fields[4]));
            row.expected = UnescapeField(fields[5]);
            row.diverges = std::string(fields[6]);
            rows.push_back(std::move(row));
        } catch (const std::exception& error) {
            throw std::runtime_error(where + error.what());
        }
    }
    return rows;
}

// A test name for the row: its line and file, in the letters GoogleTest
// accepts ("L42_quotes_ini").
inline std::string RowTestName(const testing::TestParamInfo<CorpusRow>& info) {
    std::string name = "L" + std::to_string(info.param.lineNumber) + "_";
    for (char c : info.param.file)
        name.push_back((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_');
    return name;
}

// GoogleTest prints a row parameter, in a failure's message, with this
// instead of its bytes.
inline void PrintTo(const CorpusRow& row, std::ostream* out) {
    *out << "expected.tsv line " << row.lineNumber << ": " << row.file << " [" << Utf16ToUtf8(row.section) << "] "
         << Utf16ToUtf8(row.key) << ", bufferChars " << row.bufferChars;
}

}  // namespace zq::ini_corpus
