#include "LinkedNames.h"

#include "Declares.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <functional>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace BanHandle {
namespace {

using Declares::BanRecord;

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view()
                                           : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Row r's field, mapped to a small number per distinct text: ids[r], -1 where the text is left out.
struct Numbering {
    std::vector<int> ids;
    std::vector<int> firstRow; // per number
};

// Open addressing over the numbers, so that numbering a full table allocates a few arrays and no nodes.
template <class Accept> Numbering Number(int last, std::string_view (*text)(int), Accept accept) {
    Numbering out{std::vector<int>(static_cast<std::size_t>(last) + 1, -1), {}};
    std::size_t capacity = 16;
    while (capacity < 2 * static_cast<std::size_t>(last)) {
        capacity *= 2;
    }
    std::vector<int> slots(capacity, -1);
    const std::hash<std::string_view> hash;
    for (int r = 2; r <= last; ++r) {
        const std::string_view t = text(r);
        if (!accept(t)) {
            continue;
        }
        std::size_t slot = hash(t) & (capacity - 1);
        while (slots[slot] >= 0 && text(out.firstRow[static_cast<std::size_t>(slots[slot])]) != t) {
            slot = (slot + 1) & (capacity - 1);
        }
        if (slots[slot] < 0) {
            slots[slot] = static_cast<int>(out.firstRow.size());
            out.firstRow.push_back(r);
        }
        out.ids[static_cast<std::size_t>(r)] = slots[slot];
    }
    return out;
}

// Dates compare as their text does; packed into two numbers per row, so that sorting reads no strings. The Date
// column holds at most 10 characters.
struct DateKey {
    std::uint64_t high = 0;
    std::uint32_t low = 0;
    auto operator<=>(const DateKey&) const = default;
};

DateKey PackDate(const std::string& date) {
    DateKey key;
    for (std::size_t i = 0; i < 8; ++i) {
        key.high = key.high << 8 | (i < date.size() ? static_cast<unsigned char>(date[i]) : 0U);
    }
    for (std::size_t i = 8; i < 10; ++i) {
        key.low = key.low << 8 | (i < date.size() ? static_cast<unsigned char>(date[i]) : 0U);
    }
    key.low = key.low << 8 | static_cast<std::uint32_t>(std::min<std::size_t>(date.size(), 255));
    return key;
}

std::string_view NameText(int r) {
    return Declares::BanRecordTable[static_cast<std::size_t>(r)].Name;
}
std::string_view MidText(int r) {
    return KeyText(LinkKind::Mid, r);
}
std::string_view IpText(int r) {
    return KeyText(LinkKind::Ip, r);
}

// Members of each number, in row order, as one array cut into runs: members of n are at [start[n], start[n+1]).
struct Buckets {
    std::vector<int> start;
    std::vector<int> items;
    template <class F> void each(int n, F f) const {
        for (int k = start[static_cast<std::size_t>(n)]; k < start[static_cast<std::size_t>(n) + 1]; ++k) {
            f(items[static_cast<std::size_t>(k)]);
        }
    }
    int size(int n) const { return start[static_cast<std::size_t>(n) + 1] - start[static_cast<std::size_t>(n)]; }
};

Buckets Bucket(const std::vector<int>& ids, int count) {
    Buckets b{std::vector<int>(static_cast<std::size_t>(count) + 1, 0), std::vector<int>()};
    for (int id : ids) {
        if (id >= 0) {
            ++b.start[static_cast<std::size_t>(id) + 1];
        }
    }
    std::partial_sum(b.start.begin(), b.start.end(), b.start.begin());
    b.items.resize(static_cast<std::size_t>(b.start.back()));
    std::vector<int> fill(b.start.begin(), b.start.end() - 1);
    for (std::size_t r = 0; r < ids.size(); ++r) {
        if (ids[r] >= 0) {
            b.items[static_cast<std::size_t>(fill[static_cast<std::size_t>(ids[r])]++)] = static_cast<int>(r);
        }
    }
    return b;
}

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(int n) : parent(static_cast<std::size_t>(n)) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int x) {
        while (parent[static_cast<std::size_t>(x)] != x) {
            x = parent[static_cast<std::size_t>(x)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        }
        return x;
    }
    void join(int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) {
            parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
        }
    }
};

// One kind of key: its numbering, and per key the distinct names carrying it, in row order.
struct KeySet {
    LinkKind kind;
    Numbering numbers;
    Buckets names; // name numbers
    std::vector<bool> hub;
};

KeySet Keys(LinkKind kind, int last, const std::vector<int>& nameOf, int threshold) {
    KeySet set{kind,
               Number(last, kind == LinkKind::Mid ? MidText : IpText,
                      [kind](std::string_view t) { return IsLinkKey(kind, t); }),
               {},
               {}};
    const int count = static_cast<int>(set.numbers.firstRow.size());
    const Buckets rows = Bucket(set.numbers.ids, count);
    // A name is counted once per key: stamped with the last key that counted it.
    std::vector<int> stamp(nameOf.size(), -1);
    set.names.start.assign(static_cast<std::size_t>(count) + 1, 0);
    set.names.items.reserve(rows.items.size());
    for (int k = 0; k < count; ++k) {
        rows.each(k, [&](int r) {
            const int name = nameOf[static_cast<std::size_t>(r)];
            if (std::exchange(stamp[static_cast<std::size_t>(name)], k) != k) {
                set.names.items.push_back(name);
            }
        });
        set.names.start[static_cast<std::size_t>(k) + 1] = static_cast<int>(set.names.items.size());
    }
    set.hub.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        set.hub[static_cast<std::size_t>(k)] = set.names.size(k) > threshold;
    }
    return set;
}

} // namespace

std::string_view KeyText(LinkKind kind, int row) {
    const BanRecord& record = Declares::BanRecordTable[static_cast<std::size_t>(row)];
    return TrimSpaces(kind == LinkKind::Mid ? record.Mid : record.Ip);
}

bool IsLinkKey(LinkKind kind, std::string_view text) {
    if (kind == LinkKind::Mid) {
        const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
        return !digits.empty() && std::all_of(digits.begin(), digits.end(), IsDigit);
    }
    // Four numbers 0 to 255 of one to three digits, joined by dots.
    int parts = 0, digits = 0, value = 0;
    for (const char c : text) {
        if (IsDigit(c)) {
            value = value * 10 + (c - '0');
            if (++digits > 3 || value > 255) {
                return false;
            }
        } else if (c == '.' && digits > 0 && parts < 3) {
            ++parts;
            digits = value = 0;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

LinkedNames FindLinkedNames(const LinkedNamesOptions& options) {
    const auto& table = Declares::BanRecordTable;
    const int last = Declares::BanRecordCount;
    LinkedNames result;
    if (last < 2) {
        return result;
    }

    const Numbering names = Number(last, NameText, [](std::string_view) { return true; });
    const int nameCount = static_cast<int>(names.firstRow.size());
    std::vector<KeySet> keySets;
    keySets.push_back(Keys(LinkKind::Mid, last, names.ids, options.hubThreshold));
    if (options.byIp) {
        keySets.push_back(Keys(LinkKind::Ip, last, names.ids, options.hubThreshold));
    }

    UnionFind people(nameCount);
    for (const KeySet& set : keySets) {
        for (std::size_t k = 0; k < set.hub.size(); ++k) {
            if (set.hub[k]) {
                result.hubs.push_back({set.kind, set.numbers.firstRow[k], set.names.size(static_cast<int>(k))});
                continue;
            }
            const int first = set.names.items[static_cast<std::size_t>(set.names.start[k])];
            set.names.each(static_cast<int>(k), [&](int name) { people.join(first, name); });
        }
    }
    std::stable_sort(result.hubs.begin(), result.hubs.end(),
                     [](const Hub& a, const Hub& b) { return a.names > b.names; });

    // Groups of at least two names, numbered in order of their first name.
    const auto at = [](auto& v, int i) -> auto& {
        return v[static_cast<std::size_t>(i)];
    };
    std::vector<int> size(static_cast<std::size_t>(nameCount), 0);
    for (int n = 0; n < nameCount; ++n) {
        ++at(size, people.find(n));
    }
    std::vector<int> groupOf(static_cast<std::size_t>(nameCount), -1);
    int groupCount = 0;
    for (int n = 0; n < nameCount; ++n) {
        const int root = people.find(n);
        if (at(size, root) >= 2) {
            if (at(groupOf, root) < 0) {
                at(groupOf, root) = groupCount++;
            }
            at(groupOf, n) = at(groupOf, root);
        }
    }
    if (groupCount == 0) {
        return result;
    }

    // Each grouped name's bans, dates and validity.
    std::vector<DateKey> dates(static_cast<std::size_t>(last) + 1);
    for (int r = 2; r <= last; ++r) {
        if (at(groupOf, at(names.ids, r)) >= 0) {
            at(dates, r) = PackDate(at(table, r).Date);
        }
    }
    std::vector<LinkedName> byName(static_cast<std::size_t>(nameCount));
    for (int r = 2; r <= last; ++r) {
        const int n = at(names.ids, r);
        if (at(groupOf, n) < 0) {
            continue;
        }
        LinkedName& name = at(byName, n);
        if (name.bans.count++ == 0) {
            name.row = name.firstRow = name.lastRow = r;
        }
        const DateKey date = at(dates, r);
        if (date < at(dates, name.firstRow)) {
            name.firstRow = r;
        }
        if (date >= at(dates, name.lastRow)) {
            name.lastRow = r;
        }
        name.stillValid = name.stillValid || at(table, r).StatusMark == "#";
    }
    auto newer = [&](int a, int b) {
        const DateKey da = at(dates, a);
        const DateKey db = at(dates, b);
        return da != db ? da > db : a > b;
    };

    // Groups in their order: a still-valid ban first, then the latest ban.
    result.groups.resize(static_cast<std::size_t>(groupCount));
    for (int n = 0; n < nameCount; ++n) {
        const int g = at(groupOf, n);
        if (g >= 0) {
            LinkedGroup& group = at(result.groups, g);
            const LinkedName& name = at(byName, n);
            group.stillValid = group.stillValid || name.stillValid;
            if (group.names.count++ == 0 || newer(name.lastRow, group.lastRow)) {
                group.lastRow = name.lastRow;
            }
            group.rows.count += name.bans.count;
        }
    }
    std::vector<int> order(static_cast<std::size_t>(groupCount));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const LinkedGroup& ga = at(result.groups, a);
        const LinkedGroup& gb = at(result.groups, b);
        return ga.stillValid != gb.stillValid ? ga.stillValid : newer(ga.lastRow, gb.lastRow);
    });
    std::vector<int> placeOf(static_cast<std::size_t>(groupCount));
    {
        std::vector<LinkedGroup> sorted;
        sorted.reserve(order.size());
        int firstName = 0, firstRow = 0;
        for (int g : order) {
            at(placeOf, g) = static_cast<int>(sorted.size());
            LinkedGroup group = at(result.groups, g);
            group.names.first = firstName;
            group.rows.first = firstRow;
            firstName += group.names.count;
            firstRow += group.rows.count;
            sorted.push_back(group);
        }
        result.groups = std::move(sorted);
        result.nameCount = firstName;
    }
    for (int n = 0; n < nameCount; ++n) {
        if (at(groupOf, n) >= 0) {
            at(groupOf, n) = at(placeOf, at(groupOf, n));
        }
    }

    // Names laid out group by group, each group's by its latest ban; indexOf is a name's place in its group.
    std::vector<int> flat(static_cast<std::size_t>(result.nameCount));
    {
        std::vector<int> fill(result.groups.size());
        for (std::size_t g = 0; g < fill.size(); ++g) {
            fill[g] = result.groups[g].names.first;
        }
        for (int n = 0; n < nameCount; ++n) {
            if (at(groupOf, n) >= 0) {
                at(flat, at(fill, at(groupOf, n))++) = n;
            }
        }
    }
    std::vector<int> indexOf(static_cast<std::size_t>(nameCount), -1);
    std::vector<int> banFill(static_cast<std::size_t>(nameCount), 0);
    result.names.reserve(flat.size());
    for (const LinkedGroup& group : result.groups) {
        const auto begin = flat.begin() + group.names.first;
        std::sort(begin, begin + group.names.count,
                  [&](int a, int b) { return newer(at(byName, a).lastRow, at(byName, b).lastRow); });
        int firstBan = group.rows.first;
        for (int i = 0; i < group.names.count; ++i) {
            const int n = *(begin + i);
            at(indexOf, n) = i;
            LinkedName name = at(byName, n);
            name.bans.first = at(banFill, n) = firstBan;
            firstBan += name.bans.count;
            result.names.push_back(name);
        }
    }
    result.rows.resize(static_cast<std::size_t>(result.groups.back().rows.first + result.groups.back().rows.count));
    for (int r = 2; r <= last; ++r) {
        const int n = at(names.ids, r);
        if (at(groupOf, n) >= 0) {
            at(result.rows, at(banFill, n)++) = r;
        }
    }

    // Keys and the evidence of each link; a key's names are all in one group. Gathered from both key sets, then
    // put in group order, each group's machine ids before its IPs, the most shared first.
    std::vector<std::pair<int, LinkedKey>> keys;
    for (const KeySet& set : keySets) {
        for (std::size_t k = 0; k < set.hub.size(); ++k) {
            const int g = at(groupOf, set.names.items[static_cast<std::size_t>(set.names.start[k])]);
            if (!set.hub[k] && g >= 0) {
                keys.push_back(
                    {g,
                     {set.kind, set.numbers.firstRow[k], {set.names.start[k], set.names.size(static_cast<int>(k))}}});
            }
        }
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.first != b.first               ? a.first < b.first
               : a.second.kind != b.second.kind ? a.second.kind < b.second.kind
                                                : a.second.names.count > b.second.names.count;
    });
    result.keys.reserve(keys.size());
    for (std::size_t k = 0; k < keys.size();) {
        LinkedGroup& group = at(result.groups, keys[k].first);
        group.keys.first = static_cast<int>(result.keys.size());
        group.links.first = static_cast<int>(result.links.size());
        for (int inGroup = 0; k < keys.size() && &at(result.groups, keys[k].first) == &group; ++k, ++inGroup) {
            LinkedKey key = keys[k].second;
            // The key sets' name lists hold name numbers; the result holds places in the group.
            const Buckets& from = keySets[key.kind == LinkKind::Mid ? 0 : 1].names;
            const int first = static_cast<int>(result.keyNames.size());
            for (int i = 0; i < key.names.count; ++i) {
                const int index = at(indexOf, at(from.items, key.names.first + i));
                result.keyNames.push_back(index);
                if (i > 0) {
                    result.links.push_back({inGroup, at(result.keyNames, first), index});
                }
            }
            key.names.first = first;
            result.keys.push_back(key);
        }
        group.keys.count = static_cast<int>(result.keys.size()) - group.keys.first;
        group.links.count = static_cast<int>(result.links.size()) - group.links.first;
    }
    return result;
}

} // namespace BanHandle
