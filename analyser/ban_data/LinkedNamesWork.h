// The linked-name grouping's work arrays: the table read once into numbers (names, machine ids, IPs, packed
// dates), through open-addressing tables that rarely look at the table's text again. A workspace keeps its
// memory between calls.
#pragma once

#include "LinkedNames.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace BanHandle::linked_work {

template <class C> auto& At(C& items, int i) {
    return items[static_cast<std::size_t>(i)];
}

// Dates compare as their text does; packed into two numbers, so that comparing reads no strings. The Date column
// holds at most 10 characters.
struct DateKey {
    std::uint64_t high = 0;
    std::uint32_t low = 0;
    auto operator<=>(const DateKey&) const = default;
};

DateKey PackDate(const std::string& date);
std::uint64_t Hash(const DateKey& date);

// Open addressing over numbers 0, 1, 2... given in order of first sight, below 65535 (the table holds fewer
// rows). A slot holds 16 bits of its value's hash above the number + 1, so that a probe passing other values
// rarely compares them, and a table for every row of a full ban list takes 256 KiB.
class Slots {
public:
    static constexpr int MostValues = 0xfffe;

    void Reset(std::size_t values);

    // The number of the value with this hash for which same(number) holds; if none, next, now taken by it.
    template <class Same> int Find(std::uint64_t hash, int next, Same same) {
        const auto tag = static_cast<std::uint32_t>(hash >> 48 << 16);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const std::uint32_t slot = slots_[i];
            if (slot == 0) {
                slots_[i] = tag | static_cast<std::uint32_t>(next + 1);
                return next;
            }
            const int known = static_cast<int>(slot & 0xffffU) - 1;
            if ((slot & ~0xffffU) == tag && same(known)) {
                return known;
            }
        }
    }

private:
    std::vector<std::uint32_t> slots_;
    std::size_t mask_ = 0;
};

// A key's trimmed text of up to 16 bytes, zero-padded, is its own exact value. A longer one is its hash with a
// mark no short text makes (key texts hold no byte 0xff), and is compared with the table's text.
struct PackedKey {
    std::uint64_t first = 0, second = 0;
    bool operator==(const PackedKey&) const = default;
};

// One kind of key: per row its number (-1 where it is not a link), per number its value, first row and rows;
// after CollectNames, per number its distinct names in row order.
struct KeyColumn {
    LinkKind kind;
    Slots slots;
    std::vector<PackedKey> values;
    std::vector<int> firstRow;
    std::vector<int> rowCount;
    std::vector<int> ofRow;
    std::vector<int> nameStart; // names of k: names[nameStart[k]..nameStart[k + 1])
    std::vector<int> names;

    int Count() const { return static_cast<int>(values.size()); }
    int NameCount(int k) const { return At(nameStart, k + 1) - At(nameStart, k); }
    void Start(int last);
    void Add(int row, std::string_view text);
};

// Per distinct name: its first record, its bans, the records of its earliest and latest ban, any still valid.
struct NameInfo {
    int row = 0;
    int count = 0;
    int earliest = 0;
    int latest = 0;
    bool stillValid = false;
};

struct Workspace {
    Slots nameSlots;
    std::vector<NameInfo> names;
    std::vector<int> nameOf;   // per row
    std::vector<DateKey> date; // per row
    KeyColumn mid{LinkKind::Mid, {}, {}, {}, {}, {}, {}, {}};
    KeyColumn ip{LinkKind::Ip, {}, {}, {}, {}, {}, {}, {}};

    // Per name (or per person, by its root name).
    std::vector<int> parent, size, bans, place, indexOf, banStart, stamp;
    std::vector<char> valid;
    // Lists and counting-sort buckets.
    Slots dateSlots;
    std::vector<DateKey> dates;
    std::vector<int> listA, listB, listC, newest, counts;

    void Start(int last, bool byIp);
    int NumberName(int row, const std::string& name);
};

} // namespace BanHandle::linked_work
