// The report's page as a person opens it: names escaped, nothing run and nothing fetched.

#include "report/ErasureReport.h"
#include "tests/support/Links.h"
#include "tests/support/TempDir.h"
#include "win32/ScopedHandle.h"

#include <gtest/gtest.h>

namespace {

TEST(ErasureReportTest, PageEscapesNamesAndNeedsNothingFromOutside)
{
    ReportHead head;
    head.computer = L"PC&<1>";
    ErasureReport report;
    ASSERT_TRUE(report.Begin(head));
    ReportItem item;
    item.path = L"C:\\d\\<b>&x.txt";
    item.size = 1234567;
    item.verified = item.earlierClustersMayRemain = true;
    report.Add(item);
    report.End(JobOutcome::Completed, ReportTime::Now());
    TempDir dir;
    const std::wstring path = dir / L"report.html";
    {
        const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(report.WriteTo(file.Get(), ReportFormat::Html));
    }
    const std::string page = ReadWholeFile(path);
    EXPECT_NE(std::string::npos,
              page.find("<tr><td class=\"path\">C:\\d\\&lt;b&gt;&amp;x.txt</td><td>file</td><td class=\"number\">1,234,567"
                        "</td><td>erased and verified; earlier clusters may remain in free space (a free-space wipe of the drive "
                        "removes them)</td></tr>"))
        << page;
    EXPECT_NE(std::string::npos, page.find("<th>Computer</th><td>PC&amp;&lt;1&gt;</td>"));
    for (const char* outside : {"<b>", "<script", "src=", "href=", "url(", "@import"})
        EXPECT_EQ(std::string::npos, page.find(outside)) << outside;
}

} // namespace
