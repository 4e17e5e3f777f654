#include "FixtureBans.h"

#include <array>
#include <cstdint>

namespace fixture {
namespace {

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    unsigned next(unsigned bound) {
        state_ = state_ * 1664525U + 1013904223U;
        return (state_ >> 8) % bound;
    }
    unsigned between(unsigned low, unsigned high) { return low + next(high - low + 1); }

private:
    std::uint32_t state_;
};

std::string twoDigits(unsigned v) {
    return std::string(1, char('0' + v / 10)) + char('0' + v % 10);
}

std::string number(Lcg& rng, unsigned digits) {
    std::string out(1, char('1' + rng.next(9)));
    while (out.size() < digits) {
        out += char('0' + rng.next(10));
    }
    return out;
}

std::vector<Ban> generate(std::uint32_t seed, int count) {
    static const std::array<const char*, 7> moderators = {"Ravel",   "MikeT", "Oddjob",   "Zeta Nine",
                                                          "Kestrel", "Q",     "Smoky Joe"};
    static const std::array<const char*, 12> first = {"Dark", "Big", "xX",  "Lord", "Nova", "Mr",
                                                      "Sly",  "Red", "Ace", "Iron", "Pix",  "Tiny"};
    static const std::array<const char*, 12> second = {"Wolf",  "Sniper", "Fox",   "Blade", "Rider", "Moth",
                                                       "Viper", "Ghost",  "Pilot", "Bee",   "Rex",   "Storm"};
    Lcg rng(seed);
    std::vector<Ban> out;
    for (int i = 0; i < count; ++i) {
        Ban b;
        b.mark = rng.next(3) == 0 ? '^' : '#';
        b.id = number(rng, 1 + static_cast<unsigned>(i % 5));
        b.access = char('0' + rng.between(1, 5));
        b.moderator = moderators[rng.next(moderators.size())];
        b.date = "200" + std::to_string(rng.between(2, 9)) + "-" + twoDigits(rng.between(1, 12)) + "-" +
                 twoDigits(rng.between(1, 28));
        b.time = twoDigits(rng.next(24)) + ":" + twoDigits(rng.next(60)) + ":" + twoDigits(rng.next(60));
        b.days = number(rng, rng.between(1, 4));
        do {
            b.ip = std::to_string(rng.between(1, 254)) + "." + std::to_string(rng.next(256)) + "." +
                   std::to_string(rng.next(256)) + "." + std::to_string(rng.between(1, 254));
        } while (b.ip.size() < 8);
        b.mid = number(rng, rng.between(4, 10));
        b.name = std::string(first[rng.next(first.size())]) + (rng.next(4) == 0 ? " " : "") +
                 second[rng.next(second.size())] + (rng.next(3) == 0 ? std::to_string(rng.next(1000)) : "");
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
