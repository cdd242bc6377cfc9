#include "com/ClassFactory.h"

CComClassFactory::CComClassFactory(ComCreatorFunction create) noexcept : m_create(create)
{
    // A client may keep a class object without calling LockServer; the DLL must stay loaded
    // until it lets go, or its next call would land in unmapped code.
    g_module.Lock();
}

CComClassFactory::~CComClassFactory()
{
    g_module.Unlock();
}

STDMETHODIMP CComClassFactory::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IClassFactory))) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CComClassFactory::AddRef() noexcept
{
    return ++m_refCount;
}

STDMETHODIMP_(ULONG) CComClassFactory::Release() noexcept
{
    const ULONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept
{
    return m_create(outer, iid, object);
}

STDMETHODIMP CComClassFactory::LockServer(BOOL lock) noexcept
{
    if (lock)
        g_module.Lock();
    else
        g_module.Unlock();
    return S_OK;
}
