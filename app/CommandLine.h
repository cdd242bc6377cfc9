#pragma once
// What the program was started to do, read from its arguments as they stand. An argument that
// begins with "/" or "-" is an option, matched whatever its case; every other one is an item to
// erase. An option-like argument that is no option is refused, never taken as a path: read as
// one it could name an item nobody meant.

#include <string>
#include <vector>

struct ProgramCommand {
    std::vector<std::wstring> named; // the items to erase, as given
    std::wstring listFile;           // "/list FILE": more items to erase, one per line
    bool wipeFree = false;           // "/wipefree X:"
    std::wstring wipeDrive;
};

enum class CommandLineCheck {
    Understood,
    UnknownOption,
    MissingValue, // an option whose value is not there
    Repeated,     // an option given twice
    WipeWithItems, // a free-space wipe among items to erase
};

// From the arguments after the program's name. `offending` is the argument a refusal is about.
CommandLineCheck ParseArguments(const std::vector<std::wstring>& arguments, ProgramCommand& command,
                                std::wstring& offending);

// What is wrong with the command line, then how it is written, with every option.
std::wstring UsageMessage(CommandLineCheck check, const std::wstring& offending);
