#pragma once
// Owns one reference to a COM interface. Move-only, like the handle owners: a copy would be
// one more AddRef to keep track of, and nothing here needs one.

#include <windows.h>

#include <unknwn.h>

#include <utility>

template <class T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    ~CComPtr() { Reset(); }

    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_ptr(other.Detach()) {}
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    T* Get() const noexcept { return m_ptr; }
    T* operator->() const noexcept { return m_ptr; }
    explicit operator bool() const noexcept { return m_ptr != nullptr; }

    // Takes over a reference that the caller already owns.
    void Attach(T* ptr) noexcept
    {
        T* old = std::exchange(m_ptr, ptr);
        if (old)
            old->Release();
    }
    T* Detach() noexcept { return std::exchange(m_ptr, nullptr); }
    void Reset() noexcept { Attach(nullptr); }

    // For out-parameters (with IID_PPV_ARGS where the callee takes an interface id).
    T** Put() noexcept
    {
        Reset();
        return &m_ptr;
    }

    // QueryInterface into a new owner; empty when the object has no such interface.
    template <class U>
    CComPtr<U> As() const noexcept
    {
        CComPtr<U> result;
        if (m_ptr)
            m_ptr->QueryInterface(IID_PPV_ARGS(result.Put()));
        return result;
    }

private:
    T* m_ptr = nullptr;
};
