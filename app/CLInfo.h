#pragma once

#include "framework/WinApp.h"

#include <string>

// The program's command line: one optional argument, the erase target. Every argument
// replaces the one before, so the target is the last one (without a leading "-" or "/").
class CCLInfo : public CCommandLineInfo {
public:
    void ParseParam(const wchar_t* param, BOOL flag, BOOL last) override;
    std::wstring GetPath() const { return m_strPath; }

    std::wstring m_strPath;
};
