#include "host/platform/large_memory.h"

#include <sys/mman.h>

#include <utility>

namespace host {

namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
}

LargeMemory::LargeMemory(std::size_t size) : m_size(size) {
    // Anonymous mappings come zero-filled. One huge page more lets the block start on a
    // huge-page boundary, so that the kernel can back all of it with huge pages.
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t mapped = rounded + kHugePage;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        m_size = 0;
        return;
    }
    auto* base = static_cast<std::uint8_t*>(p);
    const auto addr = reinterpret_cast<std::uintptr_t>(base);
    const std::size_t lead = (kHugePage - addr % kHugePage) % kHugePage;
    if (lead > 0) munmap(base, lead);
    const std::size_t tail = mapped - lead - rounded;
    if (tail > 0) munmap(base + lead + rounded, tail);
    m_data = base + lead;
    m_mapped = rounded;
#ifdef MADV_HUGEPAGE
    madvise(m_data, m_mapped, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
#endif
}

LargeMemory::~LargeMemory() {
    release();
}

LargeMemory::LargeMemory(LargeMemory&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)) {}

LargeMemory& LargeMemory::operator=(LargeMemory&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
    }
    return *this;
}

void LargeMemory::release() {
    if (m_data != nullptr) munmap(m_data, m_mapped);
    m_data = nullptr;
    m_size = m_mapped = 0;
}

}  // namespace host
