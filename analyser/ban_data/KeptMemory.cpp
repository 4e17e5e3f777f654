#include "KeptMemory.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <utility>

namespace BanHandle::kept_memory {
namespace {

// Smaller arrays come and go through the heap as usual.
constexpr std::size_t Small = 64 * 1024;
// About three results at capacity; past that, released arrays go back to the system.
constexpr std::size_t MostKept = 16 * 1024 * 1024;
// A large block starts with its size, so that a block reused for a smaller array is given back whole.
constexpr std::size_t Header = alignof(std::max_align_t);

struct Block {
    void* start = nullptr;
    std::size_t bytes = 0;
};

struct Kept {
    std::mutex lock;
    std::array<Block, 32> blocks{};
    std::size_t total = 0;
};

// Never destroyed: a result may outlive the statics.
Kept& TheKept() {
    static Kept* const kept = new Kept;
    return *kept;
}

} // namespace

void* Take(std::size_t bytes) {
    if (bytes < Small) {
        return ::operator new(bytes);
    }
    {
        Kept& kept = TheKept();
        const std::lock_guard guard(kept.lock);
        // The smallest kept block that holds the array without wasting more than half of itself.
        Block* best = nullptr;
        for (Block& block : kept.blocks) {
            if (block.start != nullptr && block.bytes >= bytes && block.bytes / 2 <= bytes &&
                (best == nullptr || block.bytes < best->bytes)) {
                best = &block;
            }
        }
        if (best != nullptr) {
            kept.total -= best->bytes;
            return static_cast<char*>(std::exchange(best->start, nullptr)) + Header;
        }
    }
    char* const start = static_cast<char*>(::operator new(bytes + Header));
    new (start) std::size_t(bytes);
    return start + Header;
}

void Give(void* array, std::size_t bytes) noexcept {
    if (array == nullptr) {
        return;
    }
    if (bytes < Small) {
        ::operator delete(array);
        return;
    }
    void* const start = static_cast<char*>(array) - Header;
    Block given{start, *static_cast<std::size_t*>(start)};
    {
        Kept& kept = TheKept();
        const std::lock_guard guard(kept.lock);
        if (kept.total + given.bytes <= MostKept) {
            const auto free =
                std::find_if(kept.blocks.begin(), kept.blocks.end(), [](const Block& b) { return b.start == nullptr; });
            if (free != kept.blocks.end()) {
                *free = given;
                kept.total += given.bytes;
                return;
            }
        }
    }
    ::operator delete(start);
}

void Release() noexcept {
    Kept& kept = TheKept();
    const std::lock_guard guard(kept.lock);
    for (Block& block : kept.blocks) {
        ::operator delete(std::exchange(block.start, nullptr));
    }
    kept.total = 0;
}

} // namespace BanHandle::kept_memory
