// Text is kept as Windows-1252 bytes (the code page of the ban file and of Config.ini); the windows show Unicode.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace Text1252 {

QString decode(const std::string& bytes);

// Every text decoded, in order: what a list box shows of a procedure's lines.
QStringList decodeAll(const std::vector<std::string>& lines);

// Nothing when a character has no Windows-1252 form (such a query can match nothing).
std::optional<std::string> encode(const QString& text);

} // namespace Text1252
