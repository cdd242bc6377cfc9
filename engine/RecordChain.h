#pragma once
// The chains of records the file system fills in one buffer (a folder's entries, a file's
// streams): each record starts with the offset of the next one (0 for the last) and ends with a
// name of the byte length it gives. Read only where every record and name lie in the buffer.

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>

// Calls onRecord(record, name) for each record, the fixed part copied out of the buffer. False
// where a record or its name runs outside the buffer (the records before it were handed on).
template <class Record, class OnRecord>
bool ForEachRecord(const void* buffer, size_t size, size_t nameOffset, DWORD Record::*nameBytes, OnRecord onRecord)
{
    const auto* bytes = static_cast<const BYTE*>(buffer);
    for (size_t at = 0;;) {
        Record record;
        if (at > size || size - at < nameOffset)
            return false;
        std::memcpy(&record, bytes + at, nameOffset);
        const DWORD length = record.*nameBytes;
        if (length % sizeof(wchar_t) != 0 || size - at - nameOffset < length)
            return false;
        std::wstring name(length / sizeof(wchar_t), L'\0');
        if (!name.empty())
            std::memcpy(&name[0], bytes + at + nameOffset, length);
        onRecord(record, std::move(name));
        if (record.NextEntryOffset == 0)
            return true;
        at += record.NextEntryOffset;
    }
}
