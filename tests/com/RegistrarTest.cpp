// Scripts applied to a registry: HKCR and HKLM are redirected into a scratch key of the
// current user for each test, so that nothing the scripts do can reach the real ones.

#include "com/Registrar.h"
#include "tests/support/RegistryState.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const wchar_t kSandbox[] = L"Software\\MorvaneRegistrarTest";

const std::vector<RegistrarReplacement> kReplacements = {{L"MODULE", L"C:\\Morvane\\MorvaneExt.dll"}};

class Registrar : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSandbox);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kSandbox) + L"\\Classes").c_str(),
                                                   0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_classes.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kSandbox) + L"\\Machine").c_str(),
                                                   0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_machine.Put(), nullptr));
        ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_CLASSES_ROOT, m_classes.Get()));
        ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_machine.Get()));
    }

    void TearDown() override
    {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        m_classes.Reset();
        m_machine.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSandbox);
    }

    UniqueRegKey m_classes;
    UniqueRegKey m_machine;
};

// Every kind of key, and beside and below them what other programs put there.
const wchar_t kScript[] = LR"(
HKCR
{
    NoRemove Shared
    {
        ForceRemove Owned = s 'default'
        {
            Inner = s '%MODULE%'
            {
                val Mode = s 'Apartment'
            }
        }
        Plain
        {
            val Flag = s 'on'
        }
        Emptied
        {
            val Flag = s 'on'
        }
    }
}
HKLM
{
    NoRemove Settings
    {
        val Owner = s 'Kestrium'
    }
}
)";

}  // namespace

TEST_F(Registrar, RegisterWritesTheScriptAndUnregisterRemovesOnlyWhatItOwns)
{
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, L"Shared\\Owned\\Stale", L"", L"left from an older version"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, L"Shared\\Neighbour", L"", L"another program"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, L"Shared\\Plain", L"Other", L"another program"));

    ASSERT_EQ(S_OK, UpdateRegistryFromScript(kScript, RegistrarMode::Register, kReplacements));
    const std::wstring registered = DumpKey(HKEY_CLASSES_ROOT, L"Shared");
    EXPECT_EQ(L"[]\n"
              L"[Emptied]\n"
              L"Flag = on\n"
              L"[Neighbour]\n"
              L"@ = another program\n"
              L"[Owned]\n"
              L"@ = default\n"
              L"[Owned\\Inner]\n"
              L"@ = C:\\Morvane\\MorvaneExt.dll\n"
              L"Mode = Apartment\n"
              L"[Plain]\n"
              L"Flag = on\n"
              L"Other = another program\n",
              registered);
    EXPECT_EQ(L"[]\nOwner = Kestrium\n", DumpKey(HKEY_LOCAL_MACHINE, L"Settings"));

    // Registering again over a registration changes nothing.
    ASSERT_EQ(S_OK, UpdateRegistryFromScript(kScript, RegistrarMode::Register, kReplacements));
    EXPECT_EQ(registered, DumpKey(HKEY_CLASSES_ROOT, L"Shared"));

    ASSERT_EQ(S_OK, UpdateRegistryFromScript(kScript, RegistrarMode::Unregister, kReplacements));
    EXPECT_EQ(L"[]\n"
              L"[Neighbour]\n"
              L"@ = another program\n"
              L"[Plain]\n"
              L"Other = another program\n",
              DumpKey(HKEY_CLASSES_ROOT, L"Shared"));
    EXPECT_EQ(L"[]\n", DumpKey(HKEY_LOCAL_MACHINE, L"Settings"));

    // Unregistering what is no longer there is no failure, and removes nothing more.
    ASSERT_EQ(S_OK, UpdateRegistryFromScript(kScript, RegistrarMode::Unregister, kReplacements));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Shared\\Neighbour"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Settings"));
}

TEST_F(Registrar, MalformedScriptWritesNothing)
{
    const wchar_t script[] = L"HKCR\n{\n    First = s 'written first if nothing checked'\n    Second = d '1'\n}\n";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
              UpdateRegistryFromScript(script, RegistrarMode::Register, kReplacements));
    EXPECT_EQ(L"[]\n", DumpKey(HKEY_CLASSES_ROOT, L""));
}
