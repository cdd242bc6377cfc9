// Where a job may write its report: anywhere but among what it erases.

#include "app/EraseConfirmation.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportFileReviewTest, AReportGoesAnywhereButAmongWhatIsErased)
{
    const struct {
        const char* name;
        const wchar_t* target; // below the folder
        const wchar_t* report;
        bool accepted;
    } cases[] = {
        {"beside the target, not yet there", L"d", L"r.json", true},
        {"beside the target, there from an earlier run", L"d", L"old.json", true},
        {"in a folder beside the target", L"d", L"aside\\r.json", true},
        {"inside the target", L"d", L"d\\r.json", false},
        {"deeper inside the target, there already", L"d", L"d\\in\\old.json", false},
        {"the target itself", L"d\\f.txt", L"d\\f.txt", false},
        {"in a folder that does not exist", L"d", L"none\\r.json", false},
        {"a folder", L"d", L"aside", false},
    };
    TempDir dir;
    dir.WriteFile(L"old.json", "{}");
    dir.MakeFolder(L"aside");
    dir.MakeFolder(L"d");
    dir.MakeFolder(L"d\\in");
    dir.WriteFile(L"d\\in\\old.json", "{}");
    dir.WriteFile(L"d\\f.txt", "f");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ExactTarget> targets(1);
        ASSERT_EQ(TargetCheck::Exact, ResolveTarget(dir / c.target, targets[0]));
        std::wstring path, refusal;
        EXPECT_EQ(c.accepted, ReviewReportFile(dir / c.report, targets, path, refusal)) << refusal;
        EXPECT_EQ(c.accepted, refusal.empty());
    }
}

} // namespace
