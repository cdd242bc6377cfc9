// The extension as Explorer uses it: created through COM by its class identifier after
// registration, initialised with a selection, asked for its menu item and its command strings,
// and invoked, starting a stand-in Morvane.exe that records how it was started.

#include "com/ComPtr.h"
#include "tests/shellext/DropDataObject.h"
#include "tests/shellext/ExtensionTestSupport.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <iterator>
#include <vector>

namespace {

const wchar_t kInstallKey[] = L"SOFTWARE\\Kestrium";

template <class Function>
Function Export(const UniqueModule& dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(dll.Get(), name)));
}

struct Launch {
    DWORD started = 0;
    std::wstring commandLine;
    std::wstring directory;
};

class ContextMenu : public ::testing::Test {
protected:
    using Entry = HRESULT(STDAPICALLTYPE*)();

    void SetUp() override
    {
        m_dll.Reset(::LoadLibraryW(ExtensionDllPath().c_str()));
        ASSERT_TRUE(m_dll);
        m_canUnloadNow = Export<Entry>(m_dll, "DllCanUnloadNow");
        ASSERT_EQ(S_OK, Export<Entry>(m_dll, "DllRegisterServer")());
        ASSERT_TRUE(StartedProcessCount() != static_cast<DWORD>(-1)) << "this process could not join a job";
    }

    void TearDown() override { Export<Entry>(m_dll, "DllUnregisterServer")(); }

    CComPtr<IContextMenu> Create()
    {
        CComPtr<IContextMenu> menu;
        EXPECT_EQ(S_OK,
                  ::CoCreateInstance(CLSID_MorvaneShlExt, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(menu.Put())));
        return menu;
    }

    static HRESULT Initialize(IContextMenu* menu, IDataObject* selection)
    {
        CComPtr<IShellExtInit> init;
        EXPECT_EQ(S_OK, menu->QueryInterface(IID_PPV_ARGS(init.Put())));
        return init ? init->Initialize(nullptr, selection, nullptr) : E_NOINTERFACE;
    }

    // An installation folder holding the stand-in under the real program's name.
    std::wstring MakeInstallDirectory(const std::wstring& path)
    {
        ::CreateDirectoryW(path.c_str(), nullptr);
        ::CopyFileW((ExecutableDirectory() + L"..\\MorvaneStandIn.exe").c_str(), (path + L"\\Morvane.exe").c_str(),
                    FALSE);
        return path;
    }

    static void SetInstallRecord(const std::wstring& directory)
    {
        ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kInstallKey, L"path", directory));
    }

    // Invokes the item with this command offset and waits for whatever that started to end.
    Launch Invoke(IContextMenu* menu, const std::wstring& installDirectory, WORD command = 0)
    {
        const std::wstring record = installDirectory + L"\\launch.txt";
        ::DeleteFileW(record.c_str());
        const DWORD before = StartedProcessCount();
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(command);
        EXPECT_EQ(S_OK, menu->InvokeCommand(&info));
        EXPECT_TRUE(WaitForStartedProcesses());
        Launch launch;
        launch.started = StartedProcessCount() - before;
        const std::vector<std::wstring> lines = ReadStandInRecord(record);
        if (lines.size() >= 2) {
            launch.commandLine = lines[0];
            launch.directory = lines[1];
        }
        return launch;
    }

    // The program of the installation folder, started there with these arguments after its name.
    static void ExpectStartedWith(const Launch& launch, const std::vector<std::wstring>& expected,
                                  const std::wstring& directory)
    {
        EXPECT_EQ(1u, launch.started);
        int count = 0;
        LPWSTR* arguments = ::CommandLineToArgvW(launch.commandLine.c_str(), &count);
        ASSERT_TRUE(arguments);
        EXPECT_EQ(expected, std::vector<std::wstring>(arguments + 1, arguments + count)) << launch.commandLine;
        EXPECT_EQ(0, ::lstrcmpiW((directory + L"\\Morvane.exe").c_str(), arguments[0])) << arguments[0];
        ::LocalFree(arguments);
        EXPECT_EQ(0, ::lstrcmpiW(directory.c_str(), launch.directory.c_str())) << launch.directory;
    }

    // One path: exactly one argument, the whole path, in one pair of double quotes.
    static void ExpectStartedWith(const Launch& launch, const std::wstring& path, const std::wstring& directory)
    {
        ExpectStartedWith(launch, std::vector<std::wstring>{path}, directory);
        EXPECT_EQ(L'"', launch.commandLine.back()) << launch.commandLine;
    }

    ComApartment m_apartment;
    const ExtensionRegistryGuard m_registry;
    const KeyPathGuard m_installKey{HKEY_LOCAL_MACHINE, kInstallKey};
    const ValueGuard m_installPath{HKEY_LOCAL_MACHINE, kInstallKey, L"path"};
    UniqueModule m_dll;
    Entry m_canUnloadNow = nullptr;
    TempDir m_temp;
};

// Counts what reaches the outer object of an aggregate.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override { return --m_references; }
    ULONG m_references = 1;
};

}  // namespace

TEST_F(ContextMenu, CreatedByItsClassWithExactlyItsTwoInterfaces)
{
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    CComPtr<IShellExtInit> init = menu.As<IShellExtInit>();
    ASSERT_TRUE(init);
    EXPECT_EQ(menu.As<IUnknown>().Get(), init.As<IUnknown>().Get());
    EXPECT_FALSE(menu.As<IShellFolder>());
    EXPECT_FALSE(menu.As<IContextMenu2>());

    // Aggregated, the object hands its own IUnknown to the outer object, and its interfaces'
    // reference counting goes to the outer object.
    Outer outer;
    CComPtr<IUnknown> inner;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_MorvaneShlExt, &outer, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(inner.Put())));
    CComPtr<IContextMenu> delegating = inner.As<IContextMenu>();
    ASSERT_TRUE(delegating);
    EXPECT_EQ(2u, outer.m_references);
    delegating.Reset();
    EXPECT_EQ(1u, outer.m_references);
    CComPtr<IContextMenu> refused;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              ::CoCreateInstance(CLSID_MorvaneShlExt, &outer, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(refused.Put())));
}

TEST_F(ContextMenu, InitializeTakesSelectionsAndRefusesWhatCannotBePassedOn)
{
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    // What Explorer hands over is taken whole, at any length; the launches below show what is kept.
    EXPECT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject(DropFilesBlock({m_temp / L"a.txt"}, false)).Get()));
    EXPECT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({L"C:\\" + std::wstring(297, L'x')}).Get()));

    EXPECT_EQ(E_INVALIDARG, Initialize(menu.Get(), MakeDropDataObject(std::vector<std::wstring>{}).Get()));
    EXPECT_EQ(E_INVALIDARG, Initialize(menu.Get(), MakeDropDataObject(std::vector<unsigned char>{}).Get()));
    EXPECT_EQ(E_INVALIDARG, Initialize(menu.Get(), nullptr));
    // A line break would split a path in two on its way to the program.
    EXPECT_EQ(E_INVALIDARG, Initialize(menu.Get(), MakeDropDataObject({m_temp / L"a", L"C:\\b\r\nC:\\c"}).Get()));
}

TEST_F(ContextMenu, QueryContextMenuInsertsTheItemWhereAskedWithItsPicture)
{
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    const UniqueMenu popup(::CreatePopupMenu());
    ::AppendMenuW(popup.Get(), MF_STRING, 1, L"Open");
    ::AppendMenuW(popup.Get(), MF_STRING, 2, L"Properties");

    // The item is added even where only the default item is asked for.
    EXPECT_EQ(1, menu->QueryContextMenu(popup.Get(), 1, 40, 50, CMF_DEFAULTONLY));
    ASSERT_EQ(3, ::GetMenuItemCount(popup.Get()));
    wchar_t text[64];
    ::GetMenuStringW(popup.Get(), 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"Delete by Kestrium", text);
    EXPECT_EQ(40u, ::GetMenuItemID(popup.Get(), 1));
    EXPECT_EQ(1u, ::GetMenuItemID(popup.Get(), 0));
    EXPECT_EQ(2u, ::GetMenuItemID(popup.Get(), 2));

    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_CHECKMARKS | MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(popup.Get(), 1, TRUE, &item));
    EXPECT_EQ(static_cast<UINT>(MFT_STRING), item.fType);
    EXPECT_EQ(nullptr, item.hbmpChecked);
    BITMAP picture = {};
    ASSERT_TRUE(::GetObjectW(item.hbmpUnchecked, sizeof(picture), &picture));
    EXPECT_EQ(16, picture.bmWidth);
    EXPECT_EQ(16, picture.bmHeight);

    // As stored in the DLL, before the system matched it to the screen.
    const HRSRC resource = ::FindResourceW(m_dll.Get(), MAKEINTRESOURCEW(202), MAKEINTRESOURCEW(2));
    ASSERT_NE(nullptr, resource);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(m_dll.Get(), resource)));
    EXPECT_EQ(16, header->biWidth);
    EXPECT_EQ(16, header->biHeight);
    EXPECT_EQ(24, header->biBitCount);
}

TEST_F(ContextMenu, GetCommandStringAnswersEmptyOrRefuses)
{
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    const struct {
        UINT type;
        HRESULT result;
    } cases[] = {
        {GCS_VERBA, E_INVALIDARG},    {GCS_HELPTEXTA, S_OK}, {GCS_VALIDATEA, E_INVALIDARG},
        {GCS_VERBW, S_OK},            {GCS_HELPTEXTW, S_OK}, {GCS_VALIDATEW, S_OK},
    };
    for (const auto& c : cases) {
        wchar_t buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        auto* narrow = reinterpret_cast<char*>(buffer);
        EXPECT_EQ(c.result, menu->GetCommandString(0, c.type, nullptr, narrow, 16)) << c.type;
        if (c.result != S_OK)
            EXPECT_EQ(L'#', buffer[0]) << c.type;
        else if (c.type & GCS_UNICODE)
            EXPECT_EQ(L'\0', buffer[0]) << c.type;
        else
            EXPECT_EQ('\0', narrow[0]) << c.type;
        EXPECT_EQ(E_INVALIDARG, menu->GetCommandString(1, c.type, nullptr, narrow, 16)) << c.type;
    }
}

TEST_F(ContextMenu, InvokeStartsMorvaneWithTheSelectedPath)
{
    const std::wstring install = MakeInstallDirectory(m_temp / L"Kestrium Morvane");
    SetInstallRecord(install);
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);

    const std::wstring folder = m_temp.MakeFolder(L"Old reports");
    for (const std::wstring& path : {m_temp / L"a b.txt", folder, std::wstring(L"E:\\"), m_temp / std::wstring(300, L'x')}) {
        ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({path}).Get()));
        ExpectStartedWith(Invoke(menu.Get(), install), path, install);
    }
    // Several paths go in a list file that the real program reads: its test
    // (SeveralItemsFromExplorerAreErasedInOneJob, TwoThousandItemsAreHandedOverWhole) takes the whole way.
}

TEST_F(ContextMenu, OneDriveAlsoOffersToWipeItsFreeSpace)
{
    const std::wstring install = MakeInstallDirectory(m_temp / L"install");
    SetInstallRecord(install);
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    const struct {
        std::vector<std::wstring> selection;
        std::vector<std::wstring> items;
    } cases[] = {
        {{L"E:\\"}, {L"Delete by Kestrium", L"Wipe free space by Kestrium"}},
        {{m_temp.Path()}, {L"Delete by Kestrium"}},
        {{L"E:\\", L"F:\\"}, {L"Delete by Kestrium"}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject(c.selection).Get()));
        const UniqueMenu popup(::CreatePopupMenu());
        EXPECT_EQ(static_cast<HRESULT>(c.items.size()), menu->QueryContextMenu(popup.Get(), 0, 40, 50, CMF_NORMAL));
        std::vector<std::wstring> items;
        for (int i = 0; i < ::GetMenuItemCount(popup.Get()); ++i) {
            wchar_t text[64];
            ::GetMenuStringW(popup.Get(), i, text, 64, MF_BYPOSITION);
            items.push_back(text);
            EXPECT_EQ(40u + i, ::GetMenuItemID(popup.Get(), i));
        }
        EXPECT_EQ(c.items, items) << c.selection.front();
    }
    ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({L"E:\\"}).Get()));
    ExpectStartedWith(Invoke(menu.Get(), install, 1), std::vector<std::wstring>{L"/wipefree", L"E:"}, install);
}

TEST_F(ContextMenu, InvokeRefusesVerbStringsAndOtherCommandOffsets)
{
    SetInstallRecord(MakeInstallDirectory(m_temp / L"install"));
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({m_temp / L"a.txt"}).Get()));

    const DWORD before = StartedProcessCount();
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = "delete";
    EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(&info));
    info.lpVerb = MAKEINTRESOURCEA(1);
    EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(&info));
    EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(nullptr));
    EXPECT_EQ(before, StartedProcessCount());
}

// The record's text fills at most the 260 UTF-16 units read for it, terminator included.
TEST_F(ContextMenu, InstallDirectoriesThatFitTheRecordBufferWork)
{
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    const std::wstring file = m_temp / L"a.txt";
    ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({file}).Get()));
    for (size_t length : {126, 127}) {
        const std::wstring name(length - m_temp.Path().size() - 1, L'd');
        const std::wstring install = MakeInstallDirectory(m_temp / name);
        ASSERT_EQ(length, install.size());
        SetInstallRecord(install);
        ExpectStartedWith(Invoke(menu.Get(), install), file, install);
    }

    // Stored without its terminator, as the registry allows.
    const std::wstring install = MakeInstallDirectory(m_temp / L"unterminated");
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_SET_VALUE, key.Put()));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.Get(), L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(install.c_str()),
                               static_cast<DWORD>(install.size() * sizeof(wchar_t))));
    ExpectStartedWith(Invoke(menu.Get(), install), file, install);
}

TEST_F(ContextMenu, WithoutAUsableRecordOrSelectionNothingStartsAndInvokeSucceeds)
{
    const std::wstring install = MakeInstallDirectory(m_temp / L"install");
    CComPtr<IContextMenu> menu = Create();
    ASSERT_TRUE(menu);
    ASSERT_EQ(S_OK, Initialize(menu.Get(), MakeDropDataObject({m_temp / L"a.txt"}).Get()));

    // No record at all, a key without the value, a value of another type.
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kInstallKey);
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                               key.Put(), nullptr));
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);
    ::RegSetValueExW(key.Get(), L"path", 0, REG_BINARY, reinterpret_cast<const BYTE*>(install.c_str()),
                     static_cast<DWORD>((install.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);

    // Longer than the buffer: "\." steps leave the folder the same, so a text cut to fit would
    // still lead to the stand-in. Once with the terminator, once filling the buffer without it.
    std::wstring tooLong = install;
    while (tooLong.size() < 300)
        tooLong += L"\\.";
    SetInstallRecord(tooLong);
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);
    ::RegSetValueExW(key.Get(), L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                     MAX_PATH * sizeof(wchar_t));
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);

    // A folder without the program.
    const std::wstring empty = m_temp.MakeFolder(L"empty");
    SetInstallRecord(empty);
    EXPECT_EQ(0u, Invoke(menu.Get(), empty).started);

    // A selection that Initialize refused leaves nothing to pass on, not even an earlier one.
    SetInstallRecord(install);
    EXPECT_EQ(E_INVALIDARG, Initialize(menu.Get(), MakeDropDataObject({L"C:\\a\nC:\\b"}).Get()));
    EXPECT_EQ(0u, Invoke(menu.Get(), install).started);
}

TEST_F(ContextMenu, DllCanUnloadNowWhileNoObjectOrLockIsAlive)
{
    auto GetFactory = [](CComPtr<IClassFactory>& factory) {
        return ::CoGetClassObject(CLSID_MorvaneShlExt, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(factory.Put()));
    };
    EXPECT_EQ(S_OK, m_canUnloadNow());
    CComPtr<IContextMenu> menu = Create();
    EXPECT_EQ(S_FALSE, m_canUnloadNow());
    menu.Reset();
    EXPECT_EQ(S_OK, m_canUnloadNow());

    CComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, GetFactory(factory));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, m_canUnloadNow());
    ASSERT_EQ(S_OK, GetFactory(factory));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, m_canUnloadNow());
}
