#include "wipe/WipeNotice.h"

namespace {

EraseNotice RootNotice(WipeNoticeType type, const std::wstring& root, int32_t code)
{
    return EraseNotice{type, root.c_str(), nullptr, 0, 0, code};
}

} // namespace

EraseNotice WipePhaseNotice(const std::wstring& root, WipePhase phase)
{
    return RootNotice(WipePhaseStarted, root, phase);
}

EraseNotice WipeFreeSpaceNotice(const std::wstring& root, FreeSpaceMoment moment, ULONGLONG bytes)
{
    EraseNotice notice = RootNotice(WipeFreeSpace, root, moment);
    notice.count = {0, bytes, true};
    return notice;
}

EraseNotice WipeIncompleteNotice(const std::wstring& root, ULONGLONG fillFilesSkipped)
{
    EraseNotice notice = RootNotice(WipeIncomplete, root, 0);
    notice.count = {fillFilesSkipped, 0, true};
    return notice;
}
