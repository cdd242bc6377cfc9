#pragma once
// Runs registrar scripts against the registry of the calling process's own view.

#include "com/RegistrarScript.h"

#include <windows.h>

#include <string_view>
#include <vector>

// Parses the whole script before the first write: a script that does not parse writes
// nothing. Stops at the first operation that fails and returns its error.
HRESULT UpdateRegistryFromScript(std::wstring_view script, RegistrarMode mode,
                                 const std::vector<RegistrarReplacement>& replacements) noexcept;

// The script is resource `id` of type "REGISTRY" in `module`, as UTF-8 (plain ASCII in practice).
HRESULT UpdateRegistryFromResource(HINSTANCE module, UINT id, RegistrarMode mode,
                                   const std::vector<RegistrarReplacement>& replacements) noexcept;
