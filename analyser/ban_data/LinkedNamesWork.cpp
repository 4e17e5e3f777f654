#include "LinkedNamesWork.h"

#include "Declares.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace BanHandle::linked_work {
namespace {

constexpr std::uint64_t LongMark = ~std::uint64_t{0};

// splitmix64's finaliser: every bit of the input stirs every bit of the output.
std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9U;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebU;
    return x ^ (x >> 31);
}

std::uint64_t Hash(const PackedKey& key) {
    return Mix(key.first ^ Mix(key.second));
}

PackedKey Pack(std::string_view text) {
    PackedKey key;
    if (text.size() > 16) {
        return {std::hash<std::string_view>()(text), LongMark};
    }
    char bytes[16] = {};
    std::memcpy(bytes, text.data(), text.size());
    std::memcpy(&key.first, bytes, 8);
    std::memcpy(&key.second, bytes + 8, 8);
    return key;
}

} // namespace

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

std::uint64_t Hash(const DateKey& date) {
    return Mix(date.high ^ Mix(date.low));
}

static_assert(Declares::BanTableRows <= Slots::MostValues);

void Slots::Reset(std::size_t values) {
    std::size_t capacity = 16;
    while (capacity < 2 * values) {
        capacity *= 2;
    }
    slots_.assign(capacity, 0);
    mask_ = capacity - 1;
}

void KeyColumn::Start(int last) {
    slots.Reset(static_cast<std::size_t>(last));
    // Room for every row, so that no array grows by copying; pages are touched only as they fill.
    values.clear();
    values.reserve(static_cast<std::size_t>(last));
    firstRow.clear();
    firstRow.reserve(static_cast<std::size_t>(last));
    rowCount.clear();
    rowCount.reserve(static_cast<std::size_t>(last));
    names.reserve(static_cast<std::size_t>(last));
    ofRow.assign(static_cast<std::size_t>(last) + 1, -1);
}

void KeyColumn::Add(int row, std::string_view text) {
    if (!IsLinkKey(kind, text)) {
        return;
    }
    const PackedKey value = Pack(text);
    const int k = slots.Find(Hash(value), Count(), [&](int known) {
        return At(values, known) == value && (value.second != LongMark || KeyText(kind, At(firstRow, known)) == text);
    });
    if (k == Count()) {
        values.push_back(value);
        firstRow.push_back(row);
        rowCount.push_back(0);
    }
    ++At(rowCount, k);
    At(ofRow, row) = k;
}

void Workspace::Start(int last, bool byIp) {
    nameSlots.Reset(static_cast<std::size_t>(last));
    names.clear();
    names.reserve(static_cast<std::size_t>(last));
    nameOf.resize(static_cast<std::size_t>(last) + 1);
    date.resize(static_cast<std::size_t>(last) + 1);
    mid.Start(last);
    if (byIp) {
        ip.Start(last);
    }
}

int Workspace::NumberName(int row, const std::string& name) {
    const std::uint64_t hash = std::hash<std::string_view>()(name);
    const int next = static_cast<int>(names.size());
    // A tag that matches but a name that differs is rare: the text is compared only then and on a repeat.
    const int n = nameSlots.Find(hash, next, [&](int known) {
        return Declares::BanRecordTable[static_cast<std::size_t>(At(names, known).row)].Name == name;
    });
    if (n == next) {
        names.push_back({row, 0, row, row, false});
    }
    At(nameOf, row) = n;
    return n;
}

} // namespace BanHandle::linked_work
