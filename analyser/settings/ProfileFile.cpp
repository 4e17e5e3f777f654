#include "ProfileFile.h"

#include <cstddef>
#include <iterator>
#include <vector>

#ifndef _WIN32
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace API {
namespace {

// Ctrl-Z counts as blank: old DOS editors left it at the end of a file.
constexpr std::string_view Blanks = " \t\v\f\x1a";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view NewLine = "\r\n";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the content: its text is [begin, end), its line break [end, next).
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t pos = content.starts_with(Utf8Bom) ? Utf8Bom.size() : 0;
    while (pos < content.size()) {
        const auto end = content.find_first_of(NewLine, pos);
        if (end == std::string_view::npos) {
            lines.push_back({pos, content.size(), content.size()});
            break;
        }
        auto next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') {
            ++next;
        }
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

enum class LineKind { Blank, Header, Entry, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name; // section name of a header, key of an entry
    std::string_view value;
};

ParsedLine ParseLine(std::string_view text) {
    const auto line = Trim(text);
    if (line.empty()) {
        return {LineKind::Blank, {}, {}};
    }
    if (line.front() == '[') {
        const auto close = line.rfind(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::Header, Trim(line.substr(1, close - 1)), {}};
    }
    if (line.front() == ';') {
        return {};
    }
    // A line without "=" is a key with an empty value: it hides a later line of the same key.
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return {LineKind::Entry, line, {}};
    }
    return {LineKind::Entry, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t keyLine = 0;
    std::size_t lastSectionLine = 0; // last non-blank line of the section, its header when it has none
    std::string_view keySpelling;
    std::string_view value;
};

Location Locate(std::string_view content, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
    Location found;
    section = Trim(section);
    key = Trim(key);
    // A name holding a NUL cannot reach the profile functions, and would match a UTF-16 character no byte holds.
    if (section.empty() || key.empty() || section.find('\0') != std::string_view::npos ||
        key.find('\0') != std::string_view::npos) {
        return found;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto parsed = ParseLine(content.substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (parsed.kind == LineKind::Header) {
            if (found.sectionFound) {
                break; // only the first matching section counts
            }
            if (SameName(parsed.name, section)) {
                found.sectionFound = true;
                found.lastSectionLine = i;
            }
            continue;
        }
        if (!found.sectionFound || parsed.kind == LineKind::Blank) {
            continue;
        }
        found.lastSectionLine = i;
        if (parsed.kind == LineKind::Entry && SameName(parsed.name, key)) {
            found.keyFound = true;
            found.keyLine = i;
            found.keySpelling = parsed.name;
            found.value = parsed.value;
            break;
        }
    }
    return found;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(NewLine) != std::string_view::npos;
}

// A value the reader would trim or unquote is written in double quotes, which the reader (and the Windows profile
// functions) take off again, so it reads back whole.
std::string Stored(std::string_view value) {
    const bool blankEnd = !value.empty() && (Blanks.find(value.front()) != std::string_view::npos ||
                                             Blanks.find(value.back()) != std::string_view::npos);
    if (blankEnd || Unquote(value).size() != value.size()) {
        return std::string("\"").append(value).append("\"");
    }
    return std::string(value);
}

} // namespace

namespace {

// A replacement of content [begin, end) by before, the value as stored, and after.
struct Edit {
    std::size_t begin;
    std::size_t end;
    std::string before;
    std::string value;
    std::string after;
};

Edit PlanWrite(std::string_view content, std::string_view section, std::string_view key, std::string_view value) {
    const auto lines = SplitLines(content);
    const auto found = Locate(content, lines, section, key);
    if (found.keyFound) {
        const auto& line = lines[found.keyLine];
        return {line.begin, line.end, std::string(found.keySpelling).append("="), Stored(value), {}};
    }
    const auto entry = std::string(Trim(key)).append("=");
    if (found.sectionFound) {
        const auto& last = lines[found.lastSectionLine];
        // A section that ends the file without a line break gets one first.
        const auto text = (last.next == last.end ? std::string(NewLine) : std::string()) + entry;
        return {last.next, last.next, text, Stored(value), std::string(NewLine)};
    }
    auto text = !lines.empty() && lines.back().next == lines.back().end ? std::string(NewLine) : std::string();
    text.append("[").append(Trim(section)).append("]").append(NewLine).append(entry);
    return {content.size(), content.size(), text, Stored(value), std::string(NewLine)};
}

// In UTF-16 files (with a byte order mark) names are matched one Windows-1252 byte per code unit; values are
// converted to the bytes the program holds paths in.
enum class Encoding { Bytes, Utf16Le, Utf16Be };

Encoding EncodingOf(std::string_view content) {
    if (content.starts_with("\xFF\xFE")) {
        return Encoding::Utf16Le;
    }
    return content.starts_with("\xFE\xFF") ? Encoding::Utf16Be : Encoding::Bytes;
}

// The characters of bytes 0x80 to 0x9F in Windows-1252; its five unused bytes stand for the same code points.
constexpr char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::size_t BomSize = 2;

std::size_t UnitCount(std::string_view content) {
    return (content.size() - BomSize) / 2;
}

std::u16string Units(std::string_view content, Encoding encoding, std::size_t first, std::size_t count) {
    std::u16string units;
    units.reserve(count);
    for (auto i = BomSize + 2 * first; i < BomSize + 2 * (first + count); i += 2) {
        const auto a = static_cast<unsigned char>(content[i]);
        const auto b = static_cast<unsigned char>(content[i + 1]);
        units.push_back(static_cast<char16_t>(encoding == Encoding::Utf16Le ? a | b << 8 : a << 8 | b));
    }
    return units;
}

std::string UnitBytes(std::u16string_view units, Encoding encoding) {
    std::string bytes;
    bytes.reserve(2 * units.size());
    for (const char16_t unit : units) {
        const auto low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes.push_back(encoding == Encoding::Utf16Le ? low : high);
        bytes.push_back(encoding == Encoding::Utf16Le ? high : low);
    }
    return bytes;
}

// The units as Windows-1252 bytes; a unit Windows-1252 cannot hold becomes missing.
std::string To1252(std::u16string_view units, char missing) {
    std::string text;
    text.reserve(units.size());
    for (const char16_t unit : units) {
        char byte = missing;
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            byte = static_cast<char>(unit);
        }
        for (std::size_t high = 0; high < std::size(Cp1252High); ++high) {
            if (Cp1252High[high] == unit) {
                byte = static_cast<char>(0x80 + high);
            }
        }
        text.push_back(byte);
    }
    return text;
}

std::u16string From1252(std::string_view text) {
    std::u16string units;
    units.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        units.push_back(byte >= 0x80 && byte < 0xA0 ? Cp1252High[byte - 0x80] : byte);
    }
    return units;
}

#ifdef _WIN32
// Paths are bytes of the ANSI code page there; the portable code takes it to be Windows-1252, as the profile
// functions do with that code page ("?" for what it cannot hold).
std::string ValueFromUnits(std::u16string_view units) {
    return To1252(units, '?');
}

std::u16string ValueToUnits(std::string_view value) {
    return From1252(value);
}
#else
// Paths are UTF-8 bytes here. A byte that is not part of valid UTF-8 is kept as an unpaired low surrogate
// (U+DC80 to U+DCFF), so that every value reads back as written.
std::u16string ValueToUnits(std::string_view value) {
    std::u16string units;
    for (std::size_t i = 0; i < value.size();) {
        const auto lead = static_cast<unsigned char>(value[i]);
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && i + length <= value.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(value[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are no UTF-8.
        valid = valid && !(length == 3 && code < 0x800) && !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) &&
                !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid) {
            units.push_back(static_cast<char16_t>(0xDC00 | lead));
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 | (code - 0x10000) >> 10));
            units.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return units;
}

std::string ValueFromUnits(std::u16string_view units) {
    std::string value;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (code >= 0xDC80 && code <= 0xDCFF) {
            value.push_back(static_cast<char>(code & 0xFF)); // a byte that was not UTF-8
            continue;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            value.push_back('?');
            continue;
        }
        if (code < 0x80) {
            value.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            value.push_back(static_cast<char>(0xC0 | code >> 6));
        } else if (code < 0x10000) {
            value.push_back(static_cast<char>(0xE0 | code >> 12));
        } else {
            value.push_back(static_cast<char>(0xF0 | code >> 18));
        }
        const int continuation = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
        for (int k = continuation - 1; k >= 0; --k) {
            value.push_back(static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F)));
        }
    }
    return value;
}
#endif

} // namespace

std::string ReadProfileValue(std::string_view content, std::string_view section, std::string_view key) {
    const auto encoding = EncodingOf(content);
    // In a UTF-16 file a character Windows-1252 cannot hold never matches a name (names hold no NUL).
    const auto narrowed =
        encoding == Encoding::Bytes ? std::string() : To1252(Units(content, encoding, 0, UnitCount(content)), '\0');
    const auto view = encoding == Encoding::Bytes ? content : std::string_view(narrowed);
    const auto found = Locate(view, SplitLines(view), section, key);
    auto value = found.keyFound ? std::string(Unquote(found.value)) : std::string();
    if (encoding != Encoding::Bytes && found.keyFound) {
        const auto first = static_cast<std::size_t>(Unquote(found.value).data() - view.data());
        const auto units = Units(content, encoding, first, value.size());
        // The profile functions hand the value over as a C string, which ends at a NUL.
        value = ValueFromUnits(std::u16string_view(units).substr(0, units.find(u'\0')));
    }
    return value.substr(0, value.find('\0'));
}

std::string ProfileEntryProblem(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return "The setting contains a line break.";
    }
    if (section.find('\0') != std::string_view::npos || key.find('\0') != std::string_view::npos) {
        return "The section or key name contains a NUL character.";
    }
    if (Trim(section).empty()) {
        return "The section name is empty.";
    }
    const auto name = Trim(key);
    if (name.empty()) {
        return "The key name is empty.";
    }
    if (name.front() == ';' || name.front() == '[' || name.find('=') != std::string_view::npos) {
        return "The key name starts with \";\" or \"[\" or contains \"=\".";
    }
    return {};
}

std::string ProfileLineValue(std::string_view value) {
    return Stored(value);
}

std::optional<std::string> WriteProfileValue(std::string_view content, std::string_view section, std::string_view key,
                                             std::string_view value) {
    if (!ProfileEntryProblem(section, key, value).empty()) {
        return std::nullopt;
    }
    const auto encoding = EncodingOf(content);
    if (encoding == Encoding::Bytes) {
        const auto edit = PlanWrite(content, section, key, value);
        return std::string(content.substr(0, edit.begin))
            .append(edit.before)
            .append(edit.value)
            .append(edit.after)
            .append(content.substr(edit.end));
    }
    // The edit is planned on the bytes and done on the code units, so every other character stays as it was, even
    // one that Windows-1252 cannot hold (and an odd last byte).
    const auto view = To1252(Units(content, encoding, 0, UnitCount(content)), '\0');
    const auto edit = PlanWrite(view, section, key, value);
    return std::string(content.substr(0, BomSize + 2 * edit.begin))
        .append(UnitBytes(From1252(edit.before), encoding))
        .append(UnitBytes(ValueToUnits(edit.value), encoding))
        .append(UnitBytes(From1252(edit.after), encoding))
        .append(content.substr(BomSize + 2 * edit.end));
}
#ifndef _WIN32
namespace {

WriteOutcome Failure(const std::string& what, int error) {
    return {false, what + ": " + std::strerror(error) + "."};
}

// Reads the whole regular file open at fd; returns 0 or the errno of the failure.
int ReadAll(int fd, std::string& content) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return errno;
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
    char buffer[65536];
    for (;;) {
        const auto count = read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            return 0;
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const auto count = write(fd, data.data(), data.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            return ENOSPC;
        }
        data.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
}

// The file a write must replace: the target of a symbolic link, so the link itself survives.
std::string ReplacedFile(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void SyncDirectory(const std::string& directory) {
    // Makes the rename itself durable; the value is already in place, so a failure here is not reported.
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        static_cast<void>(fsync(fd));
        static_cast<void>(close(fd));
    }
}

} // namespace

std::string Utf8Path(std::u16string_view units) {
    return ValueFromUnits(units);
}

ReadOutcome ReadProfileFile(const std::string& path, std::string_view section, std::string_view key) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // No file yet is the first start, not a fault.
    if (fd < 0 && errno == ENOENT) {
        return {};
    }
    std::string content;
    const int error = fd < 0 ? errno : ReadAll(fd, content);
    if (fd >= 0) {
        close(fd);
    }
    if (error != 0) {
        const std::string why = error == EINVAL ? "it is not a regular file" : std::strerror(error);
        return {{}, "The settings file " + path + " cannot be read: " + why + "."};
    }
    return {ReadProfileValue(content, section, key), {}};
}

WriteOutcome WriteProfileFile(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view value) {
    if (auto problem = ProfileEntryProblem(section, key, value); !problem.empty()) {
        return {false, problem};
    }
    const auto target = ReplacedFile(path);
    const auto cannotWrite = "Cannot write " + target;

    std::string content;
    struct stat old {};
    bool exists = false;
    if (const int fd = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
        exists = true;
        int error = fstat(fd, &old) == 0 ? ReadAll(fd, content) : errno;
        close(fd);
        if (error != 0) {
            return Failure("Cannot read " + target, error);
        }
    } else if (errno != ENOENT) {
        return Failure("Cannot read " + target, errno);
    }
    if (exists) {
        // Like the read-only attribute on Windows, a file without write permission is left alone, even by root.
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            return {false, cannotWrite + ": the file is read-only."};
        }
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return Failure(cannotWrite, errno);
        }
    }
    const auto updated = WriteProfileValue(content, section, key, value);

    static std::atomic<unsigned> serial{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? (old.st_mode & 0777) : 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return Failure("Cannot create a temporary file in " + DirectoryOf(target), errno);
    }
    if (exists) {
        // Best effort: only root may give the file back to another owner; fchown may drop set-id bits, so first.
        if (old.st_uid != geteuid() || old.st_gid != getegid()) {
            static_cast<void>(fchown(fd, old.st_uid, old.st_gid));
        }
        static_cast<void>(fchmod(fd, old.st_mode & 07777));
    }
    int error = WriteAll(fd, *updated);
    if (error == 0 && fsync(fd) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return Failure(cannotWrite, error);
    }
    SyncDirectory(DirectoryOf(target));
    return {true, {}};
}
#endif

} // namespace API
