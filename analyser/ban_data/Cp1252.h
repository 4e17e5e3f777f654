// Windows-1252, the code page of the ban file and of Config.ini, to and from Unicode.
#pragma once

#include <optional>
#include <string>

namespace Cp1252 {

// Every byte has a character; the five bytes Windows-1252 leaves undefined map to the C1 controls,
// as the Windows converter does, so decoding and encoding round-trip.
char16_t ToUnicode(unsigned char byte);

// The byte for a character, or nothing when Windows-1252 has no form for it.
std::optional<unsigned char> FromUnicode(char16_t ch);

} // namespace Cp1252
