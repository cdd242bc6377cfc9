#pragma once
// The context-menu handler Explorer creates for every file, folder and drive selection: the item
// "Delete by Kestrium", that starts Morvane.exe on every selected path, and for a single drive
// also "Wipe free space by Kestrium", that starts Morvane.exe /wipefree on the drive.

#include "com/ComObject.h"
#include "shellext/MorvaneShlExtClsid.h"
#include "win32/ScopedHandle.h"

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

// The menu item's picture: loaded when the DLL is attached to a process, deleted when detached.
extern UniqueBitmap g_hMenuBitmap;

class CMorvaneShlExt : public CComObjectRootEx<CComSingleThreadModel>,
                       public CComCoClass<CMorvaneShlExt, &CLSID_MorvaneShlExt>,
                       public IShellExtInit,
                       public IContextMenu {
public:
    using InterfaceMap = ComInterfaces<IShellExtInit, IContextMenu>;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY progIdKey) noexcept override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT lastCommand,
                                  UINT flags) noexcept override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override;
    STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* buffer,
                                  UINT bufferLength) noexcept override;

private:
    // The selection is one drive, whose free space can be wiped.
    bool OffersWipe() const;

    // Every selected path, whole; none where Initialize refused the selection.
    std::vector<std::wstring> m_paths;
};
