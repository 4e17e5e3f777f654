// The core keeps text as Windows-1252 bytes; the windows show Unicode.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace Text1252 {

QString decode(const std::string& bytes);

// Nothing when a character has no Windows-1252 form (such a query can match nothing).
std::optional<std::string> encode(const QString& text);

} // namespace Text1252
