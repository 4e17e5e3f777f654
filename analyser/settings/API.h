// The settings procedures: one value, the ban file path, kept in Config.ini beside the program (or, for a program
// installed where the user cannot write, in the user's configuration directory: $XDG_CONFIG_HOME/Mirewatch on
// Linux, %APPDATA%\Mirewatch on Windows).
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

struct ReadOutcome {
    std::string value;  // empty when the file, the section or the key is missing, or the file cannot be read
    std::string reason; // why the file could not be read, naming it; empty when it was read or is missing
};

// The value of key in section of Config.ini.
ReadOutcome ReadConfigValue(const std::string& section, const std::string& key);

// Stores value under key in section of Config.ini, keeping every other line of the file. The file is replaced
// atomically; on failure it is left as it was and the outcome says why. A value or name holding a line break (or
// a key that would read as a comment or header) is refused rather than written where it would not read back.
WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value);

// The full path of Config.ini for this run, chosen once: beside the program when its directory can be written,
// the per-user file otherwise (see ChooseConfigFilePath); empty when neither place can be found.
std::string ConfigFilePath();

struct PathOutcome {
    std::string path;   // as the program holds and stores it; empty when it cannot
    std::string reason; // why the path cannot be held; empty when it can
};

// A chosen file's path, given in UTF-16, as the program holds it: UTF-8 bytes on Linux; on Windows bytes of the ANSI
// code page (the one the profile functions and the ban file loader use), by the file's short (8.3) name when the
// code page cannot hold its long name.
PathOutcome HeldPath(const std::u16string& path);

#ifdef _WIN32
// Where Config.ini lives, given the program's folder and %APPDATA% as the ANSI functions name them (empty when
// unknown) and whether the folder can be written: beside the program if writable, else
// <APPDATA>\Mirewatch\Config.ini; beside the program again when there is no APPDATA (the write then says why).
std::string ChooseConfigFilePath(const std::string& programDirectory, bool directoryWritable,
                                 const std::string& appData);
#else
// Where Config.ini lives, given the program's directory (nullopt when unknown; "" for "/"), whether the user may
// write there, and $XDG_CONFIG_HOME and $HOME (null when unset): beside the program if writable, else
// <config home>/Mirewatch/Config.ini with <config home> being $XDG_CONFIG_HOME when absolute, $HOME/.config
// otherwise; beside the program again when there is no absolute config home either (the write then says why).
std::string ChooseConfigFilePath(const std::optional<std::string>& programDirectory, bool directoryWritable,
                                 const char* xdgConfigHome, const char* home);
#endif

} // namespace API
