#pragma once
// The class object handed out by DllGetClassObject for one object map entry.

#include "com/ComModule.h"

#include <windows.h>

#include <unknwn.h>

#include <atomic>

class CComClassFactory final : public IClassFactory {
public:
    explicit CComClassFactory(ComCreatorFunction create) noexcept;
    ~CComClassFactory();
    CComClassFactory(const CComClassFactory&) = delete;
    CComClassFactory& operator=(const CComClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) noexcept override;
    STDMETHODIMP_(ULONG) AddRef() noexcept override;
    STDMETHODIMP_(ULONG) Release() noexcept override;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
    STDMETHODIMP LockServer(BOOL lock) noexcept override;

private:
    // Class objects may be used from any apartment's thread, unlike the objects they make.
    std::atomic<ULONG> m_refCount{0};
    ComCreatorFunction m_create;
};
