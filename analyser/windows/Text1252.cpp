#include "Text1252.h"

#include "Cp1252.h"

namespace Text1252 {

QString decode(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char byte : bytes) {
        text.append(QChar(Cp1252::ToUnicode(byte)));
    }
    return text;
}

QStringList decodeAll(const std::vector<std::string>& lines) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        texts.append(decode(line));
    }
    return texts;
}

std::optional<std::string> encode(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        auto byte = Cp1252::FromUnicode(ch.unicode());
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(*byte));
    }
    return bytes;
}

} // namespace Text1252
