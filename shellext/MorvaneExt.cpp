// The DLL's entry point and its four exports (ordinals in MorvaneExt.def).

#include "resources/MorvaneExtResource.h"
#include "shellext/MorvaneShlExt.h"

#include <windows.h>

UniqueBitmap g_hMenuBitmap;

namespace {

const ObjectMapEntry kObjectMap[] = {
    CMorvaneShlExt::ObjectEntry(IDR_MORVANESHLEXT),
};

// Explorer runs only the handlers listed here when the machine's policy says so.
constexpr wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module.Init(kObjectMap, instance);
        ::DisableThreadLibraryCalls(instance);
        g_hMenuBitmap.Reset(::LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_MENU_BITMAP)));
    } else if (reason == DLL_PROCESS_DETACH) {
        g_hMenuBitmap.Reset();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return g_module.GetLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return g_module.GetClassObject(clsid, iid, object);
}

// The build targets the NT family only (Windows 7 and later), where the approval list exists.
STDAPI DllRegisterServer()
{
    UniqueRegKey approved;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()) != ERROR_SUCCESS)
        return E_ACCESSDENIED;
    static const wchar_t kMaker[] = L"Kestrium";
    if (::RegSetValueExW(approved.Get(), kMorvaneShlExtClsidText, 0, REG_SZ, reinterpret_cast<const BYTE*>(kMaker),
                         sizeof(kMaker))
        != ERROR_SUCCESS)
        return E_ACCESSDENIED;
    return g_module.RegisterServer();
}

STDAPI DllUnregisterServer()
{
    UniqueRegKey approved;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE, approved.Put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(approved.Get(), kMorvaneShlExtClsidText);
    return g_module.UnregisterServer();
}
