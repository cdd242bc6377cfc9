#pragma once
// The in-process server's module object: its lock count (what DllCanUnloadNow answers from),
// its object map, and registration of the map's classes from their "REGISTRY" scripts.

#include "com/RegistrarScript.h"

#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <cstddef>

// Makes one object of a class; CComCoClass<T>::CreateInstance has this shape.
using ComCreatorFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct ObjectMapEntry {
    const CLSID* clsid;
    ComCreatorFunction create;
    UINT registryScriptId;  // resource of type "REGISTRY" in the module
};

class CComModule {
public:
    template <size_t N>
    void Init(const ObjectMapEntry (&map)[N], HINSTANCE instance) noexcept
    {
        m_map = map;
        m_mapSize = N;
        m_instance = instance;
    }

    // Every live object, class factory and server lock holds the module.
    LONG Lock() noexcept { return ++m_lockCount; }
    LONG Unlock() noexcept { return --m_lockCount; }
    LONG GetLockCount() const noexcept { return m_lockCount; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept;
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

private:
    HRESULT UpdateRegistry(RegistrarMode mode) noexcept;

    const ObjectMapEntry* m_map = nullptr;
    size_t m_mapSize = 0;
    HINSTANCE m_instance = nullptr;
    std::atomic<LONG> m_lockCount{0};
};

// The one module object of the DLL that links this library.
extern CComModule g_module;
