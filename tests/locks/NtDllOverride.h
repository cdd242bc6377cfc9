#pragma once
// Swaps the bound native entry points (and the system version) for a test's own, and puts
// the real ones back afterwards.

#include "locks/INtDll.h"

class NtDllOverride {
public:
    NtDllOverride()
        : m_system(INtDll::NtQuerySystemInformation), m_object(INtDll::NtQueryObject),
          m_process(INtDll::NtQueryInformationProcess), m_bound(INtDll::EntryPointsBound),
          m_version(INtDll::OsMajorVersion)
    {
    }
    ~NtDllOverride()
    {
        INtDll::NtQuerySystemInformation = m_system;
        INtDll::NtQueryObject = m_object;
        INtDll::NtQueryInformationProcess = m_process;
        INtDll::EntryPointsBound = m_bound;
        INtDll::OsMajorVersion = m_version;
    }
    NtDllOverride(const NtDllOverride&) = delete;
    NtDllOverride& operator=(const NtDllOverride&) = delete;

    // The real entry point, for fakes that change only part of the answers.
    INtDll::NtQuerySystemInformationFn RealQuerySystemInformation() const { return m_system; }

private:
    INtDll::NtQuerySystemInformationFn m_system;
    INtDll::NtQueryObjectFn m_object;
    INtDll::NtQueryInformationProcessFn m_process;
    BOOL m_bound;
    ULONG m_version;
};
