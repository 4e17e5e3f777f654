// The stand-in game's ban lists: deterministic, a few hundred bans each, written as the ban system's
// chat lines. The zone list and the network list ("-*") differ.
#pragma once

#include <string>
#include <vector>

namespace fixture {

// mark: '#' still valid, '^' expired; id: 1 to 5 digits; moderator: at most 11 characters; date "200y-mm-dd";
// time "hh:mm:ss"; days: 1 to 4 digits; ip: 8 to 15 characters; mid: the machine id, digits only; name: at most 24
// characters, may hold blanks.
struct Ban {
    char mark, access;
    std::string id, moderator, date, time, days, ip, mid, name;
};

const std::vector<Ban>& banList(bool network);

// The chat line the ban system prints for one ban.
std::string entryLine(const Ban& ban);

} // namespace fixture
