// The settings procedures on POSIX systems: Config.ini beside the running program, read and written by
// the portable profile file code.
#include "API.h"
#include "ProfileFile.h"

#include <optional>
#include <string>
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

} // namespace

std::string ConfigFilePath() {
    // A program in "/" gives "/Config.ini", not "//Config.ini": a leading "//" may mean something else to POSIX.
    const auto directory = ProgramDirectory();
    return directory ? *directory + "/Config.ini" : std::string();
}

std::string ReadConfigValue(const std::string& section, const std::string& key) {
    const auto path = ConfigFilePath();
    return path.empty() ? std::string() : ReadProfileFile(path, section, key);
}

WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value) {
    const auto path = ConfigFilePath();
    if (path.empty()) {
        return {false, "Cannot find the program's directory."};
    }
    return WriteProfileFile(path, section, key, value);
}

} // namespace API
