// The settings procedures: one value, the ban file path, kept in Config.ini beside the program (or, for a program
// installed where the user cannot write, in the user's configuration directory).
#pragma once

#include <optional>
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

// The full path of Config.ini for this run, chosen once: beside the program when its directory can be written,
// the per-user file otherwise (see ChooseConfigFilePath); empty when neither place can be found.
std::string ConfigFilePath();

#ifndef _WIN32
// Where Config.ini lives, given the program's directory (nullopt when unknown; "" for "/"), whether the user may
// write there, and $XDG_CONFIG_HOME and $HOME (null when unset): beside the program if writable, else
// <config home>/Mirewatch/Config.ini with <config home> being $XDG_CONFIG_HOME when absolute, $HOME/.config
// otherwise; beside the program again when there is no absolute config home either (the write then says why).
std::string ChooseConfigFilePath(const std::optional<std::string>& programDirectory, bool directoryWritable,
                                 const char* xdgConfigHome, const char* home);
#endif

} // namespace API
