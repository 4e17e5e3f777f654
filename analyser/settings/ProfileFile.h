// Profile-style settings files ("[section]" headers, "key=value" lines), read and written by the same rules
// as the Windows profile-string functions, so a Config.ini written on one platform reads the same on the other.
//
// Rules (bytes, one byte one character, no encoding conversion, but for UTF-16):
// - A file starting with a UTF-16 byte order mark (FF FE or FE FF) is UTF-16, LE or BE. In names each code unit
//   counts as one Windows-1252 byte; one Windows-1252 cannot hold never matches. Values are converted to and from
//   the bytes paths are held in: UTF-8 on Linux (a byte that is no UTF-8 kept as U+DC80 to U+DCFF), the ANSI code
//   page on Windows (Windows-1252 in this portable code, "?" for what it cannot hold). A write stores the new text
//   in the file's own encoding and keeps every other code unit as it was.
// - Lines end in CR LF, LF or CR. A UTF-8 byte order mark at the very start is not part of the first line.
// - Every line is trimmed of spaces, tabs, VT, FF and Ctrl-Z (an old DOS end-of-file mark).
// - A trimmed line that starts with "[" and contains "]" is a section header; the name runs up to the last "]"
//   and is trimmed. A line that starts with "[" without a "]" is ignored and does not end the current section.
// - A trimmed line that starts with ";" is a comment and never matches a key.
// - Any other line holds a key (trimmed, before the first "=") and a value (trimmed, after it); a line without
//   "=" is a key with an empty value, so it hides a later line of the same key, and a write replaces it.
// - Section and key names compare ASCII case-insensitively after trimming; the first matching section and, in it,
//   the first matching key win. Keys before the first section belong to no section and are never found.
// - A value wrapped in matching double or single quotes is read without them; it ends at its first NUL.
// - Writing replaces only the line of the key (as "Key=value", keeping the key's spelling in the file), or adds
//   the key after the last non-blank line of the first matching section, or appends the section at the end.
//   Every other line stays byte for byte; lines written anew end in CR LF. The value is written as given, but
//   one that starts or ends with a blank or is wrapped in matching quotes is put in double quotes, so that it
//   reads back whole (the Windows functions take the quotes off as well).
#pragma once

#include "API.h"

#include <optional>
#include <string>
#include <string_view>

namespace API {

// The value of key in section of a profile file's content; empty when the section or the key is missing.
std::string ReadProfileValue(std::string_view content, std::string_view section, std::string_view key);

// Why section, key and value cannot be stored so that they read back as written (a line break would split the
// line, a key starting with ";" or "[" would read as a comment or a header, a name holding a NUL could not reach
// the profile functions, ...); empty when they can. A value reads back up to its first NUL.
std::string ProfileEntryProblem(std::string_view section, std::string_view key, std::string_view value);

// The value as it goes into its "key=value" line: in double quotes when the reader would trim or unquote it.
std::string ProfileLineValue(std::string_view value);

// The content with value stored under key in section; nullopt when ProfileEntryProblem reports a problem.
std::optional<std::string> WriteProfileValue(std::string_view content, std::string_view section, std::string_view key,
                                             std::string_view value);

#ifndef _WIN32
// UTF-16 as the UTF-8 bytes a path is held in (an unpaired surrogate as in a UTF-16 file's values).
std::string Utf8Path(std::u16string_view units);

// The value of key in section of the profile file at path; empty when the file is missing, with a reason when it
// cannot be read.
ReadOutcome ReadProfileFile(const std::string& path, std::string_view section, std::string_view key);

// Stores value under key in section of the profile file at path, creating it if missing. The file is replaced
// atomically (a temporary file beside it, then rename), keeping its permissions; a symbolic link is followed
// so the link stays. A read-only file (no write permission bits) is refused even for root.
WriteOutcome WriteProfileFile(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view value);
#endif

} // namespace API
