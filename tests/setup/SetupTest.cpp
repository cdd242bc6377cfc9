// Tarnwick's setup as an administrator runs it, silently: it installs, the extension it registered
// is created through COM as Explorer creates it and starts the installed Morvane.exe on a file,
// and the uninstaller, run as the list of installed programs runs it, takes everything away but
// the user's settings. Then the setup's later days: reinstalling, moving, upgrading files in use,
// stale uninstallers and folders outside Program Files; and the Windows Installer packages, which
// administrators deploy instead. Every setup the build makes is run where the machine can run it.
//
//   setup_tests.exe [GoogleTest flags] <folder of the setups and the .msi packages>

#include "com/ComPtr.h"
#include "resources/resource.h"
#include "tests/setup/StartedProgram.h"
#include "tests/shellext/DropDataObject.h"
#include "tests/shellext/ExtensionTestSupport.h"
#include "tests/support/Gui.h"
#include "tests/support/Links.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RegistryState.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

const wchar_t kRecordKey[] = L"SOFTWARE\\Kestrium";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
const wchar_t kSettingsKey[] = L"Software\\Kestrium\\Morvane\\settings";
const wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingDeletes[] = L"PendingFileRenameOperations";
const wchar_t kEntriesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tarnwick";
const std::wstring kClass32Key = L"Software\\Classes\\" + kClassKey;
const std::wstring kVersion = L"" MORVANE_VERSION;
// What either kind of setup installs on 64-bit Windows; the NSIS setup adds its uninstaller.
const std::vector<std::wstring> kPackageFiles = {L"Morvane.exe", L"MorvaneExt.dll", L"MorvaneExt32.dll"};
const std::vector<std::wstring> kInstalledFiles = {L"Morvane.exe", L"MorvaneExt.dll", L"MorvaneExt32.dll",
                                                   L"uninstall.exe"};

std::wstring g_setupFolder;

struct SetupKind {
    const char* name;
    const wchar_t* file;
    const wchar_t* package;  // the Windows Installer package of the same architecture
    bool thirtyTwoBit;
};

void PrintTo(const SetupKind& kind, std::ostream* out)
{
    *out << kind.name;
}

const SetupKind kSetups[] = {
    {"x86", L"MorvaneSetup.exe", L"Morvane-x86.msi", true},
    {"x64", L"MorvaneSetup-x64.exe", L"Morvane-x64.msi", false},
};

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH];
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring DefaultFolder()
{
    return KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Kestrium\\Tarnwick";
}

std::wstring Shortcut()
{
    return KnownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Tarnwick.lnk";
}

// Wine's installer service puts a per-machine package's shortcut into the installing user's menu
// (Windows into every user's): the one there is.
std::wstring PackageShortcut()
{
    const std::wstring users = KnownFolder(CSIDL_PROGRAMS) + L"\\Tarnwick.lnk";
    return PathExists(users) ? users : Shortcut();
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, path);
    return std::wstring(path, length);
}

// The strings of a REG_MULTI_SZ value; empty strings included, as they carry meaning there.
std::vector<std::wstring> ReadMultiString(HKEY root, const std::wstring& path, const std::wstring& name)
{
    DWORD bytes = 0;
    if (::RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes)
            != ERROR_SUCCESS
        || bytes == 0)
        return {};
    std::wstring data(bytes / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, &data[0], &bytes)
        != ERROR_SUCCESS)
        return {};
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < data.size();) {
        const size_t end = data.find(L'\0', at);
        strings.push_back(data.substr(at, end - at));
        if (end == std::wstring::npos)
            break;
        at = end + 1;
    }
    return strings;
}

// The installed-programs entries named Tarnwick: the NSIS setup's "Tarnwick", the package's by
// its product code.
std::vector<std::wstring> TarnwickEntries(REGSAM view = 0)
{
    std::vector<std::wstring> entries;
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEntriesKey, 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS)
        return entries;
    wchar_t name[256];
    for (DWORD index = 0, length = 256; ::RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr,
                                                         nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
        const std::wstring entry = std::wstring(kEntriesKey) + L"\\" + name;
        if (ReadString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", view) == L"Tarnwick")
            entries.push_back(entry);
    }
    return entries;
}

// Where the product leaves traces in one registry view. The handler keys under HKEY_CLASSES_ROOT\*,
// \Directory and \Drive are shared by both views, so they belong to the 64-bit view's traces only.
std::wstring RegistryTraces(REGSAM view)
{
    std::wstring traces;
    for (const std::wstring& key : {std::wstring(kRecordKey), std::wstring(kEventSourceKey)})
        traces += L"HKLM\\" + key + L"\n" + DumpKey(HKEY_LOCAL_MACHINE, key, view);
    for (const std::wstring& entry : TarnwickEntries(view))
        traces += L"HKLM\\" + entry + L"\n" + DumpKey(HKEY_LOCAL_MACHINE, entry, view);
    std::vector<std::wstring> classKeys = {kClassKey};
    if (view == KEY_WOW64_64KEY)
        classKeys.insert(classKeys.end(), std::begin(kHandlerKeys), std::end(kHandlerKeys));
    for (const std::wstring& key : classKeys)
        traces += L"HKCR\\" + key + L"\n" + DumpKey(HKEY_CLASSES_ROOT, key, view);
    traces += L"approval: "
              + ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText, view).value_or(L"(none)");
    return traces;
}

// "major.minor.build.revision" of a file's version resource, or what went wrong.
std::wstring FileVersion(const std::wstring& path)
{
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data())
        || !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof(*info))
        return L"(no version)";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS))
           + L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// The target of a shell link, or what went wrong.
std::wstring ShortcutTarget(const std::wstring& shortcut)
{
    const ComApartment apartment;
    CComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Put()))))
        return L"(no shell link object)";
    CComPtr<IPersistFile> file = link.As<IPersistFile>();
    wchar_t target[MAX_PATH] = {};
    if (!file || FAILED(file->Load(shortcut.c_str(), STGM_READ))
        || FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)))
        return L"(unreadable)";
    return target;
}

std::wstring LoadedModulePath(const wchar_t* name)
{
    const HMODULE module = ::GetModuleHandleW(name);
    if (!module)
        return L"(not loaded)";
    wchar_t path[MAX_PATH * 2];
    return std::wstring(path, ::GetModuleFileNameW(module, path, MAX_PATH * 2));
}

// Started suspended, a program runs none of its code and holds its file as a running one does.
class SuspendedProgram {
public:
    explicit SuspendedProgram(const std::wstring& program)
        : m_process(StartProcess(L"\"" + program + L"\"", CREATE_SUSPENDED))
    {
    }
    ~SuspendedProgram()
    {
        if (m_process) {
            ::TerminateProcess(m_process.Get(), 1);
            ::WaitForSingleObject(m_process.Get(), 10000);
        }
    }
    SuspendedProgram(const SuspendedProgram&) = delete;
    SuspendedProgram& operator=(const SuspendedProgram&) = delete;

    bool Started() const { return m_process.IsValid(); }

private:
    UniqueHandle m_process;
};

// Removes, when it goes, a file or folder that was not there when it was made.
class PathGuard {
public:
    explicit PathGuard(std::wstring path) : m_path(std::move(path)), m_existed(PathExists(m_path)) {}
    ~PathGuard()
    {
        if (!m_existed)
            RemoveTree(m_path);
    }
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

    bool Existed() const { return m_existed; }

private:
    std::wstring m_path;
    bool m_existed;
};

// The uninstaller runs from a copy of itself in the temporary folder, which Windows deletes at the
// next restart; the prefix has no restart to wait for.
class UninstallerCopies {
public:
    UninstallerCopies() : m_before(FolderNames(TempFolder(), kPattern)) {}
    ~UninstallerCopies()
    {
        for (const std::wstring& name : New())
            RemoveTree(TempFolder() + name);
    }
    UninstallerCopies(const UninstallerCopies&) = delete;
    UninstallerCopies& operator=(const UninstallerCopies&) = delete;

    std::vector<std::wstring> New() const
    {
        std::vector<std::wstring> added;
        for (const std::wstring& name : FolderNames(TempFolder(), kPattern)) {
            if (std::find(m_before.begin(), m_before.end(), name) == m_before.end())
                added.push_back(name);
        }
        return added;
    }

private:
    static constexpr const wchar_t* kPattern = L"~nsu*.tmp";
    std::vector<std::wstring> m_before;
};

// Wine keeps no access list of its own: it turns one given at creation into the Unix mode, in
// which a folder created without one keeps read access for everyone. On Windows the list is kept
// as given. Either way, a folder protected at creation gives Everyone nothing.
bool OpenToEveryone(const std::wstring& path)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    ::InitializeSid(everyone, &world, 1);
    *::GetSidSubAuthority(everyone, 0) = SECURITY_WORLD_RID;
    bool open = dacl == nullptr;
    for (DWORD index = 0; dacl && index < dacl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (::GetAce(dacl, index, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE)
            open |= ::EqualSid(&ace->SidStart, everyone) != FALSE;
    }
    ::LocalFree(descriptor);
    return open;
}

// Makes another user the owner of a file, as if that user had put it there. Under Wine a file of
// another Unix user is owned by "Anonymous", and the Unix side can give it one; Windows needs
// the restore privilege for an owner that is not the caller.
bool GiveToAnotherOwner(const std::wstring& path)
{
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    using UnixSpawn = LONG(CDECL*)(char* const argv[], int wait);
    const auto unixName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    const auto spawn = reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
    if (unixName && spawn) {
        char* file = unixName(path.c_str());
        char chown[] = "chown", nobody[] = "65534";
        char* const argv[] = {chown, nobody, file, nullptr};
        const bool given = file && spawn(argv, TRUE) == 0;
        ::HeapFree(::GetProcessHeap(), 0, file);
        return given;
    }
    UniqueHandle token;
    TOKEN_PRIVILEGES restore = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    PSID users = nullptr;
    const bool given =
        ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put())
        && ::LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &restore.Privileges[0].Luid)
        && ::AdjustTokenPrivileges(token.Get(), FALSE, &restore, 0, nullptr, nullptr)
        && ::ConvertStringSidToSidW(L"S-1-5-32-545", &users)
        && ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                   users, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::LocalFree(users);
    return given;
}

// A file held open as another program may hold it: without leave to delete or rename it.
class HeldFile {
public:
    explicit HeldFile(const std::wstring& path)
        : m_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    bool IsHeld() const { return m_file.IsValid(); }

private:
    UniqueFile m_file;
};

std::wstring ShortPath(const std::wstring& path)
{
    wchar_t shortPath[MAX_PATH];
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? shortPath : path;
}

class Setup : public ::testing::TestWithParam<SetupKind> {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(g_setupFolder.empty()) << "give the folder of the setups as the argument";
        m_setup = g_setupFolder + L"\\" + GetParam().file;
        ASSERT_TRUE(PathExists(m_setup)) << m_setup << " is missing (scripts/test.sh builds it)";
        if (GetParam().thirtyTwoBit && !SuspendedProgram(m_setup).Started())
            GTEST_SKIP() << "this machine cannot run 32-bit programs, so the 32-bit setup is not run here; "
                            "MorvaneSetup-x64.exe is built from the same script";
        ASSERT_FALSE(PathExists(DefaultFolder())) << "Tarnwick is already installed in this prefix";
        ASSERT_NE(static_cast<DWORD>(-1), StartedProcessCount()) << "this process could not join a job";
        m_before64 = RegistryTraces(KEY_WOW64_64KEY);
        m_before32 = RegistryTraces(KEY_WOW64_32KEY);
    }

    int RunSetup(const std::wstring& arguments) { return RunProcess(L"\"" + m_setup + L"\" " + arguments); }

    // msiexec with its arguments and the package: "/i" installs, "/x" uninstalls.
    static int RunPackage(const std::wstring& action, const std::wstring& package)
    {
        return RunProcess(L"msiexec.exe " + action + L" \"" + package + L"\" /qn");
    }

    // What both kinds of setup write beside their files: the record, the extension's registration
    // in both registry views (the handlers' keys are shared by the views), the event source, the
    // shortcut, and one installed-programs entry with the version.
    void ExpectRegisteredIn(const std::wstring& folder, const std::wstring& record, const std::wstring& shortcut)
    {
        EXPECT_EQ(record, ReadString(HKEY_LOCAL_MACHINE, kRecordKey, L"path", KEY_WOW64_64KEY).value_or(L"(none)"));
        const struct {
            const wchar_t* dll;
            REGSAM view;
        } views[] = {{L"MorvaneExt.dll", KEY_WOW64_64KEY}, {L"MorvaneExt32.dll", KEY_WOW64_32KEY}};
        for (const auto& view : views) {
            EXPECT_EQ(RegisteredClassDump(folder + L"\\" + view.dll), DumpKey(HKEY_CLASSES_ROOT, kClassKey, view.view));
            EXPECT_EQ(L"Kestrium",
                      ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText, view.view).value_or(L"none"));
        }
        for (const wchar_t* key : kHandlerKeys)
            EXPECT_EQ(RegisteredHandlerDump(), DumpKey(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_EQ(L"[]\nEventMessageFile = " + folder + L"\\Morvane.exe\nTypesSupported = (type 4)\n",
                  DumpKey(HKEY_LOCAL_MACHINE, kEventSourceKey));
        EXPECT_EQ(7u, ReadDword(HKEY_LOCAL_MACHINE, kEventSourceKey, L"TypesSupported").value_or(0));
        // The 32-bit extension reads the record in its own view.
        EXPECT_EQ(record, ReadString(HKEY_LOCAL_MACHINE, kRecordKey, L"path", KEY_WOW64_32KEY).value_or(L"(none)"));
        EXPECT_TRUE(TarnwickEntries(KEY_WOW64_32KEY).empty()) << "entry in the 32-bit view";
        const std::vector<std::wstring> entries = TarnwickEntries();
        EXPECT_EQ(1u, entries.size());
        for (const std::wstring& entry : entries) {
            EXPECT_EQ(kVersion, ReadString(HKEY_LOCAL_MACHINE, entry, L"DisplayVersion").value_or(L"(none)"));
            EXPECT_EQ(L"Kestrium", ReadString(HKEY_LOCAL_MACHINE, entry, L"Publisher").value_or(L"(none)"));
        }
        for (const std::wstring& file : {folder + L"\\Morvane.exe", folder + L"\\MorvaneExt.dll"})
            EXPECT_EQ(kVersion, FileVersion(file)) << file;
        // On 64-bit Windows the 64-bit binaries, which the tests' own build tree holds, and the
        // i686 tree's extension.
        const std::wstring bin = ExecutableDirectory() + L"..\\";
        const struct {
            const wchar_t* installed;
            std::wstring built;
        } files[] = {{L"Morvane.exe", bin + L"Morvane.exe"},
                     {L"MorvaneExt.dll", bin + L"MorvaneExt.dll"},
                     {L"MorvaneExt32.dll", bin + L"..\\..\\i686\\bin\\MorvaneExt.dll"}};
        for (const auto& file : files)
            EXPECT_TRUE(ReadWholeFile(folder + L"\\" + file.installed) == ReadWholeFile(file.built))
                << "installed " << file.installed << " differs from " << file.built;
        EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\Morvane.exe").c_str(), ShortcutTarget(shortcut).c_str()))
            << ShortcutTarget(shortcut);
        if (!m_programFilesX86.Existed()) {
            EXPECT_FALSE(PathExists(KnownFolder(CSIDL_PROGRAM_FILESX86) + L"\\Kestrium"));
        }
    }

    void ExpectInstalledIn(const std::wstring& folder)
    {
        EXPECT_EQ(kInstalledFiles, FolderNames(folder));
        ExpectRegisteredIn(folder, folder, Shortcut());
        const std::wstring uninstaller = L"\"" + folder + L"\\uninstall.exe\"";
        const struct {
            const wchar_t* name;
            std::wstring data;
        } entry[] = {
            {L"DisplayName", L"Tarnwick"},
            {L"InstallLocation", folder},
            {L"DisplayIcon", folder + L"\\Morvane.exe"},
            {L"UninstallString", uninstaller},
            {L"QuietUninstallString", uninstaller + L" /S"},
        };
        for (const auto& value : entry)
            EXPECT_EQ(value.data, ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, value.name).value_or(L"(none)"))
                << value.name;
        const struct {
            const wchar_t* name;
            DWORD data;
        } numbers[] = {
            {L"NoModify", 1},
            {L"NoRepair", 1},
            {L"VersionMajor", MORVANE_VERSION_MAJOR},
            {L"VersionMinor", MORVANE_VERSION_MINOR},
        };
        for (const auto& value : numbers)
            EXPECT_EQ(value.data, ReadDword(HKEY_LOCAL_MACHINE, kUninstallKey, value.name).value_or(~0u)) << value.name;
        EXPECT_EQ(kVersion, FileVersion(m_setup));
    }

    // What Explorer does when the user picks "Delete by Kestrium" on one file.
    StartedProgram DeleteByKestrium(const std::wstring& folder, const std::wstring& file)
    {
        StartedProgram morvane;
        {
            const ComApartment apartment;
            CComPtr<IContextMenu> menu;
            EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_MorvaneShlExt, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_PPV_ARGS(menu.Put())));
            if (!menu)
                return morvane;
            EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\MorvaneExt.dll").c_str(), LoadedModulePath(L"MorvaneExt.dll").c_str()))
                << LoadedModulePath(L"MorvaneExt.dll");
            CComPtr<IShellExtInit> init = menu.As<IShellExtInit>();
            EXPECT_TRUE(init && init->Initialize(nullptr, MakeDropDataObject({file}).Get(), nullptr) == S_OK);
            const UniqueMenu popup(::CreatePopupMenu());
            EXPECT_EQ(1, menu->QueryContextMenu(popup.Get(), 0, 100, 200, CMF_NORMAL));
            wchar_t text[64] = {};
            ::GetMenuStringW(popup.Get(), 100, text, 64, MF_BYCOMMAND);
            EXPECT_STREQ(L"Delete by Kestrium", text);

            const std::vector<DWORD> running = ProcessesNamed(L"Morvane.exe");
            CMINVOKECOMMANDINFO info = {};
            info.cbSize = sizeof(info);
            info.lpVerb = MAKEINTRESOURCEA(0);
            info.nShow = SW_SHOWNORMAL;
            EXPECT_EQ(S_OK, menu->InvokeCommand(&info));
            EXPECT_TRUE(morvane.Find(L"Morvane.exe", running, 30000)) << "no new Morvane.exe runs";
        }
        // Explorer lets the DLL go in time too; while it is loaded, the uninstaller cannot delete it.
        EXPECT_EQ(L"(not loaded)", LoadedModulePath(L"MorvaneExt.dll"));
        return morvane;
    }

    // The installed program, with the file's path as its one argument (how the extension quotes
    // it is the extension's own test, ContextMenu.InvokeStartsMorvaneWithTheSelectedPath).
    static void ExpectStartedOn(const StartedProgram& morvane, const std::wstring& folder, const std::wstring& file)
    {
        EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\Morvane.exe").c_str(), morvane.Image().c_str())) << morvane.Image();
        const std::wstring line = morvane.CommandLine();
        int count = 0;
        LPWSTR* arguments = ::CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(nullptr, arguments);
        EXPECT_EQ(2, count) << line;
        if (count == 2) {
            EXPECT_EQ(file, arguments[1]);
        }
        ::LocalFree(arguments);
    }

    // As the user goes on from the menu item: confirms, takes the one-pass method and waits for
    // the job to end. A program left running at a failure is ended, so that uninstalling works.
    static void SeeTheEraseThrough(const StartedProgram& morvane, const std::wstring& file)
    {
        const ProgramRun program(morvane.Id());
        ConfirmAndChoose(program, 3);
        FinishProgress(program, L"Deleting ...");
        EXPECT_TRUE(program.HasEnded(kGuiPatienceMs)) << "Morvane.exe still runs";
        EXPECT_FALSE(PathExists(file));
    }

    // From the menu item to the end of the job, with the program of this folder.
    void EraseFromTheMenu(const std::wstring& folder)
    {
        const std::wstring file = m_temp.WriteFile(L"old report.txt", "to be erased");
        StartedProgram morvane = DeleteByKestrium(folder, file);
        ExpectStartedOn(morvane, folder, file);
        SeeTheEraseThrough(morvane, file);
    }

    // An uninstaller's quiet command (the installed-programs entry's by default), to its very end.
    void Uninstall(std::wstring command = L"")
    {
        if (command.empty())
            command = ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString").value_or(L"");
        ASSERT_FALSE(command.empty());
        ASSERT_EQ(0, RunProcess(command));
        // The copy it hands over to is this process's grandchild, in its job.
        ASSERT_TRUE(WaitForStartedProcesses());
        const std::vector<std::wstring> pending =
            ReadMultiString(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletes);
        for (const std::wstring& copy : m_uninstallerCopies.New()) {
            const std::wstring folder = TempFolder() + copy;
            std::vector<std::wstring> left = {folder};
            for (const std::wstring& name : FolderNames(folder))
                left.push_back(folder + L"\\" + name);
            for (const std::wstring& path : left)
                EXPECT_NE(pending.end(), std::find(pending.begin(), pending.end(), L"\\??\\" + path))
                    << path << " stays after a restart";
        }
    }

    void ExpectNothingLeftIn(const std::wstring& folder)
    {
        EXPECT_FALSE(PathExists(folder));
        if (!m_programFiles.Existed()) {
            EXPECT_FALSE(PathExists(KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Kestrium"));
        }
        EXPECT_FALSE(PathExists(Shortcut()));
        EXPECT_EQ(m_before64, RegistryTraces(KEY_WOW64_64KEY));
        EXPECT_EQ(m_before32, RegistryTraces(KEY_WOW64_32KEY));
    }

    const ExtensionRegistryGuard m_extension;
    const KeyPathGuard m_record64{HKEY_LOCAL_MACHINE, kRecordKey, KEY_WOW64_64KEY};
    const KeyPathGuard m_record32{HKEY_LOCAL_MACHINE, kRecordKey, KEY_WOW64_32KEY};
    const ValueGuard m_recordPath{HKEY_LOCAL_MACHINE, kRecordKey, L"path"};
    const KeyPathGuard m_uninstall64{HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY};
    const KeyPathGuard m_uninstall32{HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY};
    const KeyPathGuard m_class32{HKEY_LOCAL_MACHINE, kClass32Key, KEY_WOW64_32KEY};
    const KeyPathGuard m_approval32{HKEY_LOCAL_MACHINE, kApprovedKey, KEY_WOW64_32KEY};
    const KeyPathGuard m_eventSource{HKEY_LOCAL_MACHINE, kEventSourceKey};
    const KeyPathGuard m_settings{HKEY_CURRENT_USER, kSettingsKey};
    const ValueGuard m_settingsMethod{HKEY_CURRENT_USER, kSettingsKey, L"file_method"};
    const ValueGuard m_settingsClose{HKEY_CURRENT_USER, kSettingsKey, L"close_after_delete"};
    const ValueGuard m_pendingDeletes{HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletes};
    const PathGuard m_programFiles{KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Kestrium"};
    const PathGuard m_programFilesX86{KnownFolder(CSIDL_PROGRAM_FILESX86) + L"\\Kestrium"};
    const PathGuard m_shortcut{Shortcut()};
    const PathGuard m_userShortcut{KnownFolder(CSIDL_PROGRAMS) + L"\\Tarnwick.lnk"};
    const UninstallerCopies m_uninstallerCopies;
    const TempDir m_temp;
    std::wstring m_setup;
    std::wstring m_before64;
    std::wstring m_before32;
};

}  // namespace

TEST_P(Setup, InstallsStartsMorvaneFromTheMenuAndUninstallsAllButTheSettings)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring folder = DefaultFolder();
    ExpectInstalledIn(folder);
    EraseFromTheMenu(folder);

    ASSERT_TRUE(WriteDword(HKEY_CURRENT_USER, kSettingsKey, L"file_method", 2));
    const std::wstring settings = DumpKey(HKEY_CURRENT_USER, kSettingsKey);
    Uninstall();
    ExpectNothingLeftIn(folder);
    EXPECT_EQ(settings, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
}

// The longest folder is the one whose longest file path, MorvaneExt32.dll's, still fits MAX_PATH.
TEST_P(Setup, TakesTheLongestFolderThatWorksAndRefusesALongerOneWithoutChangingAnything)
{
    const std::wstring base = m_temp.Path() + L"\\";
    const std::wstring longest = base + std::wstring(242 - base.size(), L'd');
    ASSERT_EQ(0, RunSetup(L"/S /D=" + longest));
    EXPECT_EQ(longest, ReadString(HKEY_LOCAL_MACHINE, kRecordKey, L"path").value_or(L"(none)"));
    EraseFromTheMenu(longest);
    Uninstall();
    ExpectNothingLeftIn(longest);

    // NSIS ends a setup whose script aborted with 2.
    const std::wstring longer = longest + L"e";
    EXPECT_EQ(2, RunSetup(L"/S /D=" + longer));
    ExpectNothingLeftIn(longer);
}

// A folder the user chose may come to hold an administrator's files, and the publisher's key
// other values.
TEST_P(Setup, UninstallTakesAwayOnlyWhatSetupPutThere)
{
    const std::wstring folder = m_temp / L"My Tools";
    const ValueGuard neighbour(HKEY_LOCAL_MACHINE, kRecordKey, L"licence");
    ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kRecordKey, L"licence", L"another product's"));
    ASSERT_EQ(0, RunSetup(L"/S /D=" + folder));
    m_temp.WriteFile(L"My Tools\\notes.txt", "mine");
    EXPECT_EQ(folder, ReadString(HKEY_LOCAL_MACHINE, kRecordKey, L"path").value_or(L"(none)"));
    Uninstall();

    EXPECT_EQ(std::vector<std::wstring>{L"notes.txt"}, FolderNames(folder));
    EXPECT_EQ("mine", ReadWholeFile(folder + L"\\notes.txt"));
    EXPECT_EQ(L"[]\nlicence = another product's\n", DumpKey(HKEY_LOCAL_MACHINE, kRecordKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

// Without /D= the setup goes over the installation it finds, wherever that is. Files of trusted
// owners under the setup's names (here links to a file of the tests', which Wine shows owned as
// Windows' own files are) are replaced, not written through; another user's are refused (below).
TEST_P(Setup, ReinstallsOverTheInstallationInTheFolderItRemembers)
{
    const std::wstring folder = m_temp / L"Tarnwick";
    ASSERT_EQ(0, RunSetup(L"/S /D=" + folder));
    const std::wstring theirs = m_temp.WriteFile(L"theirs.txt", "theirs");
    for (const std::wstring& name : kInstalledFiles) {
        const std::wstring path = folder + L"\\" + name;
        ASSERT_TRUE(::DeleteFileW(path.c_str()) && ::CreateHardLinkW(path.c_str(), theirs.c_str(), nullptr)) << name;
    }
    ASSERT_EQ(0, RunSetup(L"/S"));
    EXPECT_FALSE(PathExists(DefaultFolder()));
    EXPECT_EQ("theirs", ReadWholeFile(theirs));
    ExpectInstalledIn(folder);
    Uninstall();
    ExpectNothingLeftIn(folder);
}

TEST_P(Setup, InstallingIntoAnotherFolderRemovesTheFirstInstallation)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring second = m_temp / L"Second";
    ASSERT_EQ(0, RunSetup(L"/S /D=" + second));
    EXPECT_FALSE(PathExists(DefaultFolder()));
    if (!m_programFiles.Existed()) {
        EXPECT_FALSE(PathExists(KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Kestrium"));
    }
    ExpectInstalledIn(second);
    Uninstall();
    ExpectNothingLeftIn(second);
}

// The first folder as an earlier setup, which left an installation behind when it installed into
// another folder, left it: its uninstaller takes its own files and nothing of the second.
TEST_P(Setup, AStaleUninstallerTakesOnlyItsOwnFiles)
{
    const std::wstring first = m_temp / L"First";
    const std::wstring second = m_temp / L"Second";
    ASSERT_EQ(0, RunSetup(L"/S /D=" + first));
    std::vector<std::string> contents;
    for (const std::wstring& name : kInstalledFiles)
        contents.push_back(ReadWholeFile(first + L"\\" + name));
    ASSERT_EQ(0, RunSetup(L"/S /D=" + second));
    m_temp.MakeFolder(L"First");
    for (size_t file = 0; file < kInstalledFiles.size(); ++file)
        m_temp.WriteFile(L"First\\" + kInstalledFiles[file], contents[file]);

    Uninstall(L"\"" + first + L"\\uninstall.exe\" /S");
    EXPECT_FALSE(PathExists(first));
    ExpectInstalledIn(second);
    Uninstall();
    ExpectNothingLeftIn(second);
}

// Explorer holds the extension loaded for as long as a user is logged on (here this process does),
// and the program may be running. The earlier build is the same code with bytes after it, which
// the loader does not read. The new files are in place at once; the earlier ones, moved aside,
// go at the restart, which also brings the new extension into Explorer.
TEST_P(Setup, UpgradesFilesInUseAtOnceAndLeavesTheEarlierOnesToTheRestart)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring folder = DefaultFolder();
    for (const wchar_t* name : {L"Morvane.exe", L"MorvaneExt.dll"}) {
        const std::wstring path = folder + L"\\" + name;
        ASSERT_TRUE(::MoveFileExW(m_temp.WriteFile(name, ReadWholeFile(path) + "earlier build").c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING));
    }
    {
        const SuspendedProgram morvane(folder + L"\\Morvane.exe");
        ASSERT_TRUE(morvane.Started());
        const ComApartment apartment;
        CComPtr<IContextMenu> menu;
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_MorvaneShlExt, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(menu.Put())));
        EXPECT_EQ(3010, RunSetup(L"/S"));
        // Pairs of source and target; an empty target deletes the source.
        const std::vector<std::wstring> pending = ReadMultiString(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletes);
        const std::vector<std::wstring> aside = FolderNames(folder, L"ns*.tmp");
        EXPECT_EQ(2u, aside.size());
        for (const std::wstring& name : aside) {
            const auto source = std::find(pending.begin(), pending.end(), L"\\??\\" + folder + L"\\" + name);
            ASSERT_TRUE(source != pending.end() && source + 1 != pending.end()) << name << " stays after a restart";
            EXPECT_EQ(L"", source[1]);
        }
        std::vector<std::wstring> names = kInstalledFiles;
        names.insert(names.end(), aside.begin(), aside.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, FolderNames(folder));
        ExpectRegisteredIn(folder, folder, Shortcut());
    }
    // A restart, as far as Wine has one: it carries out the pending deletes.
    EXPECT_EQ(0, RunProcess(L"wineboot.exe -r"));
    ExpectInstalledIn(folder);
    Uninstall();
    ExpectNothingLeftIn(folder);
}

// Another spelling of the installed folder (its 8.3 name) is that folder, for the setup, which
// goes over it in place, and for the uninstaller there, which is not stale.
TEST_P(Setup, TheShortNameOfTheInstalledFolderIsThatFolder)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring shortFolder = ShortPath(DefaultFolder());
    ASSERT_NE(DefaultFolder(), shortFolder);
    ASSERT_EQ(0, RunSetup(L"/S /D=" + shortFolder));
    ExpectInstalledIn(DefaultFolder());
    Uninstall(L"\"" + shortFolder + L"\\uninstall.exe\" /S");
    ExpectNothingLeftIn(DefaultFolder());
}

// Program Files protects what is in it; every folder the setup creates elsewhere is created
// protected, before anything is put into it. A way out of Program Files through ".." does not
// pass for one in it, and no command runs to protect a folder after the fact.
TEST_P(Setup, CreatesAFolderOutsideProgramFilesProtected)
{
    const std::wstring throughProgramFiles = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\.." + m_temp.Path().substr(2);
    const struct {
        std::wstring given;
        std::wstring folder;
        std::vector<std::wstring> created;
    } cases[] = {
        {m_temp / L"Tools\\Tarnwick", m_temp / L"Tools\\Tarnwick", {m_temp / L"Tools", m_temp / L"Tools\\Tarnwick"}},
        {throughProgramFiles + L"\\Tarnwick", m_temp / L"Tarnwick", {m_temp / L"Tarnwick"}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(0, RunSetup(L"/S /D=" + c.given));
        for (const std::wstring& folder : c.created)
            EXPECT_FALSE(OpenToEveryone(folder)) << folder;
        ExpectInstalledIn(c.folder);
        Uninstall();
        ExpectNothingLeftIn(c.folder);
    }
}

// A folder the setup cannot make its own, or files it cannot replace now: the existing
// installation stays as it was, and so does everything in and around the folder.
TEST_P(Setup, RefusesWhatItCannotMakeItsOwnAndChangesNothing)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring shared = m_temp.MakeFolder(L"Shared");
    m_temp.WriteFile(L"Shared\\version.dll", "a user's");
    const std::wstring planted = m_temp.MakeFolder(L"Planted");
    ASSERT_TRUE(GiveToAnotherOwner(m_temp.WriteFile(L"Planted\\MorvaneExt.dll", "a user's")));
    const std::wstring link = m_temp / L"Link";
    ASSERT_TRUE(MakeFolderLink(link, m_temp.MakeFolder(L"Elsewhere")));
    const struct {
        const char* what;
        std::wstring folder;
        std::wstring held;
    } cases[] = {
        {"a folder with other files", shared, L""},
        {"a file another user owns", planted, L""},
        {"a link", link, L""},
        {"an extension another program holds", DefaultFolder(), DefaultFolder() + L"\\MorvaneExt.dll"},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> around = FolderNames(m_temp.Path());
        const std::vector<std::wstring> inside = FolderNames(c.folder);
        const std::string extension = ReadWholeFile(DefaultFolder() + L"\\MorvaneExt.dll");
        const std::wstring registry = RegistryTraces(KEY_WOW64_64KEY);
        const std::unique_ptr<HeldFile> held = c.held.empty() ? nullptr : std::make_unique<HeldFile>(c.held);
        ASSERT_TRUE(!held || held->IsHeld()) << c.what;
        EXPECT_EQ(2, RunSetup(L"/S /D=" + c.folder)) << c.what;
        EXPECT_EQ(around, FolderNames(m_temp.Path())) << c.what;
        EXPECT_EQ(inside, FolderNames(c.folder)) << c.what;
        EXPECT_EQ(extension, ReadWholeFile(DefaultFolder() + L"\\MorvaneExt.dll")) << c.what;
        EXPECT_EQ(registry, RegistryTraces(KEY_WOW64_64KEY)) << c.what;
    }
    ExpectInstalledIn(DefaultFolder());
    EXPECT_EQ("a user's", ReadWholeFile(shared + L"\\version.dll"));
    Uninstall();
    ExpectNothingLeftIn(DefaultFolder());
}

// The package as a management tool deploys it: installed silently, replaced in place by a newer
// one, removed silently. The 32-bit package is for 32-bit Windows and says so elsewhere.
TEST_P(Setup, PackageInstallsUpgradesInPlaceAndUninstallsSilently)
{
    const std::wstring package = g_setupFolder + L"\\" + GetParam().package;
    const std::wstring folder = DefaultFolder();
    if (GetParam().thirtyTwoBit) {
        EXPECT_EQ(ERROR_INSTALL_FAILURE, RunPackage(L"/i", package));
        ExpectNothingLeftIn(folder);
        return;
    }
    ASSERT_EQ(0, RunPackage(L"/i", package));
    EXPECT_EQ(kPackageFiles, FolderNames(folder));
    ExpectRegisteredIn(folder, folder + L"\\", PackageShortcut());

    const std::wstring newer = g_setupFolder + L"\\next\\" + GetParam().package;
    ASSERT_EQ(0, RunPackage(L"/i", newer));
    EXPECT_EQ(kPackageFiles, FolderNames(folder));
    const std::vector<std::wstring> entries = TarnwickEntries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_NE(kVersion, ReadString(HKEY_LOCAL_MACHINE, entries[0], L"DisplayVersion").value_or(kVersion));

    ASSERT_EQ(0, RunPackage(L"/x", newer));
    ExpectNothingLeftIn(folder);
    EXPECT_FALSE(PathExists(PackageShortcut()));
}

// Each kind of setup leaves the other's installation to it: it says so, ends with an error and
// changes nothing.
TEST_P(Setup, NeitherKindOfSetupGoesOverTheOthersInstallation)
{
    if (GetParam().thirtyTwoBit)
        GTEST_SKIP() << "the 32-bit package does not install on 64-bit Windows";
    const std::wstring package = g_setupFolder + L"\\" + GetParam().package;
    const std::wstring folder = DefaultFolder();
    const auto expectUnchanged = [&](const std::function<int()>& install, int exitCode) {
        const std::vector<std::wstring> files = FolderNames(folder);
        const std::wstring registry = RegistryTraces(KEY_WOW64_64KEY) + RegistryTraces(KEY_WOW64_32KEY);
        EXPECT_EQ(exitCode, install());
        EXPECT_EQ(files, FolderNames(folder));
        EXPECT_EQ(registry, RegistryTraces(KEY_WOW64_64KEY) + RegistryTraces(KEY_WOW64_32KEY));
    };

    ASSERT_EQ(0, RunPackage(L"/i", package));
    expectUnchanged([&] { return RunSetup(L"/S"); }, 2);
    ASSERT_EQ(0, RunPackage(L"/x", package));

    ASSERT_EQ(0, RunSetup(L"/S"));
    expectUnchanged([&] { return RunPackage(L"/i", package); }, ERROR_INSTALL_FAILURE);
    Uninstall();
    ExpectNothingLeftIn(folder);
}

INSTANTIATE_TEST_SUITE_P(EachSetup, Setup, ::testing::ValuesIn(kSetups),
                         [](const ::testing::TestParamInfo<SetupKind>& info) { return info.param.name; });

// CTest passes the setups' folder as the build machine names it.
int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        std::wstring folder = argv[1];
        using DosFileName = WCHAR*(CDECL*)(LPCSTR);
        const auto toDos = reinterpret_cast<DosFileName>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
        if (folder[0] == L'/' && toDos) {
            WCHAR* dos = toDos(std::string(folder.begin(), folder.end()).c_str());
            if (dos) {
                folder = dos;
                ::HeapFree(::GetProcessHeap(), 0, dos);
            }
        }
        g_setupFolder = folder;
    }
    return RUN_ALL_TESTS();
}
