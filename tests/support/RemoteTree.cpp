#include "tests/support/RemoteTree.h"

#include "tests/support/Gui.h"

namespace {
constexpr size_t kTextChars = 512;
}

RemoteTree::RemoteTree(HWND tree) : m_tree(tree)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(tree, &processId);
    m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (m_process)
        m_memory = ::VirtualAllocEx(m_process, nullptr, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteTree::~RemoteTree()
{
    if (m_memory)
        ::VirtualFreeEx(m_process, m_memory, 0, MEM_RELEASE);
    if (m_process)
        ::CloseHandle(m_process);
}

std::wstring RemoteTree::Text(HTREEITEM item) const
{
    auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<BYTE*>(m_memory) + sizeof(TVITEMW));
    TVITEMW request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = remoteText;
    request.cchTextMax = kTextChars;
    wchar_t text[kTextChars] = {};
    if (!::WriteProcessMemory(m_process, m_memory, &request, sizeof(request), nullptr)
        || !::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_memory))
        || !::ReadProcessMemory(m_process, remoteText, text, sizeof(text) - sizeof(wchar_t), nullptr))
        return std::wstring();
    return text;
}

HTREEITEM RemoteTree::FindChild(HTREEITEM parent, const std::wstring& text) const
{
    auto item = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(m_tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    for (; item; item = reinterpret_cast<HTREEITEM>(
                     ::SendMessageW(m_tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        if (Text(item) == text)
            return item;
    }
    return nullptr;
}

void RemoteTree::Select(HTREEITEM item) const
{
    ::SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void RemoteTree::Expand(HTREEITEM item) const
{
    Select(item);
    PressKey(m_tree, VK_RIGHT);
}

bool RemoteTree::IsExpanded(HTREEITEM item) const
{
    return (::SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}
