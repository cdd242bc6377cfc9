#pragma once
// A temporary file that text is appended to while a job runs and that is read back when the
// report is put together, so that a job of a million items holds none of them in memory. Its
// text names erased items: the system is asked to keep it in its cache rather than on the disk,
// and whatever reached the disk is overwritten with zeros before the file is deleted.

#include "win32/ScopedHandle.h"

#include <windows.h>

#include <string>

class ReportSpool {
public:
    ReportSpool() = default;
    ~ReportSpool();
    ReportSpool(const ReportSpool&) = delete;
    ReportSpool& operator=(const ReportSpool&) = delete;

    // In the user's temporary folder. False when no such file can be made.
    bool Open();
    // False once anything could not be written: the spool then holds less than was appended.
    bool Append(const std::string& text);
    // Everything appended so far, written to `out` at its current position.
    bool CopyTo(HANDLE out);

private:
    bool Flush();

    UniqueFile m_file;
    std::string m_pending;
    ULONGLONG m_size = 0;
    bool m_failed = false;
};

// Writes all of the bytes, or fails.
bool WriteAll(HANDLE file, const void* data, size_t size);
