#include "app/CommandLine.h"

#include <windows.h>

namespace {

struct Option {
    const wchar_t* name;
    const wchar_t* value; // what follows the option, as the usage names it; null for none
    const wchar_t* meaning;
    void (*take)(ProgramCommand& command, const std::wstring& value);
};

const Option kOptions[] = {
    {L"list", L"FILE", L"erases the items listed in FILE, one path per line",
     [](ProgramCommand& command, const std::wstring& value) { command.listFile = value; }},
    {L"wipefree", L"X:", L"wipes the free space of drive X: (and erases nothing)",
     [](ProgramCommand& command, const std::wstring& value) {
         command.wipeFree = true;
         command.wipeDrive = value;
     }},
};

bool LooksLikeOption(const std::wstring& argument)
{
    return !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
}

const Option* FindOption(const std::wstring& argument)
{
    for (const Option& option : kOptions) {
        if (::CompareStringOrdinal(argument.c_str() + 1, static_cast<int>(argument.size() - 1), option.name, -1, TRUE)
            == CSTR_EQUAL)
            return &option;
    }
    return nullptr;
}

} // namespace

CommandLineCheck ParseArguments(const std::vector<std::wstring>& arguments, ProgramCommand& command,
                                std::wstring& offending)
{
    command = ProgramCommand();
    std::vector<const Option*> given;
    for (size_t i = 0; i < arguments.size(); ++i) {
        offending = arguments[i];
        if (!LooksLikeOption(arguments[i])) {
            command.named.push_back(arguments[i]);
            continue;
        }
        const Option* option = FindOption(arguments[i]);
        if (!option)
            return CommandLineCheck::UnknownOption;
        for (const Option* before : given) {
            if (before == option)
                return CommandLineCheck::Repeated;
        }
        given.push_back(option);
        std::wstring value;
        if (option->value) {
            if (i + 1 == arguments.size())
                return CommandLineCheck::MissingValue;
            value = arguments[++i];
        }
        option->take(command, value);
    }
    offending.clear();
    return command.wipeFree && (!command.named.empty() || !command.listFile.empty()) ? CommandLineCheck::WipeWithItems
                                                                                     : CommandLineCheck::Understood;
}

std::wstring UsageMessage(CommandLineCheck check, const std::wstring& offending)
{
    std::wstring message;
    switch (check) {
    case CommandLineCheck::UnknownOption:
        message = L"\"" + offending + L"\" is not an option.";
        break;
    case CommandLineCheck::MissingValue:
        message = L"\"" + offending + L"\" needs a value after it.";
        break;
    case CommandLineCheck::Repeated:
        message = L"\"" + offending + L"\" is given twice.";
        break;
    case CommandLineCheck::WipeWithItems:
        message = L"A wipe of free space erases no items: it cannot be given with items to erase.";
        break;
    case CommandLineCheck::Understood:
        break;
    }
    message += L"\n\nUsage: Morvane.exe [path ...] [option ...]\n\n"
               L"path\tthe files, folders and drives to erase, asked once for all\n";
    for (const Option& option : kOptions)
        message += L"/" + std::wstring(option.name) + (option.value ? L" " + std::wstring(option.value) : L"") + L"\t"
                   + option.meaning + L"\n";
    message += L"\nOptions may begin with \"-\" as well as \"/\". A path that begins with one of them is written "
               L"another way, for example .\\-name.txt or C:/folder.";
    return message;
}
