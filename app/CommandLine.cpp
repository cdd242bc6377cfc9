#include "app/CommandLine.h"

#include "engine/overwrite/EraseMethod.h"
#include "progress/job/JobDriver.h"
#include "report/ErasureReport.h"
#include "win32/PathRules.h"

#include <windows.h>

namespace {

// How an option takes its value.
enum class ValueForm {
    None,
    NextArgument, // "/list FILE"
    AfterColon,   // "/method:4"
};

struct Option {
    const wchar_t* name;
    ValueForm form;
    const wchar_t* value; // what the value is, as the usage names it
    bool quietOnly;
    const wchar_t* meaning;
    CommandLineCheck (*take)(ProgramCommand& command, const std::wstring& value);
};

// "1" to "6", or a method's whole name in any case.
int MethodIdOf(const std::wstring& value)
{
    for (int id = 1; id <= kEraseMethodCount; ++id) {
        if (value == std::to_wstring(id) || SameName(value, EraseMethodOf(id).name))
            return id;
    }
    return 0;
}

const Option kOptions[] = {
    {L"list", ValueForm::NextArgument, L"FILE", false, L"erases the items listed in FILE, one path per line",
     [](ProgramCommand& command, const std::wstring& value) {
         command.listFile = value;
         return CommandLineCheck::Understood;
     }},
    {L"wipefree", ValueForm::NextArgument, L"X:", false, L"wipes the free space of drive X: (and erases nothing)",
     [](ProgramCommand& command, const std::wstring& value) {
         command.wipeFree = true;
         command.wipeDrive = value;
         return CommandLineCheck::Understood;
     }},
    {L"report", ValueForm::NextArgument, L"FILE", false,
     L"also writes the job's report to FILE: a web page (.html) or JSON (.json)",
     [](ProgramCommand& command, const std::wstring& value) {
         ReportFormat format;
         command.reportFile = value;
         return ReportFormatOf(value, format) ? CommandLineCheck::Understood : CommandLineCheck::UnknownReportFormat;
     }},
    {L"quiet", ValueForm::None, nullptr, false,
     L"erases with no window and asks nothing; problems go to the console, the event log and the exit code",
     [](ProgramCommand& command, const std::wstring&) {
         command.quiet = true;
         return CommandLineCheck::Understood;
     }},
    {L"method", ValueForm::AfterColon, L"N|name", true,
     L"the erase method, by its number or its whole name (else the one used last)",
     [](ProgramCommand& command, const std::wstring& value) {
         command.methodId = MethodIdOf(value);
         return command.methodId ? CommandLineCheck::Understood : CommandLineCheck::UnknownMethod;
     }},
    {L"unlock", ValueForm::None, nullptr, true,
     L"closes other programs' handles on locked items (else locked items are skipped)",
     [](ProgramCommand& command, const std::wstring&) {
         command.unlock = true;
         return CommandLineCheck::Understood;
     }},
    {L"kill", ValueForm::None, nullptr, true,
     L"as /unlock, and ends a program whose closed handle did not free the item (never one Windows needs)",
     [](ProgramCommand& command, const std::wstring&) {
         command.kill = true;
         return CommandLineCheck::Understood;
     }},
    {L"wholedrive", ValueForm::None, nullptr, true,
     L"lets a whole drive, or Program Files, ProgramData, Users or a profile folder, be erased",
     [](ProgramCommand& command, const std::wstring&) {
         command.wholeDrive = true;
         return CommandLineCheck::Understood;
     }},
};

bool LooksLikeOption(const std::wstring& argument)
{
    return !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
}

// The option an argument names by what comes before a colon, and whether a colon follows;
// null for none.
const Option* FindOption(const std::wstring& argument, bool& hasColon, std::wstring& afterColon)
{
    const size_t colon = argument.find(L':');
    hasColon = colon != std::wstring::npos;
    afterColon = hasColon ? argument.substr(colon + 1) : L"";
    const std::wstring name = argument.substr(1, hasColon ? colon - 1 : std::wstring::npos);
    for (const Option& option : kOptions) {
        if (SameName(name, option.name))
            return &option;
    }
    return nullptr;
}

bool IsQuietOption(const std::wstring& argument)
{
    bool hasColon;
    std::wstring afterColon;
    const Option* option = LooksLikeOption(argument) ? FindOption(argument, hasColon, afterColon) : nullptr;
    return option && !hasColon && SameName(option->name, L"quiet");
}

} // namespace

CommandLineCheck ParseArguments(const std::vector<std::wstring>& arguments, ProgramCommand& command,
                                std::wstring& offending)
{
    command = ProgramCommand();
    for (const std::wstring& argument : arguments)
        command.quiet = command.quiet || IsQuietOption(argument);
    std::vector<const Option*> given;
    for (size_t i = 0; i < arguments.size(); ++i) {
        offending = arguments[i];
        if (!LooksLikeOption(arguments[i])) {
            command.named.push_back(arguments[i]);
            continue;
        }
        bool hasColon;
        std::wstring value;
        const Option* option = FindOption(arguments[i], hasColon, value);
        if (!option || (hasColon && option->form != ValueForm::AfterColon))
            return CommandLineCheck::UnknownOption;
        for (const Option* before : given) {
            if (before == option)
                return CommandLineCheck::Repeated;
        }
        given.push_back(option);
        if (option->quietOnly && !command.quiet)
            return CommandLineCheck::QuietOnly;
        if (option->form == ValueForm::NextArgument) {
            if (i + 1 == arguments.size())
                return CommandLineCheck::MissingValue;
            value = arguments[++i];
        }
        if (option->form != ValueForm::None && value.empty())
            return CommandLineCheck::MissingValue;
        const CommandLineCheck taken = option->take(command, value);
        if (taken != CommandLineCheck::Understood) {
            if (option->form == ValueForm::NextArgument)
                offending = value;
            return taken;
        }
    }
    offending.clear();
    const bool items = !command.named.empty() || !command.listFile.empty();
    if (command.wipeFree && items)
        return CommandLineCheck::WipeWithItems;
    const bool needsJob = command.quiet || !command.reportFile.empty();
    return needsJob && !items && !command.wipeFree ? CommandLineCheck::NothingToDo : CommandLineCheck::Understood;
}

std::wstring UsageMessage(CommandLineCheck check, const std::wstring& offending)
{
    // "{}" stands for the argument the refusal is about.
    static const std::pair<CommandLineCheck, const wchar_t*> kRefusals[] = {
        {CommandLineCheck::UnknownOption, L"\"{}\" is not an option."},
        {CommandLineCheck::MissingValue, L"\"{}\" needs a value after it."},
        {CommandLineCheck::Repeated, L"\"{}\" is given twice."},
        {CommandLineCheck::WipeWithItems, L"A wipe of free space erases no items: it cannot be given with items to erase."},
        {CommandLineCheck::UnknownMethod, L"\"{}\" names no erase method."},
        {CommandLineCheck::UnknownReportFormat, L"\"{}\" is no name for a report: it ends in .html, .htm or .json."},
        {CommandLineCheck::QuietOnly, L"\"{}\" is taken with /quiet only."},
        {CommandLineCheck::NothingToDo, L"/quiet and /report need items to erase, a list or a drive to wipe."},
    };
    std::wstring message;
    for (const auto& [refused, text] : kRefusals) {
        if (refused == check)
            message = text;
    }
    const size_t mark = message.find(L"{}");
    if (mark != std::wstring::npos)
        message.replace(mark, 2, offending);
    message += L"\n\nUsage: Morvane.exe [/report FILE] path ... | /list FILE | /wipefree X:\n"
               L"       Morvane.exe /quiet [/method:N|name] [/report FILE] [/unlock] [/kill] [/wholedrive] path ... "
               L"| /list FILE | /wipefree X:\n\n"
               L"path\tthe files, folders and drives to erase, asked once for all\n";
    for (const Option& option : kOptions) {
        const wchar_t* joiner = option.form == ValueForm::AfterColon ? L":" : L" ";
        message += L"/" + std::wstring(option.name) + (option.value ? joiner + std::wstring(option.value) : L"") + L"\t"
                   + (option.quietOnly ? L"with /quiet: " : L"") + option.meaning + L"\n";
    }
    message += L"\nMethods:";
    for (int id = 1; id <= kEraseMethodCount; ++id)
        message += L" " + std::to_wstring(id) + L" " + EraseMethodOf(id).name + (id < kEraseMethodCount ? L"," : L".");
    message += L"\n\nExit codes: " + std::to_wstring(kExitErased) + L" every named item erased; "
               + std::to_wstring(kExitProblems) + L" done, but something was skipped or not removed (the report says "
               L"what); " + std::to_wstring(kExitNothingRun) + L" nothing run (bad arguments, a refused or missing "
               L"target); " + std::to_wstring(kExitCancelled) + L" cancelled; " + std::to_wstring(kExitFailed)
               + L" stopped by an error.\n\nOptions may begin with \"-\" as well as \"/\". A path that begins with one "
                 L"of them is written another way, for example .\\-name.txt or C:/folder.";
    return message;
}
