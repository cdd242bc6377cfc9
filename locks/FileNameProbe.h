#pragma once
// The guarded file-name query: some file handles (a pipe with a read pending, for one) make
// every name query on them wait indefinitely, so the query runs on a thread of its own that
// gives each handle 100 ms.

#include <windows.h>

#include <cstddef>
#include <string>

// What the file-name query (file class 9) told of one handle: answered true with the name;
// answered true with an empty name when it did not finish in time (the handle's queries may
// block); false when the query failed.
struct ProbedName {
    bool answered = false;
    std::wstring name;
};

// Probes handles of this process, in order, each within its own 100 ms. A query that does not
// finish in time has its thread ended; a new one serves the handles after it. Any thread may
// call this; probes run one at a time.
void ProbeFileNames(const HANDLE* files, size_t count, ProbedName* results);
