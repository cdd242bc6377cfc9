#pragma once
// Bases for a COM class, in the shape the extension's class is written against:
//   class CX : public CComObjectRootEx<CComSingleThreadModel>,
//              public CComCoClass<CX, &CLSID_X>, public IA, public IB {
//       using InterfaceMap = ComInterfaces<IA, IB>;
//   };
// CX declares the interfaces' methods but not IUnknown's: CComPolyObject<CX> adds those, for an
// object of its own as well as for one aggregated into an outer object.

#include "com/ComModule.h"

#include <windows.h>

#include <unknwn.h>

#include <new>

// Objects used only from the thread of the apartment that made them: plain counting.
struct CComSingleThreadModel {
    static ULONG Increment(ULONG& value) noexcept { return ++value; }
    static ULONG Decrement(ULONG& value) noexcept { return --value; }
};

template <class ThreadModel>
class CComObjectRootEx {
protected:
    ULONG InternalAddRef() noexcept { return ThreadModel::Increment(m_refCount); }
    ULONG InternalRelease() noexcept { return ThreadModel::Decrement(m_refCount); }

private:
    ULONG m_refCount = 0;
};

// The interfaces an object answers QueryInterface for, besides IUnknown.
template <class... Interfaces>
struct ComInterfaces {
    template <class T>
    static void* Find(T* object, REFIID iid) noexcept
    {
        void* found = nullptr;
        (void)((IsEqualIID(iid, __uuidof(Interfaces)) && (found = static_cast<Interfaces*>(object), true)) || ...);
        return found;
    }
};

// The object itself. Its IUnknown identity is the inner, non-delegating unknown; every
// interface's IUnknown methods go to the outer object when aggregated and to that inner
// unknown otherwise, so one class serves both cases.
template <class T>
class CComPolyObject final : public T {
public:
    explicit CComPolyObject(IUnknown* outer) noexcept : m_inner(this), m_outer(outer ? outer : &m_inner)
    {
        g_module.Lock();
    }
    ~CComPolyObject() { g_module.Unlock(); }
    CComPolyObject(const CComPolyObject&) = delete;
    CComPolyObject& operator=(const CComPolyObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) noexcept override
    {
        return m_outer->QueryInterface(iid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return m_outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return m_outer->Release(); }

    IUnknown* GetInner() noexcept { return &m_inner; }

private:
    class CInnerUnknown final : public IUnknown {
    public:
        explicit CInnerUnknown(CComPolyObject* owner) noexcept : m_owner(owner) {}

        STDMETHODIMP QueryInterface(REFIID iid, void** object) noexcept override
        {
            if (!object)
                return E_POINTER;
            void* found = IsEqualIID(iid, __uuidof(IUnknown))
                              ? static_cast<IUnknown*>(this)
                              : T::InterfaceMap::Find(static_cast<T*>(m_owner), iid);
            *object = found;
            if (!found)
                return E_NOINTERFACE;
            static_cast<IUnknown*>(found)->AddRef();
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() noexcept override { return m_owner->InternalAddRef(); }
        STDMETHODIMP_(ULONG) Release() noexcept override
        {
            const ULONG count = m_owner->InternalRelease();
            if (count == 0)
                delete m_owner;
            return count;
        }

    private:
        CComPolyObject* m_owner;
    };

    CInnerUnknown m_inner;
    IUnknown* m_outer;
};

template <class T, const CLSID* pclsid>
class CComCoClass {
public:
    // The class's line in the module's object map.
    static constexpr ObjectMapEntry ObjectEntry(UINT registryScriptId) noexcept
    {
        return {pclsid, &CreateInstance, registryScriptId};
    }

    // The class factory's CreateInstance. An outer object may only ask for IUnknown: that is
    // the one pointer through which it can reach the inner object's own identity.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer && !IsEqualIID(iid, __uuidof(IUnknown)))
            return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) CComPolyObject<T>(outer);
        if (!created)
            return E_OUTOFMEMORY;
        // The extra reference deletes the object when the query fails.
        IUnknown* inner = created->GetInner();
        inner->AddRef();
        const HRESULT result = inner->QueryInterface(iid, object);
        inner->Release();
        return result;
    }
};
