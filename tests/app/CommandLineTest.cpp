// The program's arguments as given: known options in any case and with either sign, every other
// argument an item, and anything option-like that is no option refused with the usage.

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
};

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
    }
    const std::wstring usage = UsageMessage(CommandLineCheck::UnknownOption, L"/q");
    for (const wchar_t* part : {L"\"/q\" is not an option", L"\n/list FILE\t", L"\n/wipefree X:\t"})
        EXPECT_NE(std::wstring::npos, usage.find(part)) << std::string(usage.begin(), usage.end());
}

} // namespace
