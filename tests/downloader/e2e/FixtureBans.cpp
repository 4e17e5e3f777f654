#include "FixtureBans.h"

#include <array>
#include <cstdint>
#include <random>

namespace fixture {
namespace {

std::string twoDigits(unsigned v) {
    return std::to_string(100 + v).substr(1);
}

std::vector<Ban> generate(std::uint32_t seed, int count) {
    static const std::array<const char*, 7> moderators = {"Ravel",   "MikeT", "Oddjob",   "Zeta Nine",
                                                          "Kestrel", "Q",     "Smoky Joe"};
    static const std::array<const char*, 12> first = {"Dark", "Big", "xX",  "Lord", "Nova", "Mr",
                                                      "Sly",  "Red", "Ace", "Iron", "Pix",  "Tiny"};
    static const std::array<const char*, 12> second = {"Wolf",  "Sniper", "Fox",   "Blade", "Rider", "Moth",
                                                       "Viper", "Ghost",  "Pilot", "Bee",   "Rex",   "Storm"};
    std::minstd_rand engine(seed);
    const auto next = [&](unsigned bound) { return static_cast<unsigned>(engine() % bound); };
    const auto between = [&](unsigned low, unsigned high) { return low + next(high - low + 1); };
    const auto number = [&](unsigned digits) {
        std::string out(1, char('1' + next(9)));
        while (out.size() < digits) {
            out += char('0' + next(10));
        }
        return out;
    };
    std::vector<Ban> out;
    for (int i = 0; i < count; ++i) {
        Ban b;
        b.mark = next(3) == 0 ? '^' : '#';
        b.id = number(1 + static_cast<unsigned>(i % 5));
        b.access = char('0' + between(1, 5));
        b.moderator = moderators[next(moderators.size())];
        b.date =
            "200" + std::to_string(between(2, 9)) + "-" + twoDigits(between(1, 12)) + "-" + twoDigits(between(1, 28));
        b.time = twoDigits(next(24)) + ":" + twoDigits(next(60)) + ":" + twoDigits(next(60));
        b.days = number(between(1, 4));
        // A first octet of two digits at least makes 8 characters or more.
        b.ip = std::to_string(between(10, 254)) + "." + std::to_string(next(256)) + "." + std::to_string(next(256)) +
               "." + std::to_string(between(1, 254));
        b.mid = number(between(4, 10));
        b.name = std::string(first[next(first.size())]) + (next(4) == 0 ? " " : "") + second[next(second.size())] +
                 (next(3) == 0 ? std::to_string(next(1000)) : "");
        out.push_back(std::move(b));
    }
    return out;
}

} // namespace

const std::vector<Ban>& banList(bool network) {
    static const std::vector<Ban> zone = generate(20050317U, 263);
    static const std::vector<Ban> net = generate(7041999U, 187);
    return network ? net : zone;
}

std::string entryLine(const Ban& b) {
    std::string moderator = b.moderator;
    moderator.resize(12, ' ');
    // Long addresses are followed by two blanks, as the ban system aligns the "mid:" column.
    const std::string afterIp = b.ip.size() >= 12 ? "  " : " ";
    return std::string("  ") + b.mark + b.id + "  level " + b.access + " by " + moderator + " " + b.date + " " +
           b.time + " d:" + b.days + " " + b.ip + afterIp + "mid:" + b.mid + " " + b.name;
}

} // namespace fixture
