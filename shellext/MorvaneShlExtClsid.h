#pragma once
// The extension's class identifier, shared by the DLL and the tests that create it.

#include <windows.h>

inline constexpr CLSID CLSID_MorvaneShlExt = {
    0x4F27A0C3, 0x9B1E, 0x4d52, {0xA7, 0xE8, 0x3C, 0x61, 0xD0, 0xF5, 0x9B, 0x24}};

// In the letter case that the registration script and the approval value are written in.
inline constexpr wchar_t kMorvaneShlExtClsidText[] = L"{4F27A0C3-9B1E-4d52-A7E8-3C61D0F59B24}";
