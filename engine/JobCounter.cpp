#include "engine/JobCounter.h"

#include "engine/TreeWalk.h"

void JobCounter::Start(const std::vector<std::wstring>& targets)
{
    m_targets = &targets;
    m_progressed.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (m_progressed)
        m_thread.Reset(::CreateThread(nullptr, 0, CountOnThread, this, 0, nullptr));
    if (!m_thread)
        Count();
}

void JobCounter::WaitUntilSeen(ULONGLONG met)
{
    if (m_seen >= met || m_ended)
        return;
    // Announced before the seen items are read again; the count reads it after adding one.
    m_workerWaits = true;
    while (m_seen < met && !m_ended)
        ::WaitForSingleObject(m_progressed.Get(), INFINITE);
    m_workerWaits = false;
}

void JobCounter::Saw()
{
    ++m_seen;
    if (m_workerWaits)
        ::SetEvent(m_progressed.Get());
}

void JobCounter::Stop()
{
    m_stop = true;
    Wait();
}

void JobCounter::Wait()
{
    if (m_thread)
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Reset();
}

JobCount JobCounter::Current() const
{
    return {m_files.load(), m_bytes.load() + m_extraBytes.load(), m_complete.load()};
}

DWORD WINAPI JobCounter::CountOnThread(LPVOID counter)
{
    // Nothing may leave a thread procedure; a count cut short by want of memory is only a count
    // that never ends.
    auto& self = *static_cast<JobCounter*>(counter);
    try {
        self.Count();
    } catch (...) {
        self.m_ended = true;
    }
    ::SetEvent(self.m_progressed.Get());
    return 0;
}

// The same items the worker erases, links as nothing to write.
void JobCounter::Count()
{
    for (const std::wstring& target : *m_targets) {
        TargetItem item;
        const bool read = !m_stop && ReadTarget(target, item);
        Saw();
        if (!read || item.isLink)
            continue;
        if (item.isFolder) {
            CountFolder(item.isRoot ? item.path : item.path + L"\\");
        } else {
            ++m_files;
            m_bytes += item.entry.size;
        }
    }
    m_complete = !m_stop;
    m_ended = true;
}

void JobCounter::CountFolder(const std::wstring& folder)
{
    TreeWalk walk;
    if (!walk.Start(folder))
        return;
    DirectoryEntry entry;
    for (TreeWalk::Step step; !m_stop && (step = walk.Next(entry)) != TreeWalk::Step::End;) {
        if (step != TreeWalk::Step::Entry)
            continue;
        Saw();
        if (IsLink(entry.attributes, entry.reparseTag))
            continue;
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            walk.Enter(entry);
            continue;
        }
        ++m_files;
        m_bytes += entry.size;
    }
}
