#include "tests/engine/MemoryFile.h"

#include <algorithm>
#include <cstring>

bool MemoryFile::GetSize(ULONGLONG& size)
{
    if (failSize)
        return false;
    size = content.size();
    return true;
}

bool MemoryFile::ReachClusterEnd(ULONGLONG& end)
{
    if (extendedTo == 0 || content.size() > extendedTo)
        dataSize = content.size();
    end = std::max<ULONGLONG>(content.size(), allocation);
    content.resize(end, 0);
    extendedTo = end;
    return true;
}

bool MemoryFile::RestoreSize()
{
    if (extendedTo != 0)
        content.resize(dataSize);
    return true;
}

bool MemoryFile::ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read)
{
    *read = offset < content.size() ? static_cast<DWORD>(std::min<ULONGLONG>(count, content.size() - offset)) : 0;
    std::memcpy(buffer, content.data() + offset, *read);
    if (readBackDiffers && *read > 0)
        static_cast<BYTE*>(buffer)[0] ^= 1;
    return true;
}

bool MemoryFile::Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin)
{
    seeks.push_back({distance, origin});
    if (seeks.size() - 1 == failSeekAt)
        return false;
    position = static_cast<ULONGLONG>((origin == FILE_END ? static_cast<LONGLONG>(content.size()) : 0) + distance);
    if (newPosition)
        *newPosition = position;
    return true;
}

bool MemoryFile::Write(const void* buffer, DWORD count, DWORD* written)
{
    if (writes.size() == failWriteAt) {
        writes.push_back({position, {}});
        return false;
    }
    const BYTE* bytes = static_cast<const BYTE*>(buffer);
    if (writes.size() == shortWriteAt)
        --count;
    writes.push_back({position, std::vector<BYTE>(bytes, bytes + count)});
    if (content.size() < position + count)
        content.resize(position + count);
    std::memcpy(content.data() + position, bytes, count);
    Landed(position, bytes, count);
    position += count;
    if (written)
        *written = count;
    if (afterWrite)
        afterWrite(writes.size() - 1);
    return true;
}
