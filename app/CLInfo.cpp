#include "app/CLInfo.h"

void CCLInfo::ParseParam(const wchar_t* param, BOOL, BOOL)
{
    m_strPath = param ? param : L"";
}
