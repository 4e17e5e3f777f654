// The settings procedures: one value, the ban file path, kept in Config.ini beside the program.
#pragma once

#include <string>

namespace API {

inline constexpr const char* BanFileSection = "Ban file path";
inline constexpr const char* BanFileKey = "Path";

struct WriteOutcome {
    bool stored = false;
    std::string reason; // why the value was not stored; empty when stored
};

// The value of key in section of Config.ini; empty when the file, the section or the key is missing.
std::string ReadConfigValue(const std::string& section, const std::string& key);

// Stores value under key in section of Config.ini, keeping every other line of the file. The file is replaced
// atomically; on failure it is left as it was and the outcome says why. A value or name holding a line break (or
// a key that would read as a comment or header) is refused rather than written where it would not read back.
WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value);

// The full path of Config.ini: the running program's directory and the file name; empty when the program's
// directory cannot be found.
std::string ConfigFilePath();

} // namespace API
