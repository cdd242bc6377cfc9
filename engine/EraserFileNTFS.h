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
    // A read-only file cannot be opened for writing: clears its read-only attribute through a
    // handle on it, for good, but where `unlessOtherNames` leaves a file with several names as it
    // is (its other names may keep its content). `named`: the file, its names counted. False
    // where the path leads to no file, or to another than the one required.
    bool ClearReadOnly(const wchar_t* path, FileIdentity& named, bool unlessOtherNames) const;
    // Opens the file to be overwritten: its data for writing (with write-through) and its
    // attributes. Nothing of the file changes.
    OpenResult Open(const wchar_t* path, OpenSharing sharing) override;
    // The system's error of the last failed Open: kErrorNotSameObject where the path led to
    // another file than the one required.
    DWORD OpenError() const { return m_error; }
    bool GetSize(ULONGLONG& size) override;
    bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) override;
    bool Write(const void* buffer, DWORD count, DWORD* written) override;
    void Close() override;
    // Of the open file.
    bool Identity(FileIdentity& identity) const { return QueryFileIdentity(m_file.Get(), identity); }
    HANDLE Handle() const { return m_file.Get(); }

private:
    bool IsRequiredFile(HANDLE file) const;

    UniqueFile m_file;
    DWORD m_error = ERROR_SUCCESS;
    bool m_requiresFile = false;
    FileIdentity m_required;
};
