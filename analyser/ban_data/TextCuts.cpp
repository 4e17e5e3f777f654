#include "TextCuts.h"

namespace TextCuts {

std::string Cut(std::string_view text, int start, int length) {
    if (start < 1 || length <= 0 || static_cast<std::size_t>(start) > text.size()) {
        return {};
    }
    return std::string(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

std::string CutFrom(std::string_view text, int start) {
    if (start < 1 || static_cast<std::size_t>(start) > text.size()) {
        return {};
    }
    return std::string(text.substr(static_cast<std::size_t>(start - 1)));
}

bool CharAt(std::string_view text, int column, char ch) {
    return column >= 1 && static_cast<std::size_t>(column) <= text.size() && text[column - 1] == ch;
}

bool DigitAt(std::string_view text, int column) {
    if (column < 1 || static_cast<std::size_t>(column) > text.size()) {
        return false;
    }
    const char ch = text[column - 1];
    return ch >= '0' && ch <= '9';
}

bool TextAt(std::string_view text, int column, std::string_view needle) {
    return column >= 1 && static_cast<std::size_t>(column - 1) + needle.size() <= text.size() &&
           text.substr(static_cast<std::size_t>(column - 1), needle.size()) == needle;
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string TrimLeadingSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

} // namespace TextCuts
