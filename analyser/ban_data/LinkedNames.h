// Linked names: the people behind the bans. Two names are linked when records of theirs carry the same machine
// id (or, when asked, the same IP address); a group is every name reachable through links. The result refers to
// the table by row number and copies none of its text, so it is valid until the next load.
#pragma once

#include "KeptMemory.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace BanHandle {

// An id carried by more distinct names than this joins strangers (an internet café, a shared address) and is
// not used as a link.
constexpr int DefaultHubThreshold = 25;

enum class LinkKind { Mid, Ip };

struct LinkedNamesOptions {
    bool byIp = false;
    int hubThreshold = DefaultHubThreshold;
};

// A run of a LinkedNames array: [first, first + count).
struct Range {
    int first = 0;
    int count = 0;
};

struct LinkedName {
    int row = 0;                   // the name's first record: its text is that row's Name
    Range bans;                    // in LinkedNames::rows, in table order
    int firstRow = 0, lastRow = 0; // the records with its earliest and latest ban date
    bool stillValid = false;       // any of its bans still valid
};

struct LinkedKey {
    LinkKind kind = LinkKind::Mid;
    int row = 0; // a record carrying it: its text is that row's field, trimmed
    Range names; // in LinkedNames::keyNames: the names carrying it, in table order
};

// Evidence: the key joined the two names (indices into the group's keys and names).
struct Link {
    int key = 0;
    int first = 0;
    int second = 0;
};

// A group's parts are runs of the flat arrays of LinkedNames, so a result of thousands of groups is a handful of
// allocations, and those reuse the memory of the results released before it. Indices inside a group (a key's names, a
// link's key and names) count from the group's first.
struct LinkedGroup {
    Range names; // latest ban first
    Range keys;  // machine ids, then IPs; the most shared first
    Range links; // per key, its first name linked to each other name carrying it
    Range rows;  // every ban of its names, name by name
    bool stillValid = false;
    int lastRow = 0; // the record with the group's latest ban date
};

// An id not used as a link because too many names carry it.
struct Hub {
    LinkKind kind = LinkKind::Mid;
    int row = 0;
    int names = 0;
};

struct LinkedNames {
    KeptVector<LinkedGroup> groups; // a still-valid ban first, then the latest ban date, newest first
    std::vector<Hub> hubs;          // the most shared first
    int nameCount = 0;              // names in all groups

    KeptVector<LinkedName> names;
    KeptVector<LinkedKey> keys;
    KeptVector<int> keyNames; // indices into the key's group's names
    KeptVector<Link> links;
    KeptVector<int> rows;

    template <class T> static std::span<const T> Run(const KeptVector<T>& all, Range range) {
        return std::span<const T>(all).subspan(static_cast<std::size_t>(range.first),
                                               static_cast<std::size_t>(range.count));
    }
    std::span<const LinkedName> NamesOf(const LinkedGroup& g) const { return Run(names, g.names); }
    std::span<const LinkedKey> KeysOf(const LinkedGroup& g) const { return Run(keys, g.keys); }
    std::span<const Link> LinksOf(const LinkedGroup& g) const { return Run(links, g.links); }
    std::span<const int> RowsOf(const LinkedGroup& g) const { return Run(rows, g.rows); }
    std::span<const int> BansOf(const LinkedName& n) const { return Run(rows, n.bans); }
    std::span<const int> NamesOf(const LinkedKey& k) const { return Run(keyNames, k.names); }
};

// Groups the records in rows 2..BanRecordCount. Names compare as the name report compares them: exact text.
// Ids are compared trimmed of spaces; an empty one, a machine id that is not a number and an IP that is not a
// dotted IPv4 address are never links.
LinkedNames FindLinkedNames(const LinkedNamesOptions& options = {});

// The text of a key or hub: the row's machine id or IP, trimmed of spaces.
std::string_view KeyText(LinkKind kind, int row);

// Whether the trimmed text may serve as a link of that kind.
bool IsLinkKey(LinkKind kind, std::string_view text);

// Frees the memory kept for the next grouping: this thread's work arrays and the arrays of released results.
void ReleaseLinkedNamesMemory();

} // namespace BanHandle
