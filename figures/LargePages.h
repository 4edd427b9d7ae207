#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

// Room for count elements in an empty vector, offered to the kernel for large pages before it
// is first touched. Filling tens of megabytes of fresh memory then costs a few dozen page
// faults instead of tens of thousands, which on a virtual machine is most of the time spent on
// a large picture. Elsewhere than on Linux this only reserves.
template <typename T>
void reserveOnLargePages(std::vector<T>& vector, std::size_t count) {
    vector.reserve(count);
#ifdef __linux__
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(vector.data());
    const std::uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (start + count * sizeof(T)) & ~(kLargePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}
