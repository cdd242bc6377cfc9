#pragma once
// The guarded file-name query: some file handles (a pipe with a read pending, for one) make
// every name query on them wait indefinitely, so the query runs on a thread of its own that
// is given 100 ms.

#include <windows.h>

#include <string>

// The file-name query (file class 9) on a handle of this process. A query that does not
// finish in time yields an empty name and true; its thread is ended and a new one serves the
// next probe. Any thread may call it; probes run one at a time.
bool ProbeFileName(HANDLE file, std::wstring& name);
