#pragma once
// CEraserFile on the Win32 file calls.

#include "engine/EraserFile.h"
#include "engine/FileIdentity.h"
#include "win32/ScopedHandle.h"

class CEraserFileNTFS final : public CEraserFile {
public:
    CEraserFileNTFS() = default;
    CEraserFileNTFS(const CEraserFileNTFS&) = delete;
    CEraserFileNTFS& operator=(const CEraserFileNTFS&) = delete;

    // From then on Open succeeds only where the path leads to this file.
    void RequireFile(const FileIdentity& identity) { m_required = identity; m_requiresFile = true; }
    // Clears the attributes (read-only, hidden, system) for good, then opens for writing with
    // write-through.
    OpenResult Open(const wchar_t* path, OpenSharing sharing) override;
    bool GetSize(ULONGLONG& size) override;
    bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) override;
    bool Write(const void* buffer, DWORD count, DWORD* written) override;
    void Close() override;
    // Of the open file.
    bool Identity(FileIdentity& identity) const { return QueryFileIdentity(m_file.Get(), identity); }

private:
    bool IsRequiredFile(HANDLE file) const;

    UniqueFile m_file;
    bool m_requiresFile = false;
    FileIdentity m_required;
};
