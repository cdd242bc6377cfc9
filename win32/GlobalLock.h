#pragma once
// Keeps a movable global memory block locked for the life of a scope: the pointer is only
// valid while the lock is held, and an early return must not leave the block locked.

#include <windows.h>

#include <cstddef>

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) noexcept
        : m_block(block), m_data(block ? ::GlobalLock(block) : nullptr), m_size(m_data ? ::GlobalSize(block) : 0)
    {
    }
    ~GlobalLockGuard()
    {
        if (m_data)
            ::GlobalUnlock(m_block);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

    explicit operator bool() const noexcept { return m_data != nullptr; }
    void* Data() const noexcept { return m_data; }
    // The block's size as the system reports it, which may exceed what was asked for.
    size_t Size() const noexcept { return m_size; }

private:
    HGLOBAL m_block;
    void* m_data;
    size_t m_size;
};
