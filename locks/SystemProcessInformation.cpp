#include "locks/SystemProcessInformation.h"

#include "locks/NtRecords.h"

#include <algorithm>

SystemProcessInformation::SystemProcessInformation(size_t bufferSize)
{
    m_buffer.Allocate(std::max(bufferSize, kFirstBufferSize));
}

SystemProcessInformation::~SystemProcessInformation() = default;

bool SystemProcessInformation::TakeSnapshot()
{
    m_recordsByPid.clear();
    if (!EntryPointsBound || !m_buffer.Data())
        return false;
    // The buffer grows when the list does not fit.
    if (!QuerySystemTable(kSystemProcessInformation, m_buffer.Size(), m_buffer))
        return false;
    return NtRecords::IndexProcessChain(m_buffer.Data(), m_buffer.Size(), NtRecords::kNativeLayout, m_recordsByPid);
}

const SystemProcessInformation::_SYSTEM_PROCESS_INFORMATION* SystemProcessInformation::FindProcess(DWORD processId) const
{
    const auto found = m_recordsByPid.find(processId);
    if (found == m_recordsByPid.end())
        return nullptr;
    return reinterpret_cast<const _SYSTEM_PROCESS_INFORMATION*>(static_cast<const BYTE*>(m_buffer.Data()) + found->second);
}

bool SystemProcessInformation::ImageName(const _SYSTEM_PROCESS_INFORMATION* record, std::wstring& name) const
{
    const size_t offset = reinterpret_cast<const BYTE*>(record) - static_cast<const BYTE*>(m_buffer.Data());
    return NtRecords::ReadProcessImageName(m_buffer.Data(), m_buffer.Size(), offset, NtRecords::kNativeLayout, name);
}
