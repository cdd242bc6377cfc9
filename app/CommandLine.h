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
    bool quiet = false;      // "/quiet": no window, no question; what happened is in the exit code
    int methodId = 0;        // "/method:N|name": 1 to 6; 0 where not given (the method used last)
    std::wstring reportFile; // "/report FILE": a page (.html, .htm) or JSON (.json)
    bool unlock = false;     // "/unlock": close the holders' handles of locked items
    bool kill = false;       // "/kill": end the holders where closing their handles does not free an item
    bool wholeDrive = false; // "/wholedrive": a whole drive, or a folder Windows and its programs share
};

enum class CommandLineCheck {
    Understood,
    UnknownOption,
    MissingValue,  // an option whose value is not there
    Repeated,      // an option given twice
    WipeWithItems, // a free-space wipe among items to erase
    UnknownMethod, // "/method:" names no method of the list
    UnknownReportFormat, // "/report FILE" whose extension is none of .html, .htm and .json
    QuietOnly,     // an option that only the quiet command takes, without "/quiet"
    NothingToDo,   // "/quiet" or "/report" with no item, list or drive
};

// From the arguments after the program's name. `offending` is the argument a refusal is about.
// Where the arguments are refused, `command.quiet` still says whether "/quiet" was among them.
CommandLineCheck ParseArguments(const std::vector<std::wstring>& arguments, ProgramCommand& command,
                                std::wstring& offending);

// What is wrong with the command line, then how it is written, with every option, the methods
// and the exit codes.
std::wstring UsageMessage(CommandLineCheck check, const std::wstring& offending);
