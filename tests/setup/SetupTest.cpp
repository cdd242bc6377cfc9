// Tarnwick's setup as an administrator runs it, silently: it installs, the extension it registered
// is created through COM as Explorer creates it and starts the installed Morvane.exe on a file,
// and the uninstaller, run as the list of installed programs runs it, takes everything away but
// the user's settings. Then the setup's later days: reinstalling, moving, upgrading files in use,
// stale uninstallers and folders outside Program Files. Every setup the build makes is run where
// the machine can run it.
//
//   setup_tests.exe [GoogleTest flags] <folder of MorvaneSetup.exe and MorvaneSetup-x64.exe>

#include "com/ComPtr.h"
#include "resources/resource.h"
#include "tests/setup/StartedProgram.h"
#include "tests/shellext/DropDataObject.h"
#include "tests/shellext/ExtensionTestSupport.h"
#include "tests/support/Gui.h"
#include "tests/support/Links.h"
#include "tests/support/RegistryState.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

const wchar_t kRecordKey[] = L"SOFTWARE\\Kestrium";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick";
const wchar_t kSettingsKey[] = L"Software\\Kestrium\\Morvane\\settings";
const wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingDeletes[] = L"PendingFileRenameOperations";
const wchar_t kWineOverrides[] = L"Software\\Wine\\DllOverrides";
const std::wstring kClass32Key = L"Software\\Classes\\" + kClassKey;
const std::wstring kVersion = L"" MORVANE_VERSION;
const std::vector<std::wstring> kInstalledFiles = {L"Morvane.exe", L"MorvaneExt.dll", L"uninstall.exe"};

std::wstring g_setupFolder;

struct SetupKind {
    const char* name;
    const wchar_t* file;
    bool thirtyTwoBit;
};

void PrintTo(const SetupKind& kind, std::ostream* out)
{
    *out << kind.name;
}

const SetupKind kSetups[] = {
    {"x86", L"MorvaneSetup.exe", true},
    {"x64", L"MorvaneSetup-x64.exe", false},
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

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, path);
    return std::wstring(path, length);
}

// Names in a folder matching a pattern, sorted; "." and ".." left out.
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name)
{
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    if (::RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
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

// Where the product leaves traces in one registry view. The handler keys under HKEY_CLASSES_ROOT\*
// and \Directory are shared by both views, so they belong to the 64-bit view's traces only.
std::wstring RegistryTraces(REGSAM view)
{
    std::wstring traces;
    for (const std::wstring& key : {std::wstring(kRecordKey), std::wstring(kUninstallKey)})
        traces += L"HKLM\\" + key + L"\n" + DumpKey(HKEY_LOCAL_MACHINE, key, view);
    std::vector<std::wstring> classKeys = {kClassKey};
    if (view == KEY_WOW64_64KEY)
        classKeys.insert(classKeys.end(), {kFileHandlerKey, kFolderHandlerKey});
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
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Put()))))
        return L"(no shell link object)";
    ComPtr<IPersistFile> file = link.As<IPersistFile>();
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
    {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &info)) {
            m_process.Reset(info.hProcess);
            ::CloseHandle(info.hThread);
        }
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

// Wine's own icacls changes nothing and reports success, so the tests that look at the protection
// put the stand-in program in its place, which records every command and ends with the given
// code. Wine runs its built-in program for a name it has one for unless told to take the file.
class IcaclsStandIn {
public:
    explicit IcaclsStandIn(int exitCode)
    {
        ::MoveFileW(m_program.c_str(), m_original.c_str());
        ::CopyFileW((ExecutableDirectory() + L"..\\MorvaneStandIn.exe").c_str(), m_program.c_str(), FALSE);
        WriteString(HKEY_CURRENT_USER, kWineOverrides, L"icacls.exe", L"native");
        ::SetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", std::to_wstring(exitCode).c_str());
    }
    ~IcaclsStandIn()
    {
        ::SetEnvironmentVariableW(L"MORVANE_STANDIN_EXIT_CODE", nullptr);
        ::DeleteFileW(m_record.c_str());
        ::MoveFileExW(m_original.c_str(), m_program.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    IcaclsStandIn(const IcaclsStandIn&) = delete;
    IcaclsStandIn& operator=(const IcaclsStandIn&) = delete;

    // The arguments of every run, in order.
    std::vector<std::wstring> Commands() const
    {
        std::vector<std::wstring> commands;
        const std::vector<std::wstring> lines = ReadStandInRecord(m_record);
        for (size_t line = 0; line < lines.size(); line += 2) {
            const size_t program = lines[line].find(L"icacls.exe\" ");
            commands.push_back(program == std::wstring::npos ? lines[line] : lines[line].substr(program + 12));
        }
        return commands;
    }

private:
    const std::wstring m_program = KnownFolder(CSIDL_SYSTEM) + L"\\icacls.exe";
    const std::wstring m_original = m_program + L".original";
    const std::wstring m_record = KnownFolder(CSIDL_SYSTEM) + L"\\launch.txt";
    const KeyPathGuard m_overridesKey{HKEY_CURRENT_USER, kWineOverrides};
    const ValueGuard m_override{HKEY_CURRENT_USER, kWineOverrides, L"icacls.exe"};
};

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

    void ExpectInstalledIn(const std::wstring& folder)
    {
        EXPECT_EQ(kInstalledFiles, FolderNames(folder));
        // On 64-bit Windows the 64-bit binaries, which the tests' own build tree holds.
        for (const wchar_t* name : {L"Morvane.exe", L"MorvaneExt.dll"})
            EXPECT_TRUE(ReadWholeFile(folder + L"\\" + name) == ReadWholeFile(ExecutableDirectory() + L"..\\" + name))
                << "installed " << name << " differs from the x86_64 build's";
        if (!m_programFilesX86.Existed()) {
            EXPECT_FALSE(PathExists(KnownFolder(CSIDL_PROGRAM_FILESX86) + L"\\Kestrium"));
        }

        EXPECT_EQ(folder, ReadString(HKEY_LOCAL_MACHINE, kRecordKey, L"path").value_or(L"(none)"));
        EXPECT_EQ(L"[]\n"
                  L"@ = Morvane Class\n"
                  L"[InprocServer32]\n"
                  L"@ = " + folder + L"\\MorvaneExt.dll\n"
                  L"ThreadingModel = Apartment\n",
                  DumpKey(HKEY_CLASSES_ROOT, kClassKey));
        const std::wstring handler = std::wstring(L"[]\n@ = ") + kMorvaneShlExtClsidText + L"\n";
        EXPECT_EQ(handler, DumpKey(HKEY_CLASSES_ROOT, kFileHandlerKey));
        EXPECT_EQ(handler, DumpKey(HKEY_CLASSES_ROOT, kFolderHandlerKey));
        EXPECT_EQ(L"Kestrium", ReadString(HKEY_LOCAL_MACHINE, kApprovedKey, kMorvaneShlExtClsidText).value_or(L"none"));

        const std::wstring uninstaller = L"\"" + folder + L"\\uninstall.exe\"";
        const struct {
            const wchar_t* name;
            std::wstring data;
        } entry[] = {
            {L"DisplayName", L"Tarnwick"},
            {L"DisplayVersion", kVersion},
            {L"Publisher", L"Kestrium"},
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
        for (const std::wstring& file : {folder + L"\\Morvane.exe", folder + L"\\MorvaneExt.dll", m_setup})
            EXPECT_EQ(kVersion, FileVersion(file)) << file;

        EXPECT_EQ(m_before32, RegistryTraces(KEY_WOW64_32KEY)) << "Setup wrote into the 32-bit registry view";
        EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\Morvane.exe").c_str(), ShortcutTarget(Shortcut()).c_str()))
            << ShortcutTarget(Shortcut());
    }

    // What Explorer does when the user picks "Delete by Kestrium" on one file.
    StartedProgram DeleteByKestrium(const std::wstring& folder, const std::wstring& file)
    {
        StartedProgram morvane;
        {
            const ComApartment apartment;
            ComPtr<IContextMenu> menu;
            EXPECT_EQ(S_OK, ::CoCreateInstance(CLSID_MorvaneShlExt, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_PPV_ARGS(menu.Put())));
            if (!menu)
                return morvane;
            EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\MorvaneExt.dll").c_str(), LoadedModulePath(L"MorvaneExt.dll").c_str()))
                << LoadedModulePath(L"MorvaneExt.dll");
            ComPtr<IShellExtInit> init = menu.As<IShellExtInit>();
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

    // The installed program, with the file's path in double quotes as its one argument.
    static void ExpectStartedOn(const StartedProgram& morvane, const std::wstring& folder, const std::wstring& file)
    {
        EXPECT_EQ(0, ::lstrcmpiW((folder + L"\\Morvane.exe").c_str(), morvane.Image().c_str())) << morvane.Image();
        const std::wstring line = morvane.CommandLine();
        const std::wstring quoted = L" \"" + file + L"\"";
        ASSERT_GE(line.size(), quoted.size()) << line;
        EXPECT_EQ(quoted, line.substr(line.size() - quoted.size())) << line;
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
    static void SeeTheEraseThrough(StartedProgram& morvane, const std::wstring& file)
    {
        DriveTheErase(morvane.Id(), file);
        if (::WaitForSingleObject(morvane.Process(), kGuiPatienceMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "Morvane.exe still runs";
            morvane.End();
        }
        EXPECT_FALSE(PathExists(file));
    }

    static void DriveTheErase(DWORD pid, const std::wstring& file)
    {
        HWND confirm = WaitForWindow(L"Tarnwick", pid);
        ASSERT_TRUE(confirm) << "no confirmation";
        EXPECT_EQ(L"Do you really want to delete " + file + L" ?", MessageBoxText(confirm));
        PressButton(confirm, IDYES);
        HWND chooser = WaitForWindow(L"Choose delete method", pid);
        ASSERT_TRUE(chooser) << "no method chooser";
        ::SendMessageW(::GetDlgItem(chooser, IDC_METHOD), CB_SETCURSEL, 3, 0);
        PressButton(chooser, IDOK);
        HWND progress = WaitForWindow(L"Deleting ...", pid);
        ASSERT_TRUE(progress) << "no progress";
        EXPECT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
        PressButton(progress, IDC_CANCEL_FINISH);
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
    const KeyPathGuard m_settings{HKEY_CURRENT_USER, kSettingsKey};
    const ValueGuard m_settingsMethod{HKEY_CURRENT_USER, kSettingsKey, L"file_method"};
    const ValueGuard m_settingsClose{HKEY_CURRENT_USER, kSettingsKey, L"close_after_delete"};
    const ValueGuard m_pendingDeletes{HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletes};
    const PathGuard m_programFiles{KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Kestrium"};
    const PathGuard m_programFilesX86{KnownFolder(CSIDL_PROGRAM_FILESX86) + L"\\Kestrium"};
    const PathGuard m_shortcut{Shortcut()};
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

    const DWORD method = 2;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"file_method", REG_DWORD, &method,
                                               sizeof(method)));
    const std::wstring settings = DumpKey(HKEY_CURRENT_USER, kSettingsKey);
    Uninstall();
    ExpectNothingLeftIn(folder);
    EXPECT_EQ(settings, DumpKey(HKEY_CURRENT_USER, kSettingsKey));
}

// The longest folder is the one whose longest file path, MorvaneExt.dll's, still fits MAX_PATH.
TEST_P(Setup, TakesTheLongestFolderThatWorksAndRefusesALongerOneWithoutChangingAnything)
{
    const std::wstring base = m_temp.Path() + L"\\";
    const std::wstring longest = base + std::wstring(244 - base.size(), L'd');
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

// Without /D= the setup goes over the installation it finds, wherever that is. What any user could
// have put there under the setup's names before the folder was protected (here links to a file of
// theirs) is replaced, not written through.
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
    EraseFromTheMenu(second);
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
    EraseFromTheMenu(second);
    Uninstall();
    ExpectNothingLeftIn(second);
}

// Explorer holds the extension loaded for as long as a user is logged on (here this process does),
// and the program may be running. The earlier build is the same code with bytes after it, which
// the loader does not read.
TEST_P(Setup, UpgradesFilesInUseAtTheNextRestart)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring folder = DefaultFolder();
    std::vector<std::pair<std::wstring, std::string>> earlier;
    for (const wchar_t* name : {L"Morvane.exe", L"MorvaneExt.dll"}) {
        const std::wstring path = folder + L"\\" + name;
        earlier.emplace_back(path, ReadWholeFile(path) + "earlier build");
        ASSERT_TRUE(::MoveFileExW(m_temp.WriteFile(name, earlier.back().second).c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING));
    }
    {
        const SuspendedProgram morvane(folder + L"\\Morvane.exe");
        ASSERT_TRUE(morvane.Started());
        const ComApartment apartment;
        ComPtr<IContextMenu> menu;
        ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_MorvaneShlExt, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(menu.Put())));
        EXPECT_EQ(3010, RunSetup(L"/S"));
        const std::vector<std::wstring> pending = ReadMultiString(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingDeletes);
        for (const auto& [path, content] : earlier) {
            EXPECT_EQ(content, ReadWholeFile(path)) << path;
            // Pairs of source and target; "!" marks a target that is replaced.
            const auto target = std::find(pending.begin(), pending.end(), L"!\\??\\" + path);
            ASSERT_TRUE(target != pending.end() && target != pending.begin()) << "no replacement of " << path;
            EXPECT_EQ(L"\\??\\" + folder + L"\\ns", target[-1].substr(0, folder.size() + 7)) << target[-1];
        }
    }
    // A restart, as far as Wine has one: it carries out the pending renames.
    EXPECT_EQ(0, RunProcess(L"wineboot.exe -r"));
    ExpectInstalledIn(folder);
    Uninstall();
    ExpectNothingLeftIn(folder);
}

// Program Files protects what is in it; a folder elsewhere gets the same protection, the
// outermost folder the setup creates for it included, before anything is put into it. A way out of
// Program Files through ".." does not pass for one in it.
TEST_P(Setup, ProtectsAFolderOutsideProgramFiles)
{
    const auto protection = [](const std::wstring& folder) {
        const std::wstring quoted = L"\"" + folder + L"\" ";
        return std::vector<std::wstring>{
            quoted + L"/setowner *S-1-5-32-544", quoted + L"/reset",
            quoted + L"/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"};
    };
    const std::wstring throughProgramFiles = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\.." + m_temp.Path().substr(2);
    const struct {
        std::wstring given;
        std::wstring folder;
        std::vector<std::wstring> commands;
    } cases[] = {
        {DefaultFolder(), DefaultFolder(), {}},
        {m_temp / L"Tools\\Tarnwick", m_temp / L"Tools\\Tarnwick", protection(m_temp / L"Tools")},
        {throughProgramFiles + L"\\Tarnwick", m_temp / L"Tarnwick", protection(m_temp / L"Tarnwick")},
    };
    for (const auto& c : cases) {
        const IcaclsStandIn icacls(0);
        ASSERT_EQ(0, RunSetup(L"/S /D=" + c.given));
        EXPECT_EQ(c.commands, icacls.Commands());
        ExpectInstalledIn(c.folder);
        Uninstall();
        ExpectNothingLeftIn(c.folder);
    }
}

// A folder the setup cannot make its own: the existing installation stays as it was, and so does
// everything in and around the folder.
TEST_P(Setup, RefusesAFolderItCannotProtectAndChangesNothing)
{
    ASSERT_EQ(0, RunSetup(L"/S"));
    const std::wstring shared = m_temp.MakeFolder(L"Shared");
    m_temp.WriteFile(L"Shared\\version.dll", "a user's");
    const std::wstring link = m_temp / L"Link";
    ASSERT_TRUE(MakeFolderLink(link, m_temp.MakeFolder(L"Elsewhere")));
    const struct {
        const char* what;
        std::wstring folder;
        int icaclsExitCode;
        size_t commands;
    } cases[] = {
        {"icacls fails", m_temp / L"New\\Tarnwick", 5, 1},
        {"a folder with other files", shared, 0, 0},
        {"a link", link, 0, 0},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> around = FolderNames(m_temp.Path());
        const std::vector<std::wstring> inside = FolderNames(c.folder);
        const IcaclsStandIn icacls(c.icaclsExitCode);
        EXPECT_EQ(2, RunSetup(L"/S /D=" + c.folder)) << c.what;
        EXPECT_EQ(c.commands, icacls.Commands().size()) << c.what;
        EXPECT_EQ(around, FolderNames(m_temp.Path())) << c.what;
        EXPECT_EQ(inside, FolderNames(c.folder)) << c.what;
        ExpectInstalledIn(DefaultFolder());
    }
    EXPECT_EQ("a user's", ReadWholeFile(shared + L"\\version.dll"));
    Uninstall();
    ExpectNothingLeftIn(DefaultFolder());
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
