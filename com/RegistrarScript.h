#pragma once
// The registrar's script language, read into a tree and turned into a list of registry
// operations without touching the registry, so that a script that does not parse writes
// nothing at all. The grammar:
//
//   script := root*
//   root   := (HKCR | HKCU | HKLM | HKU | HKEY_...) '{' item* '}'
//   item   := [NoRemove | ForceRemove] name ['=' value] ['{' item* '}']
//           | val name '=' value
//   value  := s 'text'
//
// Words are separated by blanks; a name is a word or a quoted text; in quoted text '' stands
// for one quote. %NAME% is replaced by the caller's value for NAME and %% by %.

#include <string>
#include <string_view>
#include <vector>

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

enum class KeyFlag {
    None,         // created when registering; removed when unregistering if left empty
    NoRemove,     // created when registering; never removed
    ForceRemove,  // removed with its subtree before registering and when unregistering
};

struct RegistrarValue {
    std::wstring name;  // empty: the key's default value
    std::wstring data;
};

struct RegistrarKey {
    std::wstring name;
    KeyFlag flag = KeyFlag::None;
    std::vector<RegistrarValue> values;
    std::vector<RegistrarKey> subkeys;
};

struct RegistrarRoot {
    RegistryRoot root;
    std::vector<RegistrarKey> subkeys;
};

struct RegistrarReplacement {
    std::wstring name;
    std::wstring value;
};

struct RegistrarParseResult {
    bool ok = false;
    std::wstring error;  // "line N: what is wrong", when not ok
    std::vector<RegistrarRoot> roots;
};

// Throws only std::bad_alloc.
RegistrarParseResult ParseRegistrarScript(std::wstring_view text,
                                          const std::vector<RegistrarReplacement>& replacements);

enum class RegistrarMode { Register, Unregister };

struct RegistryOperation {
    enum Kind {
        DeleteTree,        // the key and everything below it; a missing key is no failure
        CreateKey,         // opens it where it exists
        SetString,         // REG_SZ value
        DeleteValue,       // a missing key or value is no failure
        DeleteKeyIfEmpty,  // only when it has neither subkeys nor values
    };
    Kind kind;
    RegistryRoot root;
    std::wstring path;  // below the root, never empty
    std::wstring valueName;
    std::wstring data;
};

// Registering walks each key before its subkeys; unregistering walks subkeys first, so that a
// key is looked at for emptiness after everything below it has gone. Throws only std::bad_alloc.
std::vector<RegistryOperation> PlanRegistryUpdate(const std::vector<RegistrarRoot>& roots, RegistrarMode mode);
