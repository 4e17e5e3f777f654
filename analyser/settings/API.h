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

// Stores value under key in section of Config.ini, keeping every other line of the file.
WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value);

// The full path of Config.ini: the running program's directory and the file name.
std::string ConfigFilePath();

} // namespace API
