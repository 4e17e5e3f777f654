#include "FixtureBans.h"

#include <fstream>

namespace fixture {

const std::vector<std::string>& banList(bool network) {
    static const std::vector<std::string> zone = [] {
        std::vector<std::string> entries;
        std::ifstream in(MW_BAN_SAMPLE, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            if (line.starts_with("  #") || line.starts_with("  ^")) {
                entries.push_back(line);
            }
        }
        return entries;
    }();
    static const std::vector<std::string> net(zone.rbegin(), zone.rend());
    return network ? net : zone;
}

} // namespace fixture
