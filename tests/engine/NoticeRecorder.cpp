#include "tests/engine/NoticeRecorder.h"

namespace {
NoticeRecorder* g_active = nullptr;
}

NoticeRecorder::NoticeRecorder()
{
    g_active = this;
}

NoticeRecorder::~NoticeRecorder()
{
    g_active = nullptr;
}

int32_t NoticeRecorder::Callback(EraseNotice* notice)
{
    NoticeRecorder& self = *g_active;
    self.notices.push_back(RecordedNotice{notice->type, notice->path != nullptr, notice->path ? notice->path : L"",
                                          notice->owner != nullptr, notice->owner ? notice->owner : L"",
                                          notice->filePercent, notice->totalPercent, notice->code, notice->item,
                                          notice->count});
    const RecordedNotice& recorded = self.notices.back();
    if (self.onNotice)
        self.onNotice(recorded);
    if (notice->type != Problem)
        return kNoAnswer;
    return self.answer ? self.answer(recorded) : kAnswerTerminate;
}

std::vector<int32_t> NoticeRecorder::Types() const
{
    std::vector<int32_t> types;
    for (const RecordedNotice& n : notices)
        types.push_back(n.type);
    return types;
}

std::vector<const RecordedNotice*> NoticeRecorder::OfType(int32_t type) const
{
    std::vector<const RecordedNotice*> found;
    for (const RecordedNotice& n : notices)
        if (n.type == type)
            found.push_back(&n);
    return found;
}

std::vector<std::wstring> NoticeRecorder::PathsOf(int32_t type) const
{
    std::vector<std::wstring> paths;
    for (const RecordedNotice* n : OfType(type))
        paths.push_back(n->path);
    return paths;
}

std::vector<int32_t> NoticeRecorder::CodesOf(int32_t type) const
{
    std::vector<int32_t> codes;
    for (const RecordedNotice* n : OfType(type))
        codes.push_back(n->code);
    return codes;
}

std::vector<std::wstring> NoticeRecorder::PathsFinished(ItemKind kind, ItemOutcome outcome) const
{
    std::vector<std::wstring> paths;
    for (const RecordedNotice* n : OfType(ItemFinished)) {
        if (n->item.kind == kind && n->item.outcome == outcome)
            paths.push_back(n->path);
    }
    return paths;
}
