// Random small trees erased through the worker: whatever a tree holds and however its targets are
// spelled, nothing outside the named items changes, and every named item goes or is reported.

#include "engine/EraseJob.h"
#include "engine/FileIdentity.h"
#include "engine/TargetPath.h"
#include "tests/engine/NoticeRecorder.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <random>
#include <sstream>

namespace {

constexpr unsigned kCases = 300;
constexpr int kRandomMethod = 4;

// One case in a folder of its own: "out", which is never named, and "in", whose items may be.
// Made through the long form, so that names ending in a dot or a space are what they are.
class RandomTree {
public:
    RandomTree(unsigned seed, const std::wstring& root) : m_random(seed), m_root(root) {}

    // The items of "in" that may be named, "in" itself first.
    const std::vector<std::wstring>& Make()
    {
        ::CreateDirectoryW(Long(L"out").c_str(), nullptr);
        ::CreateDirectoryW(Long(L"out\\pointed").c_str(), nullptr);
        if (Pick(2) == 0)
            WriteFile(L"out\\pointed\\behind the link.txt", false);
        for (int i = 0; i < 3; ++i)
            m_outsideFiles.push_back(WriteFile(L"out\\o" + std::to_wstring(i) + L".txt", Pick(2) == 0));
        MakeFolder(L"in", 0);
        return m_items;
    }

    // The item as a user might name it: in another case, through "\\?\", with "/", with "..",
    // through the other drive letter for the same folder, with a final separator.
    std::wstring Spell(const std::wstring& item, const std::wstring& aliasRoot)
    {
        std::wstring rel = item;
        if (Pick(3) == 0)
            rel.insert(2, L"\\elsewhere\\.."); // every item's path starts with "in"
        if (Pick(3) == 0) {
            for (wchar_t& c : rel)
                c = static_cast<wchar_t>(std::towupper(c));
        }
        const std::wstring root = !aliasRoot.empty() && Pick(2) == 0 ? aliasRoot : m_root;
        std::wstring path = root + L"\\" + rel + (Pick(4) == 0 ? L"\\" : L"");
        if (Pick(3) == 0)
            return L"\\\\?\\" + path;
        if (Pick(3) == 0) {
            for (wchar_t& c : path)
                c = c == L'\\' ? L'/' : c;
        }
        return path;
    }

private:
    std::wstring Long(const std::wstring& rel) const { return L"\\\\?\\" + m_root + L"\\" + rel; }
    unsigned Pick(unsigned count) { return std::uniform_int_distribution<unsigned>(0, count - 1)(m_random); }

    std::wstring WriteFile(const std::wstring& rel, bool readOnly)
    {
        std::string content(Pick(3000), '\0');
        for (char& c : content)
            c = static_cast<char>('a' + Pick(26));
        UniqueFile file(::CreateFileW(Long(rel).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        file.Reset();
        if (readOnly)
            ::SetFileAttributesW(Long(rel).c_str(), FILE_ATTRIBUTE_READONLY);
        return rel;
    }

    // A name new to the case; endings the Win32 rules would drop, sometimes beside a twin without.
    std::wstring Name(const wchar_t* stem, std::wstring& twin)
    {
        static const wchar_t* const kEndings[] = {L"", L".", L" ", L".txt", L". . "};
        const std::wstring base = stem + std::to_wstring(++m_counter);
        const std::wstring ending = kEndings[Pick(5)];
        twin = ending != L"" && ending != L".txt" && Pick(2) == 0 ? base : L"";
        return base + ending;
    }

    void MakeFolder(const std::wstring& rel, int depth)
    {
        ::CreateDirectoryW(Long(rel).c_str(), nullptr);
        m_items.push_back(rel);
        for (unsigned children = Pick(depth == 0 ? 6 : 4); children > 0; --children) {
            std::wstring twin;
            const unsigned kind = Pick(10);
            if (kind <= 3 || (kind <= 5 && depth >= 3)) {
                m_items.push_back(m_insideFiles.emplace_back(WriteFile(rel + L"\\" + Name(L"f", twin), Pick(5) == 0)));
                if (!twin.empty())
                    WriteFile(rel + L"\\" + twin, false);
            } else if (kind <= 5) {
                MakeFolder(rel + L"\\" + Name(L"d", twin), depth + 1);
                if (!twin.empty())
                    WriteFile(rel + L"\\" + twin, false);
            } else if (kind == 6 && !m_linked) {
                // Spawns a program under Wine: one per case at most.
                m_linked = true;
                const std::wstring link = rel + L"\\" + Name(L"link", twin);
                if (MakeFolderLink(Long(link), Long(L"out\\pointed")))
                    m_items.push_back(link);
            } else if (kind <= 8) {
                // Another name for a file outside, or for one inside.
                const std::vector<std::wstring>& from = kind == 7 || m_insideFiles.empty() ? m_outsideFiles : m_insideFiles;
                const std::wstring name = rel + L"\\" + Name(L"h", twin);
                if (::CreateHardLinkW(Long(name).c_str(), Long(from[Pick(from.size())]).c_str(), nullptr))
                    m_items.push_back(name);
            } else {
                // Past the old 260-character limit.
                const std::wstring deep = rel + L"\\" + std::wstring(120, L'l') + std::to_wstring(++m_counter);
                ::CreateDirectoryW(Long(deep).c_str(), nullptr);
                MakeFolder(deep + L"\\" + std::wstring(150, L'm'), depth + 2);
            }
        }
    }

    std::mt19937 m_random;
    std::wstring m_root;
    std::vector<std::wstring> m_items, m_outsideFiles, m_insideFiles;
    unsigned m_counter = 0;
    bool m_linked = false;
};

bool IsWithin(const std::wstring& rel, const std::wstring& item)
{
    return rel == item || rel.compare(0, item.size() + 1, item + L"\\") == 0;
}

// Whether a problem notice names the item, spelled whichever way.
bool IsReported(const NoticeRecorder& notices, const std::wstring& rel)
{
    for (const RecordedNotice* problem : notices.OfType(Problem)) {
        std::wstring path = problem->path;
        if (!path.empty() && path.back() == L'\\')
            path.pop_back();
        const std::wstring tail = L"\\" + rel;
        if (path.size() >= tail.size() && CompareNames(path.substr(path.size() - tail.size()), tail) == 0)
            return true;
    }
    return false;
}

// "<folder>", "<link>", "<read-only>" or nothing, for a snapshot's entry.
std::wstring Marker(const std::string& value)
{
    const size_t end = value.compare(0, 1, "<") == 0 ? value.find('>') : std::string::npos;
    return end == std::string::npos ? L"" : std::wstring(value.begin(), value.begin() + end + 1);
}

TEST(GeneratedTreeTest, NothingOutsideTheNamedItemsChangesWhateverTheTreeAndSpelling)
{
    // On the tests' own drive where there is one, which a second letter also reaches.
    const wchar_t* drive = _wgetenv(L"MORVANE_TEST_DRIVE");
    const wchar_t* alias = _wgetenv(L"MORVANE_TEST_DRIVE_ALIAS");
    TempDir temp;
    const std::wstring base = drive ? std::wstring(drive) + L"\\generated" : temp / L"generated";
    ::CreateDirectoryW(base.c_str(), nullptr);
    const struct Cleanup {
        const std::wstring& base;
        ~Cleanup() { RemoveTreeWithLinks(base); }
    } cleanup{base};
    // A failing case is run again with its seed in MORVANE_TEST_SEED.
    const wchar_t* seedText = _wgetenv(L"MORVANE_TEST_SEED");
    const unsigned firstSeed = seedText ? static_cast<unsigned>(std::wcstoul(seedText, nullptr, 10)) : std::random_device()();
    for (unsigned seed = firstSeed; seed != firstSeed + kCases; ++seed) {
        const std::wstring root = base + L"\\" + std::to_wstring(seed);
        ::CreateDirectoryW(root.c_str(), nullptr);
        std::wstring aliasRoot = drive && alias ? alias + root.substr(2) : L"";
        std::replace(aliasRoot.begin(), aliasRoot.end(), L'/', L'\\');
        RandomTree tree(seed, root);
        const std::vector<std::wstring>& items = tree.Make();
        const std::map<std::wstring, std::string> before = TreeSnapshot(root);

        // One to three items, each perhaps twice in two spellings, one perhaps inside another.
        std::mt19937 pick(seed);
        std::vector<std::wstring> named, targets;
        for (unsigned count = 1 + pick() % 3; count > 0; --count) {
            const std::wstring& item = items[pick() % items.size()];
            named.push_back(item);
            for (unsigned spellings = 1 + pick() % 2; spellings > 0; --spellings) {
                const std::wstring spelled = tree.Spell(item, aliasRoot);
                ExactTarget exact;
                ASSERT_EQ(TargetCheck::Exact, ResolveTarget(spelled, exact)) << "seed " << seed << ": " << Narrow(spelled);
                targets.push_back(exact.path);
            }
        }

        NoticeRecorder notices;
        notices.answer = [](const RecordedNotice&) { return kAnswerSkip; };
        CancelFlag cancel{kCancelNone};
        EraseJob job = {targets, kRandomMethod, NoticeRecorder::Callback, &cancel};
        RunEraseJob(&job);

        std::map<std::wstring, std::string> after = TreeSnapshot(root);
        std::wostringstream faults;
        for (const auto& entry : before) {
            bool isNamed = false;
            for (const std::wstring& item : named)
                isNamed |= IsWithin(entry.first, item);
            const auto now = after.find(entry.first);
            if (!isNamed && (now == after.end() || now->second != entry.second))
                faults << L"  changed outside: " << entry.first << L" " << Marker(now == after.end() ? "<gone>" : now->second)
                       << L"\n";
            if (isNamed && now != after.end() && !IsReported(notices, entry.first))
                faults << L"  left unreported: " << entry.first << L"\n";
            if (now != after.end())
                after.erase(now);
        }
        for (const auto& entry : after)
            faults << L"  appeared: " << entry.first << L"\n";
        if (!faults.str().empty()) {
            std::wostringstream tree;
            for (const auto& entry : before)
                tree << L"  " << entry.first << L" " << Marker(entry.second) << L"\n";
            for (const std::wstring& target : targets)
                tree << L"  target " << target << L"\n";
            ADD_FAILURE() << "seed " << seed << "\n" << Narrow(faults.str()) << "tree:\n" << Narrow(tree.str());
            return;
        }
    }
}

} // namespace
