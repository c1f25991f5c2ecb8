#include "host/platform/large_memory.h"

#include <windows.h>

#include <utility>

namespace host {

// Committed pages come zero-filled. Large pages need a privilege the updater does not ask for,
// so the block is made of ordinary pages.
LargeMemory::LargeMemory(std::size_t size) : m_size(size) {
    void* p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (p == nullptr) {
        m_size = 0;
        return;
    }
    m_data = static_cast<std::uint8_t*>(p);
    m_mapped = size;
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
    if (m_data != nullptr) VirtualFree(m_data, 0, MEM_RELEASE);
    m_data = nullptr;
    m_size = m_mapped = 0;
}

}  // namespace host
