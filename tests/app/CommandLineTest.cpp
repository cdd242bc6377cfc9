// The program's arguments as given: known options in any case and with either sign, every other
// argument an item, and anything option-like that is no option, or is no option here, refused
// with the usage.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::wstring>;

struct CommandCase {
    Arguments arguments;
    CommandLineCheck check;
    const wchar_t* offending; // what a refusal names
    Arguments named;
    const wchar_t* listFile;
    const wchar_t* wipeDrive; // null: no wipe
    const wchar_t* quiet = L""; // what the quiet command was given, as Quiet() says it
};

std::wstring Quiet(const ProgramCommand& command)
{
    std::wstring said = command.quiet ? L"quiet" : L"";
    if (command.methodId)
        said += L" method " + std::to_wstring(command.methodId);
    if (!command.reportFile.empty())
        said += L" report " + command.reportFile;
    for (const auto& [given, name] : {std::pair(command.unlock, L" unlock"), std::pair(command.kill, L" kill"),
                                      std::pair(command.wholeDrive, L" wholedrive")})
        said += given ? name : L"";
    return said;
}

const CommandCase kCases[] = {
    {{}, CommandLineCheck::Understood, L"", {}, L"", nullptr},
    {{L"C:\\a b.txt", L"rel\\c.txt"}, CommandLineCheck::Understood, L"", {L"C:\\a b.txt", L"rel\\c.txt"}, L"", nullptr},
    {{L"x", L"-LIST", L"-odd name", L"y"}, CommandLineCheck::Understood, L"", {L"x", L"y"}, L"-odd name", nullptr},
    {{L"/WipeFree", L"E:"}, CommandLineCheck::Understood, L"", {}, L"", L"E:"},
    {{L"-draft.txt"}, CommandLineCheck::UnknownOption, L"-draft.txt", {}, L"", nullptr},
    {{L"D:\\x", L"/q"}, CommandLineCheck::UnknownOption, L"/q", {}, L"", nullptr},
    {{L"-"}, CommandLineCheck::UnknownOption, L"-", {}, L"", nullptr},
    {{L"/list:a.tmp"}, CommandLineCheck::UnknownOption, L"/list:a.tmp", {}, L"", nullptr},
    {{L"/list"}, CommandLineCheck::MissingValue, L"/list", {}, L"", nullptr},
    {{L"/list", L"a", L"-list", L"b"}, CommandLineCheck::Repeated, L"-list", {}, L"", nullptr},
    {{L"/wipefree", L"E:", L"x"}, CommandLineCheck::WipeWithItems, L"", {}, L"", nullptr},
    {{L"/QUIET", L"/method:pseudorandom DATA (1 pass)", L"/report", L"r.JSON", L"-unlock", L"/kill", L"/WholeDrive", L"C:\\"},
     CommandLineCheck::Understood, L"", {L"C:\\"}, L"", nullptr, L"quiet method 4 report r.JSON unlock kill wholedrive"},
    {{L"/method:2", L"-quiet", L"/list", L"l.txt"}, CommandLineCheck::Understood, L"", {}, L"l.txt", nullptr,
     L"quiet method 2"},
    {{L"/report", L"r.htm", L"x"}, CommandLineCheck::Understood, L"", {L"x"}, L"", nullptr, L" report r.htm"},
    {{L"/quiet", L"/wipefree", L"E:"}, CommandLineCheck::Understood, L"", {}, L"", L"E:", L"quiet"},
    {{L"/method:2", L"x"}, CommandLineCheck::QuietOnly, L"/method:2", {}, L"", nullptr},
    {{L"x", L"/unlock"}, CommandLineCheck::QuietOnly, L"/unlock", {}, L"", nullptr},
    {{L"/quiet", L"/method:7", L"x"}, CommandLineCheck::UnknownMethod, L"/method:7", {}, L"", nullptr},
    {{L"/quiet", L"/method", L"x"}, CommandLineCheck::MissingValue, L"/method", {}, L"", nullptr},
    {{L"/quiet:", L"x"}, CommandLineCheck::UnknownOption, L"/quiet:", {}, L"", nullptr},
    {{L"/report", L"r.txt", L"x"}, CommandLineCheck::UnknownReportFormat, L"r.txt", {}, L"", nullptr},
    {{L"/quiet", L"/report", L"r.html"}, CommandLineCheck::NothingToDo, L"", {}, L"", nullptr},
};

TEST(CommandLineTest, KnownOptionsItemsAndRefusals)
{
    for (const CommandCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - kCases));
        ProgramCommand command;
        std::wstring offending = L"stale";
        ASSERT_EQ(c.check, ParseArguments(c.arguments, command, offending));
        EXPECT_EQ(c.offending, offending);
        if (c.check != CommandLineCheck::Understood)
            continue;
        EXPECT_EQ(c.named, command.named);
        EXPECT_EQ(c.listFile, command.listFile);
        EXPECT_EQ(c.wipeDrive != nullptr, command.wipeFree);
        EXPECT_EQ(c.wipeDrive ? c.wipeDrive : L"", command.wipeDrive);
        EXPECT_EQ(c.quiet, Quiet(command));
    }
    const std::wstring usage = UsageMessage(CommandLineCheck::UnknownOption, L"/q");
    for (const wchar_t* part : {L"\"/q\" is not an option", L"\n/list FILE\t", L"\n/wipefree X:\t", L"\n/method:N|name\t",
                                L" 4 Pseudorandom Data (1 pass),", L"Exit codes: 0 every named item erased; 1 done"})
        EXPECT_NE(std::wstring::npos, usage.find(part)) << std::string(usage.begin(), usage.end());
}

} // namespace
