#include "engine/EraseNotice.h"

#include <cwchar>
#include <memory>
#include <new>

int32_t SendNotice(NoticeCallback notify, NoticeType type, const wchar_t* path, const wchar_t* owner,
                   int32_t filePercent, int32_t totalPercent, int32_t code)
{
    std::unique_ptr<wchar_t[]> copy;
    if (path) {
        const size_t length = std::wcslen(path);
        copy.reset(new (std::nothrow) wchar_t[length + 1]);
        if (!copy) {
            EraseNotice noMemory = {Problem, nullptr, nullptr, 0, 0, kProblemNoMemory};
            notify(&noMemory);
            return kAnswerTerminate;
        }
        std::wmemcpy(copy.get(), path, length + 1);
    }
    EraseNotice notice = {type, copy.get(), owner, filePercent, totalPercent, code};
    return notify(&notice);
}
