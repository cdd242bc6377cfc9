#pragma once
// Page-granular memory from VirtualAlloc, for the large system tables that are filled,
// read once and given back at once instead of sitting in the general heap.

#include <windows.h>

#include <cstddef>
#include <utility>

class VirtualBuffer {
public:
    VirtualBuffer() = default;
    ~VirtualBuffer() { Free(); }

    VirtualBuffer(const VirtualBuffer&) = delete;
    VirtualBuffer& operator=(const VirtualBuffer&) = delete;
    VirtualBuffer(VirtualBuffer&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
    {
    }
    VirtualBuffer& operator=(VirtualBuffer&& other) noexcept
    {
        if (this != &other) {
            Free();
            m_data = std::exchange(other.m_data, nullptr);
            m_size = std::exchange(other.m_size, 0);
        }
        return *this;
    }

    // Replaces the buffer by a new committed read/write one; false leaves it empty.
    bool Allocate(size_t size) noexcept
    {
        Free();
        m_data = ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        m_size = m_data ? size : 0;
        return m_data != nullptr;
    }

    void Free() noexcept
    {
        if (m_data)
            ::VirtualFree(m_data, 0, MEM_RELEASE);
        m_data = nullptr;
        m_size = 0;
    }

    void* Data() const noexcept { return m_data; }
    size_t Size() const noexcept { return m_size; }

private:
    void* m_data = nullptr;
    size_t m_size = 0;
};
