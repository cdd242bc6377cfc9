#pragma once
// The wipe's own folder at a drive's root and everything the wipe puts in it: a marker that
// proves the folder is the wipe's, the files that fill free clusters and the tree of small
// files that takes free file-table records. Nothing else is ever written or removed.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The wipe's own folder at a drive's root; a user's folder never has this name and the
// marker inside with the marker's exact content.
extern const wchar_t kWipeFolderName[];

// The marker file in the wipe's folder and its exact content.
extern const wchar_t kWipeMarkerName[];
extern const char kWipeMarkerText[];

class WipeFolder {
public:
    WipeFolder() = default;
    // Removes what is still there: a wipe that ends in any way leaves nothing behind.
    ~WipeFolder();
    WipeFolder(const WipeFolder&) = delete;
    WipeFolder& operator=(const WipeFolder&) = delete;

    // Makes the folder, its marker and the records folder at the root ("E:\"). A leftover of
    // an interrupted wipe is removed first. 0, or a WipeProblemCode or system error number.
    int32_t Create(const std::wstring& root);

    enum class Claim { NotOurs, InUse, Claimed };
    // Takes an existing folder at the root as the wipe's when it is unmistakably one: a real
    // folder (no link) holding the marker with the marker's exact content, held by no wipe.
    Claim ClaimLeftover(const std::wstring& root);

    // Removes what a wipe puts in the folder, then the marker and the folder unless
    // something else is in it (which stays, with the marker). True when the folder is gone.
    bool Remove();

    // With a final separator.
    const std::wstring& Path() const { return m_path; }
    std::wstring FillFilePath(unsigned index) const;
    // The folder of the records tree, with a final separator.
    std::wstring RecordsPath() const;

    // The records tree: folder 0 is RecordsPath(); folder n holds the record files "0" and
    // "1" and the folders "2" (number 2n+1) and "3" (number 2n+2). Four short names always fit
    // the index kept inside the folder's own record, so the tree grows with no free cluster.
    static std::wstring RecordFolderPath(const std::wstring& recordsPath, unsigned long long number);

private:
    std::wstring m_path;
    UniqueFile m_marker; // held while the folder is the wipe's: no other wipe takes it meanwhile
};

// The problem code for a system error met while making the wipe's folder or files.
int32_t ProblemOfSystemError(DWORD error);

// Removes the wipe's folder at the root ("E:\") when it is a leftover of an interrupted wipe.
void RemoveWipeLeftoverAt(const std::wstring& root);
// Removes what interrupted wipes left on the fixed and removable drives: only folders that are
// unmistakably the wipe's and only what a wipe puts in them. Call at start-up.
void RemoveWipeLeftovers();
