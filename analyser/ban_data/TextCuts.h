// Column arithmetic on 8-bit text, 1-based like the ban file's columns. Cutting past the end of a
// text yields what exists, possibly nothing; a test past the end fails.
#pragma once

#include <string>
#include <string_view>

namespace TextCuts {

// Up to length characters from column start.
std::string Cut(std::string_view text, int start, int length);

// Everything from column start on.
std::string CutFrom(std::string_view text, int start);

bool CharAt(std::string_view text, int column, char ch);
bool DigitAt(std::string_view text, int column);
bool TextAt(std::string_view text, int column, std::string_view needle);

std::string TrimSpaces(std::string_view text);
std::string TrimLeadingSpaces(std::string_view text);

} // namespace TextCuts
