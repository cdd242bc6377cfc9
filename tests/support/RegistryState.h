#pragma once
// Reading registry state back in tests, and putting back what a test changed.

#include <windows.h>

#include <optional>
#include <string>

// `view` is 0 for the process's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// A REG_SZ value; nothing where the key or value is missing or of another type.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const std::wstring& name,
                                       REGSAM view = 0);
// A REG_DWORD value; nothing where the key or value is missing or of another type.
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view = 0);
// Both create the key where needed.
bool WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD data);
bool WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& data);
// The key and everything below it as text, one line per key ("[relative path]") and per value
// ("name = data", "@" for the default), keys and values sorted, paths relative to `path`.
std::wstring DumpKey(HKEY root, const std::wstring& path, REGSAM view = 0);

// Removes, when it goes, the part of a key path that did not exist when it was made, with
// everything a test put below it.
class KeyPathGuard {
public:
    KeyPathGuard(HKEY root, const std::wstring& path, REGSAM view = 0);
    ~KeyPathGuard();
    KeyPathGuard(const KeyPathGuard&) = delete;
    KeyPathGuard& operator=(const KeyPathGuard&) = delete;

private:
    HKEY m_root;
    REGSAM m_view;
    std::wstring m_firstMissing;
};

// Puts a value back as it was when the guard was made: its type and data, or its absence.
class ValueGuard {
public:
    ValueGuard(HKEY root, const std::wstring& path, const std::wstring& name);
    ~ValueGuard();
    ValueGuard(const ValueGuard&) = delete;
    ValueGuard& operator=(const ValueGuard&) = delete;

private:
    HKEY m_root;
    std::wstring m_path;
    std::wstring m_name;
    bool m_existed = false;
    DWORD m_type = 0;
    std::string m_data;
};
