#include "engine/EraseNotice.h"

#include <cwchar>
#include <memory>
#include <new>

int32_t SendNotice(NoticeCallback notify, const EraseNotice& notice)
{
    std::unique_ptr<wchar_t[]> copy;
    if (notice.path) {
        const size_t length = std::wcslen(notice.path);
        copy.reset(new (std::nothrow) wchar_t[length + 1]);
        if (!copy) {
            SendNoMemory(notify);
            return kAnswerTerminate;
        }
        std::wmemcpy(copy.get(), notice.path, length + 1);
    }
    EraseNotice sent = notice;
    sent.path = copy.get();
    return notify(&sent);
}

int32_t SendNotice(NoticeCallback notify, NoticeType type, const wchar_t* path)
{
    return SendNotice(notify, EraseNotice{type, path, nullptr, 0, 0, 0});
}

int32_t SendProblem(NoticeCallback notify, const wchar_t* path, int32_t code)
{
    return SendProblem(notify, path, nullptr, code);
}

int32_t SendProblem(NoticeCallback notify, const wchar_t* path, const wchar_t* owner, int32_t code)
{
    return SendNotice(notify, EraseNotice{Problem, path, owner, 0, 0, code});
}

void SendNoMemory(NoticeCallback notify)
{
    EraseNotice noMemory = {Problem, nullptr, nullptr, 0, 0, kProblemNoMemory};
    notify(&noMemory);
}

void SendProgress(NoticeCallback notify, const wchar_t* path, int32_t filePercent, int32_t totalPercent,
                  const JobCount& count)
{
    EraseNotice notice = {Progress, path, nullptr, filePercent, totalPercent, 0};
    notice.count = count;
    SendNotice(notify, notice);
}

void SendItemFinished(NoticeCallback notify, const wchar_t* path, const ItemEnd& end, int32_t code)
{
    EraseNotice notice = {ItemFinished, path, nullptr, 0, 0, code};
    notice.item = end;
    SendNotice(notify, notice);
}

void SendCounted(NoticeCallback notify, const JobCount& count)
{
    EraseNotice notice = {Counted, nullptr, nullptr, 0, 0, 0};
    notice.count = count;
    notify(&notice);
}
