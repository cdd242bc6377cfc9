#pragma once
// CEraserFile on the Win32 file calls.

#include "engine/FileIdentity.h"
#include "engine/overwrite/EraserFile.h"
#include "win32/ScopedHandle.h"

#include <string>

class CEraserFileNTFS final : public CEraserFile {
public:
    CEraserFileNTFS() = default;
    CEraserFileNTFS(const CEraserFileNTFS&) = delete;
    CEraserFileNTFS& operator=(const CEraserFileNTFS&) = delete;

    // From then on Open succeeds only where the path leads to this file.
    void RequireFile(const FileIdentity& identity) { m_required = identity; m_requiresFile = true; }
    // A read-only file cannot be opened for writing: clears its read-only attribute through a
    // handle on it, until RestoreAttributes, but where `unlessOtherNames` leaves a file with
    // several names as it is (its other names may keep its content). `named`: the file, its
    // names counted. False where the path leads to no file, or to another than the one required.
    bool ClearReadOnly(const wchar_t* path, FileIdentity& named, bool unlessOtherNames);
    // Gives a file that keeps its content back the attributes ClearReadOnly found (read-only,
    // hidden, system and the rest), through the open handle or one opened on the same file.
    void RestoreAttributes();
    // Opens the file to be overwritten: its data for writing and its attributes. Nothing of the
    // file changes. Writes go through to the disk before they return: there is nothing to flush.
    OpenResult Open(const wchar_t* path, OpenSharing sharing) override;
    // The system's error of the last failed Open: kErrorNotSameObject where the path led to
    // another file than the one required.
    DWORD OpenError() const { return m_error; }
    // Asks the file system to zero every cluster the open file gives up from now on: what a
    // rewrite of compressed or sparse data moves away from, and what a cut or the delete frees.
    // False where it is refused (a file system that cannot, or Wine).
    bool ZeroOnDeallocation();
    // Whether the file system keeps the open file's data elsewhere than where a rewrite lands:
    // compressed, sparse or encrypted, or in fewer clusters than its data needs.
    bool StoredOutOfPlace() const;
    bool GetSize(ULONGLONG& size) override;
    bool ReachClusterEnd(ULONGLONG& end) override;
    bool RestoreSize() override;
    bool Seek(LONGLONG distance, ULONGLONG* newPosition, DWORD origin) override;
    bool Write(const void* buffer, DWORD count, DWORD* written) override;
    // The file opened anew without buffering, checked to be the same file.
    bool StartReadBack() override;
    bool ReadUncached(ULONGLONG offset, void* buffer, DWORD count, DWORD* read) override;
    void Close() override;
    // Of the open file.
    bool Identity(FileIdentity& identity) const { return QueryFileIdentity(m_file.Get(), identity); }
    HANDLE Handle() const { return m_file.Get(); }

private:
    bool IsRequiredFile(HANDLE file) const;
    bool SetEnd(ULONGLONG end);

    UniqueFile m_file;
    std::wstring m_path;
    OpenSharing m_sharing = kOpenAlone;
    DWORD m_error = ERROR_SUCCESS;
    bool m_requiresFile = false;
    FileIdentity m_required;
    ULONGLONG m_position = 0;
    // The data's size, and the end ReachClusterEnd gave the file (0 before it did).
    ULONGLONG m_dataSize = 0;
    ULONGLONG m_extendedTo = 0;
    bool m_zeroing = false;
    // What ClearReadOnly changed, to be given back.
    bool m_attributesCleared = false;
    FILE_BASIC_INFO m_attributes = {};
};
