#include "LinkedNames.h"

#include "Declares.h"
#include "LinkedNamesWork.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>

namespace BanHandle {
namespace {

using Declares::BanRecord;
using linked_work::At;
using linked_work::DateKey;
using linked_work::KeyColumn;
using linked_work::NameInfo;
using linked_work::Workspace;

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view()
                                           : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One pass over the table: per row its name's number, its keys' numbers and its packed date; per name its first,
// earliest and latest record and whether any of its bans is still valid. Nothing after this reads the table.
void Gather(Workspace& work, int last, bool byIp) {
    const auto& table = Declares::BanRecordTable;
    work.Start(last, byIp);
    for (int r = 2; r <= last; ++r) {
        const BanRecord& record = At(table, r);
        const int n = work.NumberName(r, record.Name);
        const DateKey date = linked_work::PackDate(record.Date);
        At(work.date, r) = date;
        NameInfo& name = At(work.names, n);
        if (name.count++ > 0) {
            if (date < At(work.date, name.earliest)) {
                name.earliest = r;
            }
            if (date >= At(work.date, name.latest)) {
                name.latest = r;
            }
        }
        name.stillValid = name.stillValid || record.StatusMark == "#";
        work.mid.Add(r, TrimSpaces(record.Mid));
        if (byIp) {
            work.ip.Add(r, TrimSpaces(record.Ip));
        }
    }
}

// Each key's distinct names, in row order: the rows bucketed by key, then each name kept once per key.
void CollectNames(KeyColumn& keys, const Workspace& work, std::vector<int>& stamp, std::vector<int>& byKey) {
    const int count = keys.Count();
    keys.nameStart.assign(static_cast<std::size_t>(count) + 1, 0);
    std::partial_sum(keys.rowCount.begin(), keys.rowCount.end(), keys.nameStart.begin() + 1);
    byKey.resize(static_cast<std::size_t>(keys.nameStart.back()));
    for (std::size_t r = 2; r < keys.ofRow.size(); ++r) {
        const int k = keys.ofRow[r];
        if (k >= 0) {
            At(byKey, At(keys.nameStart, k)++) = static_cast<int>(r);
        }
    }
    // nameStart[k] now holds the end of k's rows, which is where k + 1's begin.
    stamp.assign(work.names.size(), -1);
    keys.names.clear();
    int from = 0;
    for (int k = 0; k < count; ++k) {
        const int to = At(keys.nameStart, k);
        At(keys.nameStart, k) = static_cast<int>(keys.names.size());
        for (int i = from; i < to; ++i) {
            const int n = At(work.nameOf, At(byKey, i));
            if (std::exchange(At(stamp, n), k) != k) {
                keys.names.push_back(n);
            }
        }
        from = to;
    }
    keys.nameStart.back() = static_cast<int>(keys.names.size());
}

// Stable counting sort of items by bucket(item), a number in [0, buckets), into out.
template <class Bucket>
void CountingSort(const std::vector<int>& items, std::vector<int>& out, std::vector<int>& counts, int buckets,
                  Bucket bucket) {
    counts.assign(static_cast<std::size_t>(buckets) + 1, 0);
    for (const int item : items) {
        ++At(counts, bucket(item) + 1);
    }
    std::partial_sum(counts.begin(), counts.end(), counts.begin());
    out.resize(items.size());
    for (const int item : items) {
        At(out, At(counts, bucket(item))++) = item;
    }
}

// The grouped names (root >= 0) newest first: by the date of their latest ban, then its row, both descending.
// Only the distinct dates are sorted; the names are then counted into place.
const std::vector<int>& NewestFirst(Workspace& work, const std::vector<int>& root) {
    std::vector<int>& byRow = work.listA; // by the row of their latest ban, descending
    byRow.clear();
    for (int r = static_cast<int>(work.nameOf.size()) - 1; r >= 2; --r) {
        const int n = At(work.nameOf, r);
        if (At(root, n) >= 0 && At(work.names, n).latest == r) {
            byRow.push_back(n);
        }
    }
    std::vector<DateKey>& dates = work.dates;
    std::vector<int>& dateOf = work.listB; // per name
    dates.clear();
    dateOf.resize(work.names.size());
    work.dateSlots.Reset(byRow.size());
    for (const int n : byRow) {
        const DateKey date = At(work.date, At(work.names, n).latest);
        const int next = static_cast<int>(dates.size());
        const int d =
            work.dateSlots.Find(linked_work::Hash(date), next, [&](int known) { return At(dates, known) == date; });
        if (d == next) {
            dates.push_back(date);
        }
        At(dateOf, n) = d;
    }
    std::vector<int>& sorted = work.counts;
    sorted.resize(dates.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::sort(sorted.begin(), sorted.end(), [&](int a, int b) { return At(dates, a) > At(dates, b); });
    std::vector<int>& rank = work.listC; // per date, 0 for the newest
    rank.resize(dates.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        At(rank, sorted[i]) = static_cast<int>(i);
    }
    CountingSort(byRow, work.newest, work.counts, static_cast<int>(dates.size()),
                 [&](int n) { return At(rank, At(dateOf, n)); });
    return work.newest;
}

int Find(std::vector<int>& parent, int x) {
    while (At(parent, x) != x) {
        x = At(parent, x) = At(parent, At(parent, x));
    }
    return x;
}

void Join(std::vector<int>& parent, int a, int b) {
    a = Find(parent, a);
    b = Find(parent, b);
    if (a != b) {
        At(parent, std::max(a, b)) = std::min(a, b);
    }
}

// Keys and the evidence of each link; a key's names are all in one group. Laid out group by group, each group's
// machine ids before its IPs, the most shared first, then in the order first met.
void LayKeys(Workspace& work, KeyColumn* const (&columns)[2], int threshold, LinkedNames& result) {
    std::vector<int>& kept = work.listA; // k * 2 + column
    kept.clear();
    int most = 0;
    for (int c = 0; c < 2; ++c) {
        const KeyColumn* keys = columns[c];
        for (int k = 0; keys != nullptr && k < keys->Count(); ++k) {
            const int count = keys->NameCount(k);
            if (count <= threshold && At(work.parent, At(keys->names, At(keys->nameStart, k))) >= 0) {
                kept.push_back(k * 2 + c);
                most = std::max(most, count);
            }
        }
    }
    const auto column = [&](int key) -> const KeyColumn& { return *columns[key % 2]; };
    const auto firstName = [&](int key) { return At(column(key).names, At(column(key).nameStart, key / 2)); };
    std::vector<int>& byCount = work.listB;
    CountingSort(kept, byCount, work.counts, most + 1, [&](int key) { return most - column(key).NameCount(key / 2); });
    CountingSort(byCount, kept, work.counts, 2 * static_cast<int>(result.groups.size()),
                 [&](int key) { return At(work.place, At(work.parent, firstName(key))) * 2 + key % 2; });

    std::size_t keyNames = 0;
    for (const int key : kept) {
        keyNames += static_cast<std::size_t>(column(key).NameCount(key / 2));
    }
    result.keys.resize(kept.size());
    result.keyNames.resize(keyNames);
    result.links.resize(keyNames - kept.size());
    int nextName = 0, nextLink = 0;
    for (int i = 0; i < static_cast<int>(kept.size()); ++i) {
        const int key = At(kept, i);
        const KeyColumn& keys = column(key);
        const int k = key / 2;
        LinkedGroup& group = At(result.groups, At(work.place, At(work.parent, firstName(key))));
        if (group.keys.count++ == 0) {
            group.keys.first = i;
            group.links.first = nextLink;
        }
        const int count = keys.NameCount(k);
        At(result.keys, i) = LinkedKey{keys.kind, At(keys.firstRow, k), {nextName, count}};
        for (int j = 0; j < count; ++j) {
            const int index = At(work.indexOf, At(keys.names, At(keys.nameStart, k) + j));
            At(result.keyNames, nextName + j) = index;
            if (j > 0) {
                At(result.links, nextLink++) = Link{i - group.keys.first, At(result.keyNames, nextName), index};
                ++group.links.count;
            }
        }
        nextName += count;
    }
}

// Kept between calls, so that running again (another filter, IP links switched on) faults no pages in.
thread_local Workspace TheWorkspace;

} // namespace

void ReleaseLinkedNamesMemory() {
    TheWorkspace = Workspace();
    kept_memory::Release();
}

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
    const int last = Declares::BanRecordCount;
    LinkedNames result;
    if (last < 2) {
        return result;
    }
    Workspace& work = TheWorkspace;
    Gather(work, last, options.byIp);
    const int nameCount = static_cast<int>(work.names.size());
    KeyColumn* const columns[] = {&work.mid, options.byIp ? &work.ip : nullptr};

    // People: names joined by every key that is not a hub.
    std::vector<int>& parent = work.parent;
    parent.resize(static_cast<std::size_t>(nameCount));
    std::iota(parent.begin(), parent.end(), 0);
    for (KeyColumn* keys : columns) {
        if (keys == nullptr) {
            continue;
        }
        CollectNames(*keys, work, work.stamp, work.listA);
        for (int k = 0; k < keys->Count(); ++k) {
            const int first = At(keys->nameStart, k), end = At(keys->nameStart, k + 1);
            if (end - first > options.hubThreshold) {
                result.hubs.push_back({keys->kind, At(keys->firstRow, k), end - first});
                continue;
            }
            for (int i = first + 1; i < end; ++i) {
                Join(parent, At(keys->names, first), At(keys->names, i));
            }
        }
    }
    std::stable_sort(result.hubs.begin(), result.hubs.end(),
                     [](const Hub& a, const Hub& b) { return a.names > b.names; });

    // A name is grouped when its person has two names or more. Per person (by its root): names, bans, validity.
    std::vector<int>& root = work.parent; // each name's root, then -1 for a name alone
    std::vector<int>& size = work.size;
    std::vector<int>& bans = work.bans;
    std::vector<char>& valid = work.valid;
    size.assign(static_cast<std::size_t>(nameCount), 0);
    for (int n = 0; n < nameCount; ++n) {
        ++At(size, At(root, n) = Find(parent, n));
    }
    bans.assign(static_cast<std::size_t>(nameCount), 0);
    valid.assign(static_cast<std::size_t>(nameCount), 0);
    int grouped = 0;
    for (int n = 0; n < nameCount; ++n) {
        const int p = At(root, n);
        if (At(size, p) < 2) {
            At(root, n) = -1;
            continue;
        }
        ++grouped;
        At(bans, p) += At(work.names, n).count;
        At(valid, p) = static_cast<char>(At(valid, p) || At(work.names, n).stillValid);
    }
    if (grouped == 0) {
        return result;
    }

    const std::vector<int>& newest = NewestFirst(work, root);

    // Groups in their order: a still-valid ban first, then the latest ban. A person's newest name holds its
    // latest ban, so walking the names newest first meets the people in order.
    std::vector<int>& place = work.place;
    place.assign(static_cast<std::size_t>(nameCount), -1);
    for (const bool stillValid : {true, false}) {
        for (const int n : newest) {
            const int p = At(root, n);
            if (At(place, p) < 0 && (At(valid, p) != 0) == stillValid) {
                At(place, p) = static_cast<int>(result.groups.size());
                LinkedGroup group;
                group.names.count = At(size, p);
                group.rows.count = At(bans, p);
                group.stillValid = stillValid;
                group.lastRow = At(work.names, n).latest;
                result.groups.push_back(group);
            }
        }
    }
    // Each name's place in the flat arrays: its group's names, then its bans, laid out in group order.
    int firstName = 0, firstRow = 0;
    for (LinkedGroup& group : result.groups) {
        group.names.first = firstName;
        group.rows.first = firstRow;
        firstName += group.names.count;
        firstRow += group.rows.count;
    }
    result.nameCount = firstName;
    std::vector<int>& nameFill = work.listA; // per group
    nameFill.resize(result.groups.size());
    for (std::size_t g = 0; g < nameFill.size(); ++g) {
        nameFill[g] = result.groups[g].names.first;
    }
    std::vector<int>& indexOf = work.indexOf;
    std::vector<int>& banFill = work.banStart;
    indexOf.resize(static_cast<std::size_t>(nameCount));
    banFill.resize(static_cast<std::size_t>(nameCount));
    result.names.resize(static_cast<std::size_t>(grouped));
    for (const int n : newest) {
        const int g = At(place, At(root, n));
        const int at = At(nameFill, g)++;
        At(indexOf, n) = at - At(result.groups, g).names.first;
        const NameInfo& info = At(work.names, n);
        At(result.names, at) = LinkedName{info.row, {0, info.count}, info.earliest, info.latest, info.stillValid};
    }
    int firstBan = 0;
    for (LinkedName& name : result.names) {
        name.bans.first = firstBan;
        firstBan += name.bans.count;
        At(banFill, At(work.nameOf, name.row)) = name.bans.first;
    }
    result.rows.resize(static_cast<std::size_t>(firstBan));
    for (int r = 2; r <= last; ++r) {
        const int n = At(work.nameOf, r);
        if (At(root, n) >= 0) {
            At(result.rows, At(banFill, n)++) = r;
        }
    }

    LayKeys(work, columns, options.hubThreshold, result);
    return result;
}

} // namespace BanHandle
