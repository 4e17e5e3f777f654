// Memory for large result arrays that is kept when a result is released, so that the next result of about the
// same size reuses pages already mapped in. On a small machine faulting fresh pages in costs more than building
// the linked-name groups does.
#pragma once

#include <cstddef>
#include <vector>

namespace BanHandle {

namespace kept_memory {
void* Take(std::size_t bytes);
void Give(void* block, std::size_t bytes) noexcept;
// Frees every block kept.
void Release() noexcept;
} // namespace kept_memory

template <class T> struct KeptAllocator {
    using value_type = T;
    KeptAllocator() = default;
    template <class U> KeptAllocator(const KeptAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(kept_memory::Take(n * sizeof(T))); }
    void deallocate(T* block, std::size_t n) noexcept { kept_memory::Give(block, n * sizeof(T)); }
    template <class U> bool operator==(const KeptAllocator<U>&) const noexcept { return true; }
};

template <class T> using KeptVector = std::vector<T, KeptAllocator<T>>;

} // namespace BanHandle
