#include "tests/shellext/DropDataObject.h"

#include "win32/GlobalLock.h"
#include "win32/ScopedHandle.h"

#include <shlobj.h>

#include <cstring>

std::vector<unsigned char> DropFilesBlock(const std::vector<std::wstring>& paths, bool wide)
{
    DROPFILES header = {};
    header.pFiles = sizeof(header);
    header.fWide = wide;
    std::vector<unsigned char> block(sizeof(header));
    std::memcpy(block.data(), &header, sizeof(header));
    auto append = [&](const std::wstring& text) {
        for (wchar_t c : text) {
            block.push_back(static_cast<unsigned char>(c & 0xFF));
            if (wide)
                block.push_back(static_cast<unsigned char>(c >> 8));
        }
        block.insert(block.end(), wide ? 2 : 1, 0);
    };
    for (const auto& path : paths)
        append(path);
    append(L"");
    return block;
}

namespace {

class DropDataObject final : public IDataObject {
public:
    explicit DropDataObject(std::vector<unsigned char> block) : m_block(std::move(block)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        const HRESULT offered = QueryGetData(format);
        if (offered != S_OK)
            return offered;
        UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, m_block.size()));
        if (!memory)
            return E_OUTOFMEMORY;
        {
            const GlobalLockGuard lock(memory.Get());
            std::memcpy(lock.Data(), m_block.data(), m_block.size());
        }
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory.Release();
        return S_OK;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        if (m_block.empty() || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG m_refCount = 0;
    std::vector<unsigned char> m_block;
};

}  // namespace

CComPtr<IDataObject> MakeDropDataObject(std::vector<unsigned char> block)
{
    auto* created = new DropDataObject(std::move(block));
    created->AddRef();
    CComPtr<IDataObject> object;
    object.Attach(created);
    return object;
}

CComPtr<IDataObject> MakeDropDataObject(const std::vector<std::wstring>& paths)
{
    return MakeDropDataObject(DropFilesBlock(paths));
}
