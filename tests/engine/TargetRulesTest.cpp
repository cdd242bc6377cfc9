// Which named items are erased, once, and which are refused, whatever their spelling: a made-up
// system (its Windows folder, boot drive and Program Files) in a folder of the test's own.

#include "engine/TargetRules.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// One letter per named item: 'k' erased, 'L' erased and a link, '-' erased with another item,
// 'P' erased once asked again (a shared folder), 'W' 'I' 'B' refused as holding, inside or
// starting Windows.
struct RulesCase {
    const char* name;
    // "{t}": the test's folder; "{short}": a short name; "{R}", "{R2}": one folder by two drive letters.
    std::vector<std::wstring> named;
    const char* outcome;
};

const RulesCase kCases[] = {
    {"one file in every spelling",
     {L"{t}\\d\\b.txt", L"{t}\\D\\B.TXT", L"\\\\?\\{t}\\d\\b.txt", L"{t}/d/x/../b.txt"}, "k---"},
    {"inside a named folder, through a link and a short name",
     {L"{t}\\d\\lnk\\a.txt", L"{short}\\sub", L"{t}\\d\\Long folder name"}, "--k"},
    {"a link is itself, with or without a separator", {L"{t}\\d\\lnk\\", L"{t}\\d\\Long folder name"}, "Lk"},
    {"a link inside a named folder goes with it", {L"{t}\\d", L"{t}\\d\\lnk"}, "k-"},
    {"a link to the Windows folder goes alone, a folder in Program Files as any other",
     {L"{t}\\d\\winlnk", L"{t}\\sys\\Program Files\\app"}, "Lk"},
    {"one folder through two drive letters", {L"{R2}", L"{R}\\f.txt", L"{R}", L"{R2}\\F.txt"}, "k---"},
    {"the Windows folder, inside it and above it in any spelling",
     {L"{t}\\sys\\win\\system32\\drv.sys", L"{t}\\SYS\\WIN\\system32", L"{t}\\d\\winlnk\\system32", L"{t}\\sys\\win\\",
      L"{t}\\sys", L"{t}"},
     "IIIWWW"},
    {"boot and paging files", {L"{t}\\sys\\PAGEFILE.SYS", L"{t}\\sys\\boot\\bcd", L"{t}\\sys\\Boot"}, "BBB"},
    {"a shared folder is asked for again", {L"{t}\\sys\\Program Files\\app", L"{t}\\sys\\program files"}, "-P"},
};

std::wstring Replaced(std::wstring text, const std::wstring& key, const std::wstring& value)
{
    for (size_t at; (at = text.find(key)) != std::wstring::npos;)
        text.replace(at, key.size(), value);
    return text;
}

char OutcomeOf(const ExactTarget& target, const TargetPlace& place)
{
    switch (place.refusal) {
    case TargetRefusal::HoldsWindows:
        return 'W';
    case TargetRefusal::InsideWindows:
        return 'I';
    case TargetRefusal::StartsWindows:
        return 'B';
    case TargetRefusal::NotExamined:
        return '?';
    case TargetRefusal::None:
        break;
    }
    return place.erasedWithAnother                  ? '-'
           : place.shared != SharedFolder::None     ? 'P'
           : target.kind == TargetKind::Link        ? 'L'
                                                    : 'k';
}

class TargetRulesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* folder : {L"sys", L"sys\\Boot", L"sys\\win", L"sys\\win\\system32", L"sys\\Program Files",
                                      L"sys\\Program Files\\app", L"d", L"d\\Long folder name",
                                      L"d\\Long folder name\\sub", L"many"})
            m_t.MakeFolder(folder);
        for (const wchar_t* file : {L"sys\\pagefile.sys", L"sys\\Boot\\bcd", L"sys\\win\\system32\\drv.sys", L"d\\b.txt",
                                    L"d\\Long folder name\\a.txt"})
            m_t.WriteFile(file, "x");
        ASSERT_TRUE(MakeFolderLink(m_t / L"d\\lnk", m_t / L"d\\Long folder name"));
        ASSERT_TRUE(MakeFolderLink(m_t / L"d\\winlnk", m_t / L"sys\\win"));
        m_system = {m_t / L"sys\\win", m_t / L"sys\\", {{m_t / L"sys\\Program Files", SharedFolder::ProgramFiles}}};
        wchar_t shortName[MAX_PATH];
        const DWORD length = ::GetShortPathNameW((m_t / L"d\\Long folder name").c_str(), shortName, MAX_PATH);
        m_short.assign(shortName, length < MAX_PATH ? length : 0);
        // The tests' drive, and the same folder through another drive letter (./scripts/test.sh maps both).
        const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE");
        const wchar_t* alias = _wgetenv(L"MORVANE_TEST_DRIVE_ALIAS");
        if (drive && alias) {
            const std::wstring folder = L"rules-" + std::to_wstring(::GetCurrentProcessId());
            m_drive = std::wstring(drive) + L"\\" + folder;
            m_alias = std::wstring(alias) + L"\\" + folder;
            ::CreateDirectoryW(m_drive.c_str(), nullptr);
            const std::wstring file = m_drive + L"\\f.txt";
            ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
    }
    void TearDown() override
    {
        if (!m_drive.empty())
            RemoveTree(m_drive);
    }

    // The outcome letters for the named items, or why there are none.
    std::string Outcome(const std::vector<std::wstring>& named)
    {
        std::vector<ExactTarget> targets;
        for (const std::wstring& item : named) {
            std::wstring path = Replaced(Replaced(Replaced(Replaced(item, L"{t}", m_t.Path()), L"{short}", m_short),
                                                  L"{R2}", m_alias), L"{R}", m_drive);
            targets.emplace_back();
            if (ResolveTarget(path, targets.back()) != TargetCheck::Exact)
                return "unresolved: " + std::string(path.begin(), path.end());
        }
        const std::vector<TargetPlace> places = PlaceTargets(targets, m_system);
        std::string outcome;
        for (size_t i = 0; i < targets.size(); ++i)
            outcome += OutcomeOf(targets[i], places[i]);
        return outcome;
    }

    TempDir m_t;
    SystemPlaces m_system;
    std::wstring m_short, m_drive, m_alias;
};

TEST_F(TargetRulesTest, EachItemIsErasedOnceOrRefusedWhateverItsSpelling)
{
    for (const RulesCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const bool needsDrives = std::string(c.name).find("drive letters") != std::string::npos;
        if (!needsDrives || !m_drive.empty()) {
            EXPECT_EQ(c.outcome, Outcome(c.named));
        }
    }
    // Many items of one folder are looked up in its listing, other spellings on their own.
    std::vector<std::wstring> many;
    for (int i = 0; i < 20; ++i)
        many.push_back(m_t.WriteFile(L"many\\f" + std::to_wstring(i), "x"));
    many.push_back(m_t / L"MANY\\F3");
    many.push_back(m_t / L"many\\f7");
    EXPECT_EQ(std::string(20, 'k') + "--", Outcome(many));
}

} // namespace
