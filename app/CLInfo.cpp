#include "app/CLInfo.h"

#include <cwchar>

void CCLInfo::ParseParam(const wchar_t* param, BOOL flag, BOOL)
{
    const wchar_t* text = param ? param : L"";
    if (m_listFileFollows) {
        m_strListFile = text;
        m_listFileFollows = false;
    } else if (m_wipeDriveFollows) {
        m_strWipeDrive = text;
        m_wipeDriveFollows = false;
    } else if (flag && ::_wcsicmp(text, L"list") == 0) {
        m_listFileFollows = true;
    } else if (flag && ::_wcsicmp(text, L"wipefree") == 0) {
        m_wipeFree = true;
        m_wipeDriveFollows = true;
    } else {
        m_strPath = text;
    }
}
