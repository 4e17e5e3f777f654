#include "LinkedNames.h"

#include "Declares.h"

#include <algorithm>
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

template <class Accept> Numbering Number(int last, std::string_view (*text)(int), Accept accept) {
    Numbering out{std::vector<int>(static_cast<std::size_t>(last) + 1, -1), {}};
    std::unordered_map<std::string_view, int> numberOf;
    numberOf.reserve(static_cast<std::size_t>(last));
    for (int r = 2; r <= last; ++r) {
        const std::string_view t = text(r);
        if (!accept(t)) {
            continue;
        }
        const auto [it, isNew] = numberOf.try_emplace(t, static_cast<int>(out.firstRow.size()));
        if (isNew) {
            out.firstRow.push_back(r);
        }
        out.ids[static_cast<std::size_t>(r)] = it->second;
    }
    return out;
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
    int parts = 0;
    std::size_t at = 0;
    while (parts < 4) {
        std::size_t end = at;
        while (end < text.size() && IsDigit(text[end]) && end - at < 4) {
            ++end;
        }
        if (end == at || end - at > 3 || std::stoi(std::string(text.substr(at, end - at))) > 255) {
            return false;
        }
        ++parts;
        if (parts < 4 && (end >= text.size() || text[end] != '.')) {
            return false;
        }
        at = end + 1;
        if (parts == 4) {
            return end == text.size();
        }
    }
    return false;
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
    std::vector<int> size(static_cast<std::size_t>(nameCount), 0);
    for (int n = 0; n < nameCount; ++n) {
        ++size[static_cast<std::size_t>(people.find(n))];
    }
    std::vector<int> groupOf(static_cast<std::size_t>(nameCount), -1);
    for (int n = 0; n < nameCount; ++n) {
        const int root = people.find(n);
        if (size[static_cast<std::size_t>(root)] >= 2) {
            if (groupOf[static_cast<std::size_t>(root)] < 0) {
                groupOf[static_cast<std::size_t>(root)] = static_cast<int>(result.groups.size());
                result.groups.emplace_back();
            }
            groupOf[static_cast<std::size_t>(n)] = groupOf[static_cast<std::size_t>(root)];
        }
    }
    if (result.groups.empty()) {
        return result;
    }

    // Names with their bans; indexOf[n] is the name's place in its group once sorted.
    std::vector<LinkedName> byName(static_cast<std::size_t>(nameCount));
    for (int r = 2; r <= last; ++r) {
        const int n = names.ids[static_cast<std::size_t>(r)];
        if (groupOf[static_cast<std::size_t>(n)] < 0) {
            continue;
        }
        LinkedName& name = byName[static_cast<std::size_t>(n)];
        if (name.rows.empty()) {
            name.row = name.firstRow = name.lastRow = r;
        }
        name.rows.push_back(r);
        const std::string& date = table[static_cast<std::size_t>(r)].Date;
        if (date < table[static_cast<std::size_t>(name.firstRow)].Date) {
            name.firstRow = r;
        }
        if (date >= table[static_cast<std::size_t>(name.lastRow)].Date) {
            name.lastRow = r;
        }
        name.stillValid = name.stillValid || table[static_cast<std::size_t>(r)].StatusMark == "#";
    }
    auto newer = [&table](int a, int b) {
        const std::string& da = table[static_cast<std::size_t>(a)].Date;
        const std::string& db = table[static_cast<std::size_t>(b)].Date;
        return da != db ? da > db : a > b;
    };
    std::vector<int> indexOf(static_cast<std::size_t>(nameCount), -1);
    {
        std::vector<std::vector<int>> members(result.groups.size());
        for (int n = 0; n < nameCount; ++n) {
            if (groupOf[static_cast<std::size_t>(n)] >= 0) {
                members[static_cast<std::size_t>(groupOf[static_cast<std::size_t>(n)])].push_back(n);
            }
        }
        for (std::size_t g = 0; g < members.size(); ++g) {
            auto& list = members[g];
            std::stable_sort(list.begin(), list.end(), [&](int a, int b) {
                return newer(byName[static_cast<std::size_t>(a)].lastRow, byName[static_cast<std::size_t>(b)].lastRow);
            });
            LinkedGroup& group = result.groups[g];
            group.names.reserve(list.size());
            for (int n : list) {
                indexOf[static_cast<std::size_t>(n)] = static_cast<int>(group.names.size());
                LinkedName& name = byName[static_cast<std::size_t>(n)];
                group.stillValid = group.stillValid || name.stillValid;
                group.rows.insert(group.rows.end(), name.rows.begin(), name.rows.end());
                group.names.push_back(std::move(name));
            }
            std::sort(group.rows.begin(), group.rows.end());
            group.lastRow = group.names.front().lastRow;
            result.nameCount += static_cast<int>(list.size());
        }
    }

    // Keys and the evidence of each link; a key's names are all in one group.
    for (const KeySet& set : keySets) {
        std::vector<std::size_t> keysOf(result.groups.size());
        for (std::size_t k = 0; k < set.hub.size(); ++k) {
            const int first = set.names.items[static_cast<std::size_t>(set.names.start[k])];
            const int g = groupOf[static_cast<std::size_t>(first)];
            if (set.hub[k] || g < 0) {
                continue;
            }
            LinkedGroup& group = result.groups[static_cast<std::size_t>(g)];
            LinkedKey key{set.kind, set.numbers.firstRow[k], {}};
            set.names.each(static_cast<int>(k),
                           [&](int name) { key.names.push_back(indexOf[static_cast<std::size_t>(name)]); });
            group.keys.push_back(std::move(key));
        }
    }
    for (LinkedGroup& group : result.groups) {
        std::stable_sort(group.keys.begin(), group.keys.end(), [](const LinkedKey& a, const LinkedKey& b) {
            return a.kind != b.kind ? a.kind < b.kind : a.names.size() > b.names.size();
        });
        for (std::size_t k = 0; k < group.keys.size(); ++k) {
            const auto& carriers = group.keys[k].names;
            for (std::size_t i = 1; i < carriers.size(); ++i) {
                group.links.push_back({static_cast<int>(k), carriers.front(), carriers[i]});
            }
        }
    }

    std::stable_sort(result.groups.begin(), result.groups.end(), [&](const LinkedGroup& a, const LinkedGroup& b) {
        return a.stillValid != b.stillValid ? a.stillValid : newer(a.lastRow, b.lastRow);
    });
    return result;
}

} // namespace BanHandle
