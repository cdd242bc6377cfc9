#pragma once
// Owns a storage medium that a data object handed out: ReleaseStgMedium frees it the way its
// owner says (which may mean leaving it to the owner through pUnkForRelease).

#include <windows.h>

#include <ole2.h>

class ScopedStgMedium {
public:
    ScopedStgMedium() noexcept = default;
    ~ScopedStgMedium() { Reset(); }
    ScopedStgMedium(const ScopedStgMedium&) = delete;
    ScopedStgMedium& operator=(const ScopedStgMedium&) = delete;

    const STGMEDIUM& Get() const noexcept { return m_medium; }

    // For IDataObject::GetData: releases what is held and hands out the slot.
    STGMEDIUM* Put() noexcept
    {
        Reset();
        return &m_medium;
    }

    void Reset() noexcept
    {
        if (m_medium.tymed != TYMED_NULL || m_medium.pUnkForRelease)
            ::ReleaseStgMedium(&m_medium);
        m_medium = STGMEDIUM{};
    }

private:
    STGMEDIUM m_medium = {};
};
