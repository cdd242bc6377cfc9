// Registering the extension the way a setup does, with the system's regsvr32, and reading back
// what it wrote; and refusing to register where the approval cannot be written.

#include "tests/shellext/ExtensionTestSupport.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const wchar_t kNeighbourKey[] = L"*\\ShellEx\\ContextMenuHandlers\\ZzNeighbour";

}  // namespace

TEST(Registration, Regsvr32WritesTheClassHandlersAndApprovalAndUnregisterKeepsSharedKeys)
{
    const ExtensionRegistryGuard restore;
    const KeyPathGuard neighbourGuard(HKEY_CLASSES_ROOT, kNeighbourKey);
    // Another program's handler beside ours, and a leftover below our class key.
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kNeighbourKey, L"", L"{00000000-0000-0000-0000-000000000001}"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kClassKey + L"\\Stale", L"", L"older version"));
    const std::wstring neighbour = DumpKey(HKEY_CLASSES_ROOT, kNeighbourKey);

    const std::wstring dll = ExtensionDllPath();
    ASSERT_EQ(0, RunProcess(L"regsvr32.exe /s \"" + dll + L"\""));
    EXPECT_EQ(RegisteredClassDump(dll), DumpKey(HKEY_CLASSES_ROOT, kClassKey));
    for (const wchar_t* handler : kHandlerKeys)
        EXPECT_EQ(RegisteredHandlerDump(), DumpKey(HKEY_CLASSES_ROOT, handler));
    EXPECT_EQ(L"Kestrium", ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText).value_or(L"none"));

    ASSERT_EQ(0, RunProcess(L"regsvr32.exe /s /u \"" + dll + L"\""));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    for (const wchar_t* handler : kHandlerKeys)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, handler)) << handler;
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText).has_value());
    for (const wchar_t* shared :
         {L"CLSID", L"*\\ShellEx\\ContextMenuHandlers", L"Directory\\ShellEx\\ContextMenuHandlers",
          L"Drive\\ShellEx\\ContextMenuHandlers"})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, shared)) << shared;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kApprovedKey));
    EXPECT_EQ(neighbour, DumpKey(HKEY_CLASSES_ROOT, kNeighbourKey));
}

// HKLM and HKCR of this process lead into empty scratch keys, where the approval key is missing.
TEST(Registration, WithoutTheApprovalNothingIsRegistered)
{
    const wchar_t sandbox[] = L"Software\\MorvaneRegistrationTest";
    UniqueRegKey classes, machine;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(sandbox) + L"\\Classes").c_str(), 0,
                                               nullptr, 0, KEY_ALL_ACCESS, nullptr, classes.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(sandbox) + L"\\Machine").c_str(), 0,
                                               nullptr, 0, KEY_ALL_ACCESS, nullptr, machine.Put(), nullptr));
    const UniqueModule dll(::LoadLibraryW(ExtensionDllPath().c_str()));
    ASSERT_TRUE(dll);
    const auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll.Get(), "DllRegisterServer")));
    ASSERT_NE(nullptr, registerServer);

    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.Get());
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.Get());
    const HRESULT result = registerServer();
    const std::wstring written = DumpKey(HKEY_CLASSES_ROOT, L"") + DumpKey(HKEY_LOCAL_MACHINE, L"");
    ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    classes.Reset();
    machine.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, sandbox);

    EXPECT_EQ(E_ACCESSDENIED, result);
    EXPECT_EQ(L"[]\n[]\n", written);
}
