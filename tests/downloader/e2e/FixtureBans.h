// The stand-in game's ban lists: the entry lines of the bundled whole download (examples/ban_full.txt), as the
// ban system prints them, in order for the zone and reversed for the network ("-*"), so that the two differ.
#pragma once

#include <string>
#include <vector>

namespace fixture {

const std::vector<std::string>& banList(bool network);

} // namespace fixture
