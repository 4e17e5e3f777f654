// The settings procedures on POSIX systems: Config.ini beside the running program, or in the user's configuration
// directory when the program is installed where the user cannot write; read and written by the portable profile
// file code.
#include "API.h"
#include "ProfileFile.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace API {
namespace {

// The running program's directory, from /proc/self/exe; empty for "/", nullopt when it cannot be found.
std::optional<std::string> ProgramDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        const auto length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            const std::string program(buffer.data(), static_cast<std::size_t>(length));
            const auto slash = program.rfind('/');
            if (slash == std::string::npos) {
                return std::nullopt;
            }
            return program.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2); // the link may have been cut; try again with room to spare
    }
}

// The path without trailing slashes, so that appending "/name" never doubles one; "/" gives "".
std::string WithoutTrailingSlashes(std::string path) {
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Creates the directories leading to path's file that are missing, private to the user as XDG asks.
void CreateParentDirectories(const std::string& path) {
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) {
            return; // the write that follows names the reason
        }
    }
}

} // namespace

std::string ChooseConfigFilePath(const std::optional<std::string>& programDirectory, bool directoryWritable,
                                 const char* xdgConfigHome, const char* home) {
    // A program in "/" gives "/Config.ini", not "//Config.ini": a leading "//" may mean something else to POSIX.
    const auto beside = programDirectory ? *programDirectory + "/Config.ini" : std::string();
    if (programDirectory && directoryWritable) {
        return beside;
    }
    // Relative XDG paths are to be ignored; so is a relative HOME, which would depend on the working directory.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return WithoutTrailingSlashes(xdgConfigHome) + "/Mirewatch/Config.ini";
    }
    if (home != nullptr && home[0] == '/') {
        return WithoutTrailingSlashes(home) + "/.config/Mirewatch/Config.ini";
    }
    return beside;
}

std::string ConfigFilePath() {
    // Chosen once, so that what is read, what is written and what the Help window names stay one file. The file
    // is replaced through a temporary file beside it, so the directory must be writable, not just the file.
    static const std::string path = [] {
        const auto directory = ProgramDirectory();
        const bool writable = directory && access(directory->empty() ? "/" : directory->c_str(), W_OK) == 0;
        return ChooseConfigFilePath(directory, writable, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    }();
    return path;
}

PathOutcome HeldPath(const std::u16string& path) {
    return {Utf8Path(path), {}};
}

ReadOutcome ReadConfigValue(const std::string& section, const std::string& key) {
    const auto path = ConfigFilePath();
    if (path.empty()) {
        return {{}, "Mirewatch cannot find a place for its settings file."};
    }
    return ReadProfileFile(path, section, key);
}

WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value) {
    const auto path = ConfigFilePath();
    if (path.empty()) {
        return {false, "Cannot find the program's directory."};
    }
    CreateParentDirectories(path);
    return WriteProfileFile(path, section, key, value);
}

} // namespace API
