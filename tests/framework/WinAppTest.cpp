// The command line, the settings profile in the registry, and a real program on the
// framework's entry point.

#include "framework/WinApp.h"
#include "tests/support/Links.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Arguments = std::vector<std::wstring>;

// Each line is also checked against the C run-time's own splitting (ProbeSplitsAsTheRunTime).
struct SplitCase {
    const wchar_t* arguments; // after the program's name
    Arguments expected;
};
const SplitCase kSplitCases[] = {
    {L"\"C:\\a b\\c.txt\"", {L"C:\\a b\\c.txt"}},
    {L" x.txt\t y.txt  ", {L"x.txt", L"y.txt"}},
    {L"\"\" x", {L"", L"x"}},
    {L"\"a \"\"b\"\" c\" d", {L"a \"b\" c", L"d"}},
    {L"a\"b c\"d", {L"ab cd"}},
    {L"\\\\server\\share\\f", {L"\\\\server\\share\\f"}},
    {L"a\\\"b", {L"a\"b"}},
    {L"a\\\\\"b c\"", {L"a\\b c"}},
    // A folder's final backslash escapes the closing quote.
    {L"\"C:\\Old\\\" next", {L"C:\\Old\" next"}},
    {L"\"C:\\Old\\\\\" next", {L"C:\\Old\\", L"next"}},
};

TEST(WinAppTest, SplitCommandLineFollowsTheRunTimeRules)
{
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::string(c.arguments, c.arguments + wcslen(c.arguments)));
        Arguments expected = c.expected;
        expected.insert(expected.begin(), L"prog.exe");
        EXPECT_EQ(expected, SplitCommandLine((std::wstring(L"prog.exe ") + c.arguments).c_str()));
    }
    // The program's name has no escapes; its quotes only group.
    EXPECT_EQ((Arguments{L"C:\\My Tools\\prog.exe", L"a"}), SplitCommandLine(L"\"C:\\My Tools\\prog.exe\" a"));
    EXPECT_EQ((Arguments{L"C:\\dir\\", L"a"}), SplitCommandLine(L"\"C:\\dir\\\" a"));
}

const wchar_t kTestRoot[] = L"Software\\MorvaneFrameworkTest";

class ProfileTest : public testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }

    static bool KeyExists(const wchar_t* path)
    {
        UniqueRegKey key;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    }
};

TEST_F(ProfileTest, ValuesAreDwordsInTheSectionKeyOfTheApplication)
{
    CWinApp app(L"Probe App");
    app.SetRegistryKey(L"MorvaneFrameworkTest");
    EXPECT_EQ(7, app.GetProfileInt(L"settings", L"file_method", 7));
    EXPECT_FALSE(KeyExists(kTestRoot)); // reading creates nothing

    ASSERT_TRUE(app.WriteProfileInt(L"settings", L"file_method", 3));
    ASSERT_TRUE(app.WriteProfileInt(L"settings", L"close_after_delete", -1));

    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\MorvaneFrameworkTest\\Probe App\\settings",
                                             0, KEY_READ, key.Put()));
    DWORD type = 0, value = 0, size = sizeof(value);
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegQueryValueExW(key.Get(), L"file_method", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(3u, value);

    EXPECT_EQ(3, app.GetProfileInt(L"settings", L"file_method", 0));
    EXPECT_EQ(-1, app.GetProfileInt(L"settings", L"close_after_delete", 0));
    EXPECT_EQ(5, app.GetProfileInt(L"settings", L"missing", 5));
    EXPECT_EQ(5, app.GetProfileInt(L"other", L"file_method", 5));
}

TEST_F(ProfileTest, AValueOfAnotherTypeOrNoRegistryKeyGivesTheDefault)
{
    CWinApp app(L"Probe App");
    EXPECT_FALSE(app.WriteProfileInt(L"settings", L"file_method", 1)); // no registry key yet
    EXPECT_FALSE(KeyExists(kTestRoot));

    app.SetRegistryKey(L"MorvaneFrameworkTest");
    UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\MorvaneFrameworkTest\\Probe App\\settings",
                                               0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr));
    const wchar_t text[] = L"3";
    ::RegSetValueExW(key.Get(), L"file_method", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    EXPECT_EQ(9, app.GetProfileInt(L"settings", L"file_method", 9));
}

struct ProbeRun {
    DWORD exitCode = 0;
    std::vector<std::wstring> lines;
};

// Runs the probe under `exe` with these arguments and waits for it.
bool RunProbe(const TempDir& dir, const std::wstring& exe, const std::wstring& arguments, ProbeRun& run)
{
    const std::wstring output = dir / L"probe.txt";
    ::SetEnvironmentVariableW(L"MORVANE_PROBE_OUTPUT", output.c_str());
    const UniqueHandle process = StartProcess(L"\"" + exe + L"\" " + arguments);
    if (!process || ::WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0)
        return false;
    ::GetExitCodeProcess(process.Get(), &run.exitCode);
    const std::string bytes = ReadWholeFile(output);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        run.lines.push_back(text.substr(start, end - start));
    return true;
}

std::vector<std::wstring> LinesStartingWith(const ProbeRun& run, const std::wstring& prefix)
{
    std::vector<std::wstring> found;
    for (const std::wstring& line : run.lines)
        if (line.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line.substr(prefix.size()));
    return found;
}

class ProbeTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A name with a dot of its own: only the extension goes.
        m_exe = m_dir / L"Probe.copy.exe";
        ASSERT_TRUE(::CopyFileW((ExecutableDirectory() + L"FrameworkProbe.exe").c_str(), m_exe.c_str(), FALSE));
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"MORVANE_PROBE_OUTPUT", nullptr);
        ::SetEnvironmentVariableW(L"MORVANE_PROBE_QUIT", nullptr);
    }
    TempDir m_dir;
    std::wstring m_exe;
};

TEST_F(ProbeTest, EntryPointPreparesTheApplicationAndEndsWhenInitInstanceReturns)
{
    ProbeRun run;
    ASSERT_TRUE(RunProbe(m_dir, m_exe, L"-first \"C:\\a b\\c.txt\"", run));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(std::vector<std::wstring>{L"Probe.copy"}, LinesStartingWith(run, L"name "));
    EXPECT_EQ(std::vector<std::wstring>{std::to_wstring(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)},
              LinesStartingWith(run, L"errormode "));
    EXPECT_EQ(std::vector<std::wstring>{L"1"}, LinesStartingWith(run, L"instance "));

    ::SetEnvironmentVariableW(L"MORVANE_PROBE_QUIT", L"7");
    ProbeRun looping;
    ASSERT_TRUE(RunProbe(m_dir, m_exe, L"", looping));
    EXPECT_EQ(7u, looping.exitCode); // TRUE: the message loop ran until WM_QUIT
}

TEST_F(ProbeTest, ProbeSplitsAsTheRunTime)
{
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(testing::Message() << "arguments: " << std::string(c.arguments, c.arguments + wcslen(c.arguments)));
        ProbeRun run;
        ASSERT_TRUE(RunProbe(m_dir, m_exe, c.arguments, run));
        EXPECT_EQ(c.expected, LinesStartingWith(run, L"crt "));
    }
}

} // namespace
