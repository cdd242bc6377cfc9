#pragma once
// The quiet command line: erases the named items, or wipes a drive's free space, with no window
// at all, for scripts and the tools that manage many computers. Nobody is asked anything: the
// target rules refuse what they always refuse, a whole drive and the folders Windows and its
// programs share go only with /wholedrive, locked items are skipped unless /unlock or /kill says
// otherwise, and an item that fails is skipped. Started from a console, it prints one line per
// item and a summary there; Ctrl+C and Ctrl+Break cancel the job at its next check point, as
// Cancel does. What happened is the exit code (ExitCode, progress/job/JobDriver.h).

#include "app/CommandLine.h"

#include <string>

// `savedMethodId`: the method where the command names none; `reportFolder`: the settings' folder
// for every report, empty for none. Runs on the program's thread.
int RunQuiet(const ProgramCommand& command, int savedMethodId, const std::wstring& reportFolder);

// Says why nothing runs where the quiet command's errors go; the exit code for it.
int RefuseQuietly(const std::wstring& why);
