#pragma once
// Move-only owners for the system's handle kinds: one template, one traits type per kind,
// so that no exit path needs its own close call.

#include <windows.h>
#include <commctrl.h>

#include <utility>

template <class Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept : m_handle(Traits::Empty()) {}
    explicit ScopedHandle(Handle handle) noexcept : m_handle(handle) {}
    ~ScopedHandle() { Reset(); }

    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_handle; }
    bool IsValid() const noexcept { return m_handle != Traits::Empty(); }
    explicit operator bool() const noexcept { return IsValid(); }

    Handle Release() noexcept { return std::exchange(m_handle, Traits::Empty()); }

    void Reset(Handle handle = Traits::Empty()) noexcept
    {
        Handle old = std::exchange(m_handle, handle);
        if (old != Traits::Empty())
            Traits::Close(old);
    }

    // For out-parameters: closes what is held and hands out the slot.
    Handle* Put() noexcept
    {
        Reset();
        return &m_handle;
    }

private:
    Handle m_handle;
};

// Process, thread, event and duplicated handles: failure is NULL.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// CreateFileW: failure is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::RegCloseKey(h); }
};

// LoadLibraryW: a loaded module stays until its last FreeLibrary.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::FreeLibrary(h); }
};

// Fonts, bitmaps, brushes: whatever DeleteObject releases. The object must not be selected
// into a device context when its owner goes.
template <class GdiHandle>
struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteObject(h); }
};

// CreateCompatibleDC; a DC from GetDC goes back with ReleaseDC instead.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeleteDC(h); }
};

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::ImageList_Destroy(h); }
};

// A menu that is not attached to a window (attached menus go with their window).
struct MenuTraits {
    using Handle = HMENU;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DestroyMenu(h); }
};

// GlobalAlloc memory that has not been handed to a new owner (a clipboard or a storage medium).
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::GlobalFree(h); }
};

// RegisterEventSourceW: failure is NULL.
struct EventSourceTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::DeregisterEventSource(h); }
};

using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueFile = ScopedHandle<FileHandleTraits>;
using UniqueFindHandle = ScopedHandle<FindHandleTraits>;
using UniqueRegKey = ScopedHandle<RegistryKeyTraits>;
using UniqueFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using UniqueBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using UniqueMemoryDc = ScopedHandle<MemoryDcTraits>;
using UniqueImageList = ScopedHandle<ImageListTraits>;
using UniqueModule = ScopedHandle<ModuleTraits>;
using UniqueMenu = ScopedHandle<MenuTraits>;
using UniqueGlobal = ScopedHandle<GlobalMemoryTraits>;
using UniqueEventSource = ScopedHandle<EventSourceTraits>;
