// The stand-in game's ban lists: deterministic, a few hundred bans each, written as the ban system's
// chat lines. The zone list and the network list ("-*") differ.
#pragma once

#include <string>
#include <vector>

namespace fixture {

struct Ban {
    char mark;             // '#' still valid, '^' expired
    std::string id;        // 1 to 5 digits
    char access;           // access level
    std::string moderator; // at most 11 characters
    std::string date;      // "200y-mm-dd"
    std::string time;      // "hh:mm:ss"
    std::string days;      // 1 to 4 digits
    std::string ip;        // 8 to 15 characters
    std::string mid;       // machine id, digits only
    std::string name;      // at most 24 characters, may hold blanks
};

const std::vector<Ban>& banList(bool network);

// The chat line the ban system prints for one ban.
std::string entryLine(const Ban& ban);

} // namespace fixture
