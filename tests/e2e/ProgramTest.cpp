// The real program, started as Explorer or the user starts it, and used as a user would.

#include "com/ComPtr.h"
#include "handover/TargetListFile.h"
#include "resources/resource.h"
#include "shellext/MorvaneShlExtClsid.h"
#include "tests/shellext/DropDataObject.h"
#include "tests/shellext/ExtensionTestSupport.h"
#include "tests/support/Gui.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/Links.h"
#include "tests/support/RegistryState.h"
#include "tests/support/RemoteTree.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

const wchar_t kSettingsKey[] = L"Software\\Kestrium\\Morvane\\settings";

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : m_keyGuard(HKEY_CURRENT_USER, kSettingsKey), m_methodGuard(HKEY_CURRENT_USER, kSettingsKey, L"file_method") {}

    static void StoreMethod(DWORD index) { WriteDword(HKEY_CURRENT_USER, kSettingsKey, L"file_method", index); }
    static DWORD StoredMethod() { return ReadDword(HKEY_CURRENT_USER, kSettingsKey, L"file_method").value_or(99); }

    // Confirms with Yes, picks the method in the chooser and presses OK, waits for the end of
    // the job and presses "Finish". The chooser's preselected index goes to `offered`, the job's
    // log to `log`; with `problems`, every error the job asks about is skipped and its text kept.
    static void ConfirmChooseAndFinish(ProgramRun& program, int methodIndex, int* offered = nullptr,
                                       std::wstring* log = nullptr, const wchar_t* progressCaption = L"Deleting ...",
                                       std::vector<std::wstring>* problems = nullptr)
    {
        ConfirmAndChoose(program, methodIndex, offered);
        FinishProgress(program, progressCaption, log, problems);
        EXPECT_TRUE(program.HasEnded());
    }

    // The root ("M:\") of the NTFS image tests/wipe/wipe-image.sh maps to a drive letter; empty
    // where there is none.
    static std::wstring ImageRoot()
    {
        const wchar_t* drive = _wgetenv(L"MORVANE_WIPE_DRIVE");
        const std::wstring root = drive ? std::wstring(drive) + L"\\" : L"";
        return drive && PathExists(root + L"morvane-wipe-test-image") ? root : L"";
    }

    TempDir m_dir;
    KeyPathGuard m_keyGuard;
    ValueGuard m_methodGuard;
};

TEST_F(ProgramTest, QuotedFilePathWithBlanksIsConfirmedErasedAndItsMethodRemembered)
{
    m_dir.MakeFolder(L"a b");
    const std::wstring file = m_dir.WriteFile(L"a b\\c d.txt", "secret");
    StoreMethod(2);
    ProgramRun program(L"\"" + file + L"\"");
    ASSERT_TRUE(program.Started());
    HWND confirm = program.Window(L"Tarnwick");
    ASSERT_TRUE(confirm);
    EXPECT_EQ(L"Do you really want to delete " + file + L" ?", MessageBoxText(confirm));
    int offered = -2;
    ConfirmChooseAndFinish(program, 3, &offered);
    EXPECT_EQ(2, offered);
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ(3u, StoredMethod());
}

// A folder, or a file with this content, below `dir`.
std::wstring Put(const TempDir& dir, const std::wstring& relative, const char* content = nullptr)
{
    return content ? dir.WriteFile(relative, content) : dir.MakeFolder(relative);
}

void Link(const TempDir& dir, const std::wstring& link, const std::wstring& existing)
{
    ::CreateHardLinkW((L"\\\\?\\" + dir / link).c_str(), (L"\\\\?\\" + dir / existing).c_str(), nullptr);
}

struct HostileTarget {
    const char* name;
    // Makes what the case needs below the folder and gives the path to name on the command line.
    std::wstring (*make)(const TempDir& dir);
    const wchar_t* currentFolder;            // below the folder: the program's current directory
    std::vector<std::wstring> erased;        // what goes, the named item first; none: refused
    const wchar_t* logLine = nullptr;        // a line the job's log must hold
    const wchar_t* said = nullptr;           // part of the question, or of the refusal ("{}": the folder)
    const wchar_t* more = nullptr;           // a second argument ("{}": the folder)
    const wchar_t* link = nullptr;           // a named link: it goes, or the job asks about it, and only it
};

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH];
    return std::wstring(folder, ::GetSystemWindowsDirectoryW(folder, MAX_PATH));
}

// The Windows folder through a second drive letter where ./scripts/test.sh maps one, else as it is.
std::wstring WindowsDrive()
{
    const wchar_t* drive = _wgetenv(L"MORVANE_WINDOWS_DRIVE");
    return drive ? std::wstring(drive) + L"\\" : WindowsFolder() + L"\\";
}

std::wstring WithFolder(const wchar_t* text, const TempDir& dir)
{
    std::wstring result = text ? text : L"";
    for (size_t at; (at = result.find(L"{}")) != std::wstring::npos;)
        result.replace(at, 2, dir.Path());
    return result;
}

// A folder with a file, and a link to it in "d": "d\lnk".
std::wstring LinkToOutside(const TempDir& d)
{
    Put(d, L"out");
    Put(d, L"out\\keep.txt", "behind the link");
    Put(d, L"d");
    Put(d, L"d\\f.txt", "f");
    MakeFolderLink(d / L"d\\lnk", d / L"out");
    return d / L"d\\lnk";
}

const std::wstring kDeep = std::wstring(100, L'x') + L"\\" + std::wstring(100, L'y') + L"\\" + std::wstring(100, L'z');

// Spellings that are text alone (slashes, "..", letter case, the system's namespace, reserved
// names) are the path and target rules' tables' (TargetPathTest, TargetRulesTest); here, those
// that need the real program, file system and Windows.
const HostileTarget kHostileTargets[] = {
    {"trailing dot", [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\foo", "plain"); return Put(d, L"d\\foo.", "dot"); },
     nullptr, {L"d\\foo."}},
    {"trailing space", [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\bar", "plain"); return Put(d, L"d\\bar ", "space"); },
     nullptr, {L"d\\bar "}},
    {"relative", [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\r.txt", "r"); return std::wstring(L"r.txt"); }, L"d",
     {L"d\\r.txt"}},
    {"drive-relative",
     [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\dr.txt", "dr"); return d.Path().substr(0, 2) + L"dr.txt"; }, L"d",
     {L"d\\dr.txt"}},
    {"hard link to a file outside",
     [](const TempDir& d) { Put(d, L"out"); Put(d, L"out\\o.txt", "outside"); Put(d, L"t"); Link(d, L"t\\h.txt", L"out\\o.txt");
                            return d / L"t"; },
     nullptr, {L"t", L"t\\h.txt"}, L"the file keeps its content under its other names"},
    {"hard link pair inside",
     [](const TempDir& d) { Put(d, L"p"); Put(d, L"p\\a.txt", "pair"); Link(d, L"p\\b.txt", L"p\\a.txt"); Put(d, L"p\\c.txt", "c");
                            return d / L"p"; },
     nullptr, {L"p", L"p\\a.txt", L"p\\b.txt", L"p\\c.txt"}},
    {"300 characters",
     [](const TempDir& d) { Put(d, L"x"); Put(d, kDeep.substr(0, 100)); Put(d, kDeep.substr(0, 201)); Put(d, kDeep);
                            Put(d, kDeep + L"\\deep.txt", "deep"); return d / (kDeep + L"\\deep.txt"); },
     nullptr, {kDeep + L"\\deep.txt"}},
    {"device", [](const TempDir&) { return std::wstring(L"\\\\.\\C:"); }, nullptr, {}},
    {"reserved name with an extension", [](const TempDir& d) { Put(d, L"nul.txt", "n"); return std::wstring(L"NUL.txt"); },
     nullptr, {}},
    {"reserved name made through the long form", [](const TempDir& d) { return Put(d, L"COM1", "com"); }, nullptr, {}},
    {"stream of a file", [](const TempDir& d) { return Put(d, L"s.txt", "s") + L":hidden"; }, nullptr, {}},
    {"link named alone", LinkToOutside, nullptr, {L"d\\lnk"}, nullptr,
     L"Do you really want to delete {}\\d\\lnk ?\n\nIt is a link: only the link is removed, not what it points to.",
     nullptr, L"d\\lnk"},
    {"link named with a final separator", [](const TempDir& d) { return LinkToOutside(d) + L"\\"; }, nullptr,
     {L"d\\lnk"}, nullptr, L"It is a link: only the link is removed", nullptr, L"d\\lnk"},
    {"link among several items, each a plain argument", LinkToOutside, nullptr, {L"d\\lnk", L"d\\f.txt"}, nullptr,
     L"Do you really want to delete these 2 items?\n\n{}\\d\\lnk (a link: only the link is removed)\n{}\\d\\f.txt",
     L"{}\\d\\f.txt", L"d\\lnk"},
    // Not below system32, which a 32-bit program sees elsewhere.
    {"a folder inside Windows", [](const TempDir&) { return WindowsFolder() + L"\\inf"; }, nullptr, {},
     nullptr, L"is part of the running Windows and cannot be erased"},
    {"a folder inside Windows by its short name",
     [](const TempDir&) {
         wchar_t s[MAX_PATH];
         return std::wstring(s, ::GetShortPathNameW((WindowsFolder() + L"\\Globalization").c_str(), s, MAX_PATH));
     },
     nullptr, {}, nullptr, L"is part of the running Windows and cannot be erased"},
    {"the drive that holds Windows", [](const TempDir&) { return WindowsFolder().substr(0, 3); }, nullptr, {}, nullptr,
     L"holds the running Windows and cannot be erased"},
    {"the Windows folder through a second drive letter", [](const TempDir&) { return WindowsDrive(); }, nullptr, {}, nullptr,
     L"holds the running Windows and cannot be erased"},
    {"inside Windows through a second drive letter", [](const TempDir&) { return WindowsDrive() + L"system32\\drivers"; },
     nullptr, {}, nullptr, L"is part of the running Windows and cannot be erased"},
    {"unknown option that a file is named like",
     [](const TempDir& d) { Put(d, L"draft.txt", "draft"); return std::wstring(L"-draft.txt"); }, nullptr, {}, nullptr,
     L"\"-draft.txt\" is not an option.\n\nUsage: Morvane.exe"},
    {"unknown option after a path", [](const TempDir& d) { Put(d, L"q"); return Put(d, L"x.txt", "x"); }, nullptr, {}, nullptr,
     L"\"/q\" is not an option.", L"/q"},
    {"two plain arguments",
     [](const TempDir& d) {
         Put(d, L"d");
         Put(d, L"d\\two.txt", "2");
         Put(d, L"d\\kept.txt", "k");
         return Put(d, L"d\\one.txt", "1");
     },
     nullptr, {L"d\\one.txt", L"d\\two.txt"}, nullptr,
     L"Do you really want to delete these 2 items?\n\n{}\\d\\one.txt\n{}\\d\\two.txt", L"{}\\d\\two.txt"},
};

// The tree without a link and what is reached through it.
std::map<std::wstring, std::string> Without(std::map<std::wstring, std::string> tree, const wchar_t* link)
{
    for (auto at = tree.begin(); link && at != tree.end();)
        at = at->first == link || at->first.rfind(std::wstring(link) + L"\\", 0) == 0 ? tree.erase(at) : std::next(at);
    return tree;
}

TEST_F(ProgramTest, HostileTargetsEraseExactlyTheNamedItemOrNothing)
{
    for (const HostileTarget& target : kHostileTargets) {
        SCOPED_TRACE(target.name);
        TempDir dir;
        const std::wstring named = target.make(dir);
        std::map<std::wstring, std::string> expected = Without(TreeSnapshot(dir.Path()), target.link);
        const std::wstring said = WithFolder(target.said, dir);
        ProgramRun program(Quoted(named) + (target.more ? L" " + Quoted(WithFolder(target.more, dir)) : L""), L"",
                           target.currentFolder ? dir / target.currentFolder : dir.Path());
        if (target.erased.empty()) {
            HWND box = program.Window(L"Tarnwick :: Error");
            ASSERT_TRUE(box);
            const std::wstring text = MessageBoxText(box);
            if (target.said) {
                EXPECT_NE(std::wstring::npos, text.find(said)) << std::string(text.begin(), text.end());
            } else {
                EXPECT_EQ(L"Path " + named + L" is not a file or folder", text);
            }
            PressButton(box, IDOK);
            EXPECT_TRUE(program.HasEnded());
        } else {
            const std::wstring shown = dir / target.erased.front();
            HWND confirm = program.Window(L"Tarnwick");
            ASSERT_TRUE(confirm);
            const std::wstring question = MessageBoxText(confirm);
            if (target.said) {
                EXPECT_NE(std::wstring::npos, question.find(said)) << std::string(question.begin(), question.end());
            } else if (shown.size() <= 260) {
                EXPECT_EQ(L"Do you really want to delete " + shown + L" ?", question);
            }
            std::wstring log;
            std::vector<std::wstring> problems;
            ConfirmChooseAndFinish(program, 3, nullptr, &log, L"Deleting ...", &problems);
            if (target.logLine) {
                EXPECT_NE(std::wstring::npos, log.find(target.logLine)) << std::string(log.begin(), log.end());
            }
            // Where the file system only imitates links, the link stays, and the log says so
            // without a question.
            EXPECT_TRUE(problems.empty());
            if (target.link) {
                EXPECT_TRUE(!PathExists(dir / target.link) || log.find(L"not removed") != std::wstring::npos);
            }
            for (const std::wstring& gone : target.erased)
                expected.erase(gone);
        }
        EXPECT_EQ(expected, Without(TreeSnapshot(dir.Path()), target.link));
    }
}

struct QuietCase {
    const char* name;
    // Makes what the case needs below the folder, or on the tests' drive, and gives the
    // arguments after "/quiet" ("{}": the folder); none where the case cannot run here.
    std::wstring (*make)(const TempDir& dir);
    const wchar_t* held;              // below the folder: a file another process holds open
    DWORD exitCode;
    std::vector<std::wstring> erased; // below the folder
    const wchar_t* report;            // below the folder: the report named, and part of it
    const char* reported;
    const char* printed;              // part of what the program printed
};

const QuietCase kQuietCases[] = {
    {"a folder",
     [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\a.txt", "a"); Put(d, L"d\\in"); Put(d, L"d\\in\\b.txt", "b");
                            return std::wstring(L"/method:4 /report \"{}\\r.json\" \"{}\\d\""); },
     nullptr, 0, {L"d", L"d\\a.txt", L"d\\in", L"d\\in\\b.txt"}, L"r.json", "\"result\": \"completed\"", "Erase completed: "},
    {"an unknown option", [](const TempDir& d) { Put(d, L"d"); return std::wstring(L"/bogus \"{}\\d\""); }, nullptr, 2, {},
     nullptr, nullptr, "\"/bogus\" is not an option."},
    {"a missing target", [](const TempDir&) { return std::wstring(L"/report \"{}\\r.html\" \"{}\\gone.txt\""); }, nullptr,
     2, {}, nullptr, nullptr, "\\gone.txt not exist"},
    {"a locked file without /unlock",
     [](const TempDir& d) { Put(d, L"d"); Put(d, L"d\\held.txt", "held"); Put(d, L"d\\free.txt", "free");
                            return std::wstring(L"/method:4 /report \"{}\\r.html\" \"{}\\d\""); },
     L"d\\held.txt", 1, {L"d\\free.txt"}, L"r.html", "skipped: held open by LockHolder.exe",
     "\\d\\held.txt: skipped: held open by LockHolder.exe\r\n"},
    {"a drive root without /wholedrive",
     [](const TempDir&) {
         const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE"); // ./scripts/test.sh maps the tests' own drive
         const std::wstring root = drive ? std::wstring(drive) + L"\\" : L"";
         if (drive)
             ::CloseHandle(::CreateFileW((root + L"kept.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
         return root;
     },
     nullptr, 2, {}, nullptr, nullptr, "It is erased only with /wholedrive."},
};

TEST_F(ProgramTest, QuietCommandRunsWithoutAWindowAndSaysWhatHappenedInItsExitCode)
{
    const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE");
    const std::wstring driveRoot = drive ? std::wstring(drive) + L"\\" : L"";
    // Each case's folder goes with it: a folder setting left behind would make every later job
    // tell that its report could not be saved.
    const ValueGuard reportFolder(HKEY_CURRENT_USER, kSettingsKey, L"report_folder");
    for (const QuietCase& c : kQuietCases) {
        SCOPED_TRACE(c.name);
        TempDir dir, aside;
        const std::wstring arguments = WithFolder(c.make(dir).c_str(), dir);
        if (arguments.empty())
            continue;
        // Every report is also saved in the settings' folder.
        WriteString(HKEY_CURRENT_USER, kSettingsKey, L"report_folder", aside.Path());
        HolderProcess holder;
        ASSERT_TRUE(!c.held || holder.Start(L"open " + Quoted(dir / c.held)));
        std::map<std::wstring, std::string> expected = TreeSnapshot(dir.Path());
        const std::map<std::wstring, std::string> onDrive = drive ? TreeSnapshot(driveRoot) : expected;

        const std::wstring output = dir / L"printed.txt";
        ProgramRun program(L"/quiet " + arguments, L"", L"", output);
        bool shown = false;
        EXPECT_TRUE(WaitUntil([&] {
            shown = shown || WaitForWindow(L"", program.Pid(), 0);
            return program.HasEnded(0);
        }));
        EXPECT_FALSE(shown);
        EXPECT_EQ(c.exitCode, program.ExitCode());
        EXPECT_NE(std::string::npos, ReadWholeFile(output).find(c.printed)) << ReadWholeFile(output);
        EXPECT_EQ(c.exitCode == 2 ? 0u : 2u, FolderNames(aside.Path()).size());
        if (c.report) {
            EXPECT_NE(std::string::npos, ReadWholeFile(dir / c.report).find(c.reported));
        }
        EXPECT_TRUE(!c.held || holder.IsRunning());

        for (const std::wstring& gone : c.erased)
            expected.erase(gone);
        std::map<std::wstring, std::string> after = TreeSnapshot(dir.Path());
        after.erase(L"printed.txt");
        after.erase(c.report ? c.report : L"");
        EXPECT_EQ(expected, after);
        if (drive) {
            EXPECT_EQ(onDrive, TreeSnapshot(driveRoot));
        }
    }
}

// Explorer's way in: the extension, handed a selection, has its item invoked. The program it
// starts from the installation folder (this one) comes back as a run of its own.
class ExplorerSelection {
public:
    explicit ExplorerSelection(const std::vector<std::wstring>& selection)
    {
        std::wstring folder = ExecutableDirectory();
        folder.pop_back();
        WriteString(HKEY_LOCAL_MACHINE, kRecordKey, L"path", folder);
        ComApartment apartment;
        const UniqueModule dll(::LoadLibraryW((ExecutableDirectory() + L"MorvaneExt.dll").c_str()));
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        const auto get = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(::GetProcAddress(dll.Get(), "DllGetClassObject")));
        CComPtr<IClassFactory> factory;
        CComPtr<IShellExtInit> init;
        if (!get || FAILED(get(CLSID_MorvaneShlExt, IID_PPV_ARGS(factory.Put())))
            || FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(init.Put())))
            || FAILED(init->Initialize(nullptr, MakeDropDataObject(selection).Get(), nullptr)))
            return;
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(0);
        m_invoked = SUCCEEDED(init.As<IContextMenu>()->InvokeCommand(&info));
    }

    // The program's first question, and the run it belongs to.
    HWND Question(std::unique_ptr<ProgramRun>& program) const
    {
        HWND question = m_invoked ? WaitForWindow(L"Tarnwick") : nullptr;
        DWORD pid = 0;
        if (question && ::GetWindowThreadProcessId(question, &pid))
            program = std::make_unique<ProgramRun>(pid);
        return question;
    }

private:
    static constexpr const wchar_t* kRecordKey = L"SOFTWARE\\Kestrium";
    KeyPathGuard m_recordKey{HKEY_LOCAL_MACHINE, kRecordKey};
    ValueGuard m_record{HKEY_LOCAL_MACHINE, kRecordKey, L"path"};
    bool m_invoked = false;
};

TEST_F(ProgramTest, SeveralItemsFromExplorerAreErasedInOneJob)
{
    m_dir.MakeFolder(L"d");
    std::vector<std::wstring> selection;
    for (const wchar_t* name : {L"d\\1.txt", L"d\\2.txt", L"d\\3.txt", L"d\\4.txt", L"d\\5.txt"})
        selection.push_back(m_dir.WriteFile(name, "secret"));
    m_dir.WriteFile(L"d\\kept.txt", "kept");
    std::map<std::wstring, std::string> expected = TreeSnapshot(m_dir.Path());

    const ExplorerSelection explorer(selection);
    std::unique_ptr<ProgramRun> program;
    HWND confirm = explorer.Question(program);
    ASSERT_TRUE(confirm);
    std::wstring question = L"Do you really want to delete these 5 items?\n";
    for (const std::wstring& path : selection)
        question += L"\n" + path;
    EXPECT_EQ(question, MessageBoxText(confirm));
    std::wstring log;
    ConfirmChooseAndFinish(*program, 3, nullptr, &log);
    for (const std::wstring& path : selection)
        expected.erase(path.substr(m_dir.Path().size() + 1));
    EXPECT_EQ(expected, TreeSnapshot(m_dir.Path()));
    // One job: one start, one end.
    EXPECT_EQ(0u, log.find(L"Starting to delete"));
    EXPECT_EQ(log.find(L"Starting to delete"), log.rfind(L"Starting to delete"));
}

TEST_F(ProgramTest, TwoThousandItemsAreHandedOverWhole)
{
    std::vector<std::wstring> selection;
    for (int i = 0; i < 2000; ++i)
        selection.push_back(m_dir.WriteFile(L"item " + std::to_wstring(i) + L".txt", "x"));
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring listPattern = std::wstring(kTargetListPrefix) + L"*.tmp";
    const std::vector<std::wstring> lists = FolderNames(temp, listPattern.c_str());

    const ExplorerSelection explorer(selection);
    std::unique_ptr<ProgramRun> program;
    HWND confirm = explorer.Question(program);
    ASSERT_TRUE(confirm);
    const std::wstring question = MessageBoxText(confirm);
    EXPECT_EQ(0u, question.find(L"Do you really want to delete these 2000 items?\n\n" + selection[0] + L"\n"));
    EXPECT_EQ(L"\n" + selection[4] + L"\nand 1995 more", question.substr(question.find(L"\n" + selection[4])));
    PressButton(confirm, IDNO);
    EXPECT_TRUE(program->HasEnded());
    // The list was read and is gone; nothing else changed.
    EXPECT_EQ(lists, FolderNames(temp, listPattern.c_str()));
    EXPECT_EQ(2000u, FolderNames(m_dir.Path()).size());
}

TEST_F(ProgramTest, WholeDriveIsAskedForTwice)
{
    const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE");
    if (!drive)
        GTEST_SKIP() << "no drive of the tests' own: ./scripts/test.sh maps one";
    const std::wstring root = std::wstring(drive) + L"\\";
    const std::wstring file = root + L"on the drive.txt";
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring warning = L"Everything on drive " + std::wstring(drive) + L" will be erased: every file and folder on "
                                 L"it, beyond recovery.\n\nDo you really want to erase the whole drive " + drive + L"?";
    for (const int answer : {IDNO, IDYES}) {
        ProgramRun program(root); // unquoted: before a quote, "\" would escape it
        HWND confirm = program.Window(L"Tarnwick");
        ASSERT_TRUE(confirm);
        EXPECT_EQ(L"Do you really want to delete " + std::wstring(drive) + L" ?", MessageBoxText(confirm));
        PressButton(confirm, IDYES);
        HWND again = program.Window(L"Tarnwick", confirm);
        ASSERT_TRUE(again);
        EXPECT_EQ(warning, MessageBoxText(again));
        if (answer == IDNO) {
            PressButton(again, IDNO);
            EXPECT_TRUE(program.HasEnded());
            EXPECT_TRUE(PathExists(file));
        } else {
            // The rest of the journey as for any target, from the chooser on.
            PressButton(again, IDYES);
            HWND chooser = program.Window(L"Choose delete method");
            ASSERT_TRUE(chooser);
            PressButton(chooser, IDOK);
            FinishProgress(program, L"Deleting ...");
            EXPECT_TRUE(program.HasEnded());
            EXPECT_TRUE(FolderNames(root).empty());
            EXPECT_TRUE(PathExists(root));
        }
    }
}

// On the NTFS image that tests/wipe/wipe-image.sh maps to a drive letter.
TEST_F(ProgramTest, WipeFreeSpaceFromTheCommandLine)
{
    const std::wstring root = ImageRoot();
    if (root.empty())
        GTEST_SKIP() << "runs on the NTFS image that tests/wipe/wipe-image.sh maps to a drive letter";
    const std::wstring drive = root.substr(0, 2);
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free));
    wchar_t size[32];
    ::StrFormatByteSizeW(static_cast<LONGLONG>(free.QuadPart), size, 32);

    ProgramRun program(L"/wipefree " + std::wstring(drive));
    HWND confirm = program.Window(L"Tarnwick");
    ASSERT_TRUE(confirm);
    const std::wstring question = MessageBoxText(confirm);
    EXPECT_NE(std::wstring::npos, question.find(L"free space of drive " + root)) << question;
    EXPECT_NE(std::wstring::npos, question.find(std::wstring(size) + L" of free space will be overwritten")) << question;
    std::wstring log;
    ConfirmChooseAndFinish(program, 3, nullptr, &log, L"Wiping free space ...");
    // What the wipe leaves on the drive is the wipe's own test (WipeImageTest).
    EXPECT_NE(std::wstring::npos, log.find(L"Wiping completed")) << log;
}

// A file the file system keeps compressed, where it would not zero the clusters it frees: the job
// says so, then offers a wipe of the drive, which Yes runs.
TEST_F(ProgramTest, ErasingACompressedFileOffersAWipeOfItsDrive)
{
    const std::wstring root = ImageRoot();
    if (root.empty())
        GTEST_SKIP() << "runs on the NTFS image that tests/wipe/wipe-image.sh maps to a drive letter";
    const std::wstring file = root + L"Packed\\offered.txt";
    ASSERT_TRUE(PathExists(file));
    ProgramRun program(L"\"" + file + L"\"");
    std::wstring log;
    ConfirmAndChoose(program, 3);
    FinishProgress(program, L"Deleting ...", &log);
    EXPECT_NE(std::wstring::npos, log.find(L"Earlier clusters of " + file + L" may remain")) << log;
    HWND offer = program.Window(L"Tarnwick");
    ASSERT_TRUE(offer);
    EXPECT_NE(std::wstring::npos, MessageBoxText(offer).find(L"Wipe the free space of " + root + L" now?"));
    PressButton(offer, IDYES);
    FinishProgress(program, L"Wiping free space ...", &log);
    EXPECT_NE(std::wstring::npos, log.find(L"Wiping completed")) << log;
    EXPECT_TRUE(program.HasEnded());
    EXPECT_FALSE(PathExists(file));
}

// Without it, a 32-bit program run by a standard user is virtualised: its writes under Program
// Files or Windows go to a copy of the user's own, and an erase there would erase the copy.
TEST(ProgramManifestTest, ProgramRunsAsInvokedWithoutVirtualisation)
{
    const UniqueModule program(::LoadLibraryExW((ExecutableDirectory() + L"Morvane.exe").c_str(), nullptr,
                                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const HRSRC found = program ? ::FindResourceW(program.Get(), MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(program.Get(), found))),
                               ::SizeofResource(program.Get(), found));
    const size_t trust = manifest.find("<trustInfo");
    const size_t level = manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>");
    EXPECT_TRUE(trust != std::string::npos && level > trust && level < manifest.find("</trustInfo>")) << manifest;
}

TEST_F(ProgramTest, MissingPathIsReportedAndNothingChanges)
{
    StoreMethod(1);
    const std::wstring missing = m_dir / L"nothing.txt";
    ProgramRun program(L"\"" + missing + L"\"");
    HWND box = program.Window(L"Tarnwick :: Error");
    ASSERT_TRUE(box);
    EXPECT_EQ(L"Path " + missing + L" not exist", MessageBoxText(box));
    PressButton(box, IDOK);
    EXPECT_TRUE(program.HasEnded());
    EXPECT_EQ(1u, StoredMethod());
}

// No at the confirmation ends the program as well (TwoThousandItemsAreHandedOverWhole).
TEST_F(ProgramTest, CancelInTheChooserChangesNothing)
{
    StoreMethod(4);
    const std::wstring file = m_dir.WriteFile(L"keep.txt", "keep");
    ProgramRun program(L"\"" + file + L"\"");
    HWND confirm = program.Window(L"Tarnwick");
    ASSERT_TRUE(confirm);
    PressButton(confirm, IDYES);
    HWND chooser = program.Window(L"Choose delete method");
    ASSERT_TRUE(chooser);
    ::SendMessageW(::GetDlgItem(chooser, IDC_METHOD), CB_SETCURSEL, 1, 0);
    PressButton(chooser, IDCANCEL);
    EXPECT_TRUE(program.HasEnded());
    EXPECT_EQ("keep", ReadWholeFile(file));
    EXPECT_EQ(4u, StoredMethod());
}

TEST_F(ProgramTest, MainWindowErasesTheSelectedFileAndDropsItFromTheTree)
{
    // Right below the drive, so that the tree has read it at start-up.
    const std::wstring name = L"morvane-e2e-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring folder = L"C:\\" + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\victim.txt";
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::wstring kept = folder + L"\\kept.txt";
    ::CloseHandle(::CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

    ProgramRun program(L"");
    HWND main = program.Window(L"Tarnwick");
    ASSERT_TRUE(main);
    RemoteTree tree(::GetDlgItem(main, IDC_TREE));
    ASSERT_TRUE(tree.IsReady());
    HTREEITEM drive = tree.FindChild(nullptr, L"C:\\");
    ASSERT_TRUE(drive);
    // Opened level by level, as a user does: expanding reads a level anew, so an item's
    // handle is looked up again after its parent was expanded.
    tree.Expand(drive);
    ASSERT_TRUE(WaitUntil([&] { return tree.IsExpanded(drive); }));
    HTREEITEM folderItem = tree.FindChild(drive, name);
    ASSERT_TRUE(folderItem);

    // With nothing selected, "Delete", pressed by its access key, explains and starts nothing.
    tree.Select(nullptr);
    PressAccessKey(::GetDlgItem(main, IDC_TREE), L'd');
    HWND notice = program.Window(L"Tarnwick", main);
    ASSERT_TRUE(notice);
    EXPECT_EQ(L"Please select an existing drive, folder or file to delete.", MessageBoxText(notice));
    PressButton(notice, IDOK);
    ASSERT_TRUE(WaitForClose(notice));

    tree.Expand(folderItem);
    HTREEITEM fileItem = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (fileItem = tree.FindChild(folderItem, L"victim.txt")) != nullptr; }));
    tree.Select(fileItem);

    // Neither Esc nor Enter closes the window or erases.
    PressKey(::GetDlgItem(main, IDC_TREE), VK_ESCAPE);
    PressKey(::GetDlgItem(main, IDC_TREE), VK_RETURN);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_FALSE(WaitForWindow(L"Tarnwick", 0, 0, main));

    ::SendMessageW(::GetDlgItem(main, IDC_METHOD), CB_SETCURSEL, 3, 0); // "Pseudorandom Data (1 pass)"
    PressButton(main, IDC_DELETE);
    HWND confirm = program.Window(L"Tarnwick", main);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(L"Do you really want to delete " + file + L" ?", MessageBoxText(confirm));
    PressButton(confirm, IDYES);
    FinishProgress(program, L"Deleting ...");
    EXPECT_TRUE(WaitUntil([&] { return tree.FindChild(folderItem, L"victim.txt") == nullptr; }));
    EXPECT_TRUE(tree.FindChild(folderItem, L"kept.txt"));
    EXPECT_FALSE(PathExists(file));
    EXPECT_TRUE(PathExists(kept));

    ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.HasEnded());
    EXPECT_EQ(3u, StoredMethod());
    RemoveTree(folder);
}

} // namespace
