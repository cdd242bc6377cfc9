#include "tests/support/RegistryState.h"

#include "win32/ScopedHandle.h"

#include <algorithm>
#include <vector>

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueRegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view)
{
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t data[1024];
    DWORD bytes = sizeof(data);
    if (::RegGetValueW(key.Get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view)
{
    UniqueRegKey key;
    DWORD data = 0, bytes = sizeof(data);
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.Put()) != ERROR_SUCCESS
        || ::RegGetValueW(key.Get(), nullptr, name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

bool WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD data)
{
    return ::RegSetKeyValueW(root, path.c_str(), name.c_str(), REG_DWORD, &data, sizeof(data)) == ERROR_SUCCESS;
}

bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& data)
{
    UniqueRegKey key;
    return ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr)
               == ERROR_SUCCESS
           && ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)))
                  == ERROR_SUCCESS;
}

namespace {

void DumpInto(HKEY key, const std::wstring& relative, REGSAM view, std::wstring& out)
{
    out += L"[" + relative + L"]\n";
    std::vector<std::wstring> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0;
        BYTE data[2048] = {};
        DWORD bytes = sizeof(data) - sizeof(wchar_t);
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &bytes) != ERROR_SUCCESS)
            break;
        const std::wstring shown = type == REG_SZ ? reinterpret_cast<const wchar_t*>(data)
                                                  : L"(type " + std::to_wstring(type) + L")";
        values.push_back((nameLength ? std::wstring(name) : L"@") + L" = " + shown + L"\n");
    }
    std::sort(values.begin(), values.end());
    for (const auto& value : values)
        out += value;

    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name);
    }
    std::sort(subkeys.begin(), subkeys.end());
    for (const auto& name : subkeys) {
        UniqueRegKey subkey;
        if (::RegOpenKeyExW(key, name.c_str(), 0, KEY_READ | view, subkey.Put()) == ERROR_SUCCESS)
            DumpInto(subkey.Get(), relative.empty() ? name : relative + L"\\" + name, view, out);
    }
}

}  // namespace

std::wstring DumpKey(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS)
        return L"(missing)\n";
    std::wstring out;
    DumpInto(key.Get(), L"", view, out);
    return out;
}

KeyPathGuard::KeyPathGuard(HKEY root, const std::wstring& path, REGSAM view) : m_root(root), m_view(view)
{
    for (size_t separator = 0;; ++separator) {
        separator = path.find(L'\\', separator);
        const std::wstring prefix = path.substr(0, separator);
        if (!KeyExists(root, prefix, view)) {
            m_firstMissing = prefix;
            return;
        }
        if (separator == std::wstring::npos)
            return;
    }
}

KeyPathGuard::~KeyPathGuard()
{
    if (m_firstMissing.empty())
        return;
    // RegDeleteTreeW has no view of its own: it takes the one its parent key was opened in.
    const size_t separator = m_firstMissing.find_last_of(L'\\');
    if (separator == std::wstring::npos) {
        ::RegDeleteTreeW(m_root, m_firstMissing.c_str());
        return;
    }
    UniqueRegKey parent;
    if (::RegOpenKeyExW(m_root, m_firstMissing.substr(0, separator).c_str(), 0, KEY_ALL_ACCESS | m_view,
                        parent.Put())
        == ERROR_SUCCESS)
        ::RegDeleteTreeW(parent.Get(), m_firstMissing.substr(separator + 1).c_str());
}

ValueGuard::ValueGuard(HKEY root, const std::wstring& path, const std::wstring& name)
    : m_root(root), m_path(path), m_name(name)
{
    DWORD bytes = 0;
    const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (::RegGetValueW(root, path.c_str(), name.c_str(), flags, &m_type, nullptr, &bytes) != ERROR_SUCCESS)
        return;
    m_data.resize(bytes);
    m_existed = ::RegGetValueW(root, path.c_str(), name.c_str(), flags, &m_type, bytes ? &m_data[0] : nullptr,
                               &bytes)
                == ERROR_SUCCESS;
    m_data.resize(bytes);
}

ValueGuard::~ValueGuard()
{
    UniqueRegKey key;
    if (::RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS)
        return;
    if (m_existed)
        ::RegSetValueExW(key.Get(), m_name.c_str(), 0, m_type, reinterpret_cast<const BYTE*>(m_data.data()),
                         static_cast<DWORD>(m_data.size()));
    else
        ::RegDeleteValueW(key.Get(), m_name.c_str());
}
