#include "com/ComModule.h"

#include "com/ClassFactory.h"
#include "com/ComPtr.h"
#include "com/Registrar.h"

#include <new>

CComModule g_module;

HRESULT CComModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (size_t i = 0; i < m_mapSize; ++i) {
        if (!IsEqualCLSID(clsid, *m_map[i].clsid))
            continue;
        auto* created = new (std::nothrow) CComClassFactory(m_map[i].create);
        if (!created)
            return E_OUTOFMEMORY;
        created->AddRef();
        CComPtr<IClassFactory> factory;
        factory.Attach(created);
        return factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CComModule::RegisterServer() noexcept
{
    return UpdateRegistry(RegistrarMode::Register);
}

HRESULT CComModule::UnregisterServer() noexcept
{
    return UpdateRegistry(RegistrarMode::Unregister);
}

HRESULT CComModule::UpdateRegistry(RegistrarMode mode) noexcept
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(m_instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    try {
        const std::vector<RegistrarReplacement> replacements = {{L"MODULE", path}, {L"Module_Raw", path}};
        for (size_t i = 0; i < m_mapSize; ++i) {
            const HRESULT result =
                UpdateRegistryFromResource(m_instance, m_map[i].registryScriptId, mode, replacements);
            if (FAILED(result))
                return result;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
