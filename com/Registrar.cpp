#include "com/Registrar.h"

#include "win32/ScopedHandle.h"

#include <climits>
#include <new>
#include <string>

namespace {

HKEY RootKey(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    default:
        return HKEY_USERS;
    }
}

LSTATUS IgnoreMissing(LSTATUS status)
{
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS Apply(const RegistryOperation& operation)
{
    const HKEY root = RootKey(operation.root);
    const wchar_t* path = operation.path.c_str();
    UniqueRegKey key;
    switch (operation.kind) {
    case RegistryOperation::DeleteTree:
        return IgnoreMissing(::RegDeleteTreeW(root, path));
    case RegistryOperation::CreateKey:
        return ::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, key.Put(), nullptr);
    case RegistryOperation::SetString: {
        LSTATUS status = ::RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, key.Put());
        if (status != ERROR_SUCCESS)
            return status;
        const DWORD bytes = static_cast<DWORD>((operation.data.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(key.Get(), operation.valueName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(operation.data.c_str()), bytes);
    }
    case RegistryOperation::DeleteValue: {
        LSTATUS status = ::RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, key.Put());
        if (status != ERROR_SUCCESS)
            return IgnoreMissing(status);
        return IgnoreMissing(::RegDeleteValueW(key.Get(), operation.valueName.c_str()));
    }
    case RegistryOperation::DeleteKeyIfEmpty: {
        LSTATUS status = ::RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, key.Put());
        if (status != ERROR_SUCCESS)
            return IgnoreMissing(status);
        DWORD subkeys = 0, values = 0;
        status = ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                    nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS || subkeys != 0 || values != 0)
            return status;
        key.Reset();
        return IgnoreMissing(::RegDeleteKeyW(root, path));
    }
    }
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

HRESULT UpdateRegistryFromScript(std::wstring_view script, RegistrarMode mode,
                                 const std::vector<RegistrarReplacement>& replacements) noexcept
{
    try {
        const RegistrarParseResult parsed = ParseRegistrarScript(script, replacements);
        if (!parsed.ok) {
            // regsvr32 shows only the result code; a debugger shows what was wrong.
            ::OutputDebugStringW((L"registrar script: " + parsed.error + L"\n").c_str());
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        for (const auto& operation : PlanRegistryUpdate(parsed.roots, mode)) {
            const LSTATUS status = Apply(operation);
            if (status != ERROR_SUCCESS)
                return HRESULT_FROM_WIN32(status);
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT id, RegistrarMode mode,
                                   const std::vector<RegistrarReplacement>& replacements) noexcept
{
    const HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    const HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    const DWORD size = resource ? ::SizeofResource(module, resource) : 0;
    if (!bytes || size > INT_MAX)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    try {
        std::wstring text;
        if (size != 0) {
            const int length =
                ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), nullptr, 0);
            if (length == 0)
                return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            text.resize(length);
            ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), &text[0], length);
        }
        return UpdateRegistryFromScript(text, mode, replacements);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
