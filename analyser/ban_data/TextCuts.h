// Column arithmetic on 8-bit text, 1-based like the ban file's columns. Cutting past the end of a
// text yields what exists, possibly nothing; a test past the end fails. Inline: the parser calls
// these a few dozen times per line.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace TextCuts {

inline bool InText(std::string_view text, int column) {
    return column >= 1 && static_cast<std::size_t>(column) <= text.size();
}

// Up to length characters from column start, into out (reusing its storage).
inline void CutInto(std::string& out, std::string_view text, int start, int length) {
    if (!InText(text, start) || length <= 0) {
        out.clear();
        return;
    }
    const std::size_t from = static_cast<std::size_t>(start - 1);
    // clear + append rather than assign: the same effect, without g++ 12's false -Wrestrict at -O3.
    out.clear();
    out.append(text.data() + from, std::min(text.size() - from, static_cast<std::size_t>(length)));
}

inline std::string Cut(std::string_view text, int start, int length) {
    std::string out;
    CutInto(out, text, start, length);
    return out;
}

inline bool CharAt(std::string_view text, int column, char ch) {
    return InText(text, column) && text[static_cast<std::size_t>(column - 1)] == ch;
}

inline bool DigitAt(std::string_view text, int column) {
    if (!InText(text, column)) {
        return false;
    }
    const char ch = text[static_cast<std::size_t>(column - 1)];
    return ch >= '0' && ch <= '9';
}

inline bool TextAt(std::string_view text, int column, std::string_view needle) {
    if (column < 1 || static_cast<std::size_t>(column - 1) + needle.size() > text.size()) {
        return false;
    }
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (text[static_cast<std::size_t>(column - 1) + k] != needle[k]) {
            return false;
        }
    }
    return true;
}

std::string TrimSpaces(std::string_view text);
std::string TrimLeadingSpaces(std::string_view text);

} // namespace TextCuts
