#pragma once

#include "framework/WinApp.h"

#include <string>

// The program's command line: the erase target, "/list <file>" with a list of targets, or
// "/wipefree <drive>" for a wipe of the drive's free space. Every other argument replaces the one
// before, so the target is the last one (without a leading "-" or "/").
class CCLInfo : public CCommandLineInfo {
public:
    void ParseParam(const wchar_t* param, BOOL flag, BOOL last) override;
    std::wstring GetPath() const { return m_strPath; }
    std::wstring GetListFile() const { return m_strListFile; }

    std::wstring m_strPath;
    std::wstring m_strListFile;
    // Set by "/wipefree", with the drive that follows it (empty when none does).
    bool m_wipeFree = false;
    std::wstring m_strWipeDrive;

private:
    bool m_listFileFollows = false;
    bool m_wipeDriveFollows = false;
};
