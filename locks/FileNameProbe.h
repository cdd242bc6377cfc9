#pragma once
// The guarded name query of file handles: some file handles (a pipe with a read pending, for
// one) make every name query on them wait indefinitely, so the query runs on a thread of its
// own that gives each handle 100 ms.

#include <windows.h>

#include <cstddef>
#include <string>

// Asks the system's name of each handle's object (as NtQueryObject names it) for handles of
// this process, in order, each within its own 100 ms. A query that does not finish in time has
// its thread ended, and a new one serves the handles after it. A name stays empty when the
// query did not finish, failed, or the object has none. Any thread may call this; probes run
// one at a time.
void ProbeFileNames(const HANDLE* files, size_t count, std::wstring* names);
