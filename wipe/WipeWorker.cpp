#include "wipe/WipeWorker.h"

#include "engine/JobThread.h"
#include "wipe/FillFile.h"

#include <algorithm>
#include <new>

namespace {

// "Only first and last 2KB" would leave all but 4 KB of every fill file as the disk had it:
// on free space it writes random data once over everything, as "Pseudorandom Data" does.
constexpr int kFirstAndLastMethod = 5;
constexpr int kRandomMethod = 4;

int WipeMethodOf(int methodId)
{
    return methodId == kFirstAndLastMethod ? kRandomMethod : methodId;
}

// The largest fill file: large enough for the disk's full pace, small enough that a pass
// shows progress often.
constexpr ULONGLONG kLargestFill = 256ull << 20;
// More than any file-table record holds (they are 1 or 4 KB).
constexpr DWORD kLargestRecordContent = 4096;

bool IsDiskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Makes the fill file with the largest size up to size that the file system accepts; the
// system's error when it accepts none.
DWORD MakeFillFile(FillFile& file, const std::wstring& path, ULONGLONG& size, ULONGLONG cluster)
{
    if (file.Open(path.c_str(), kOpenAlone) != kOpenOk)
        return ::GetLastError();
    while (!file.Reserve(size)) {
        const DWORD error = ::GetLastError();
        if (!IsDiskFull(error) || size == cluster)
            return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
        size = std::max(cluster, size / 2 / cluster * cluster);
    }
    return ERROR_SUCCESS;
}

// ERROR_SUCCESS, or the system's error.
DWORD CreateRecordFile(const std::wstring& path, const BYTE* content, DWORD size)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ::GetLastError();
    // A record is taken once the file exists, whatever becomes of its content.
    DWORD written = 0;
    ::WriteFile(file.Get(), content, size, &written, nullptr);
    return ERROR_SUCCESS;
}

DWORD CreateRecordFolder(const std::wstring& path)
{
    return ::CreateDirectoryW(path.c_str(), nullptr) ? ERROR_SUCCESS : ::GetLastError();
}

bool Truncate(HANDLE file)
{
    const LARGE_INTEGER start = {};
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

} // namespace

WipeWorker::WipeWorker(const WipeJob& job)
    : m_drive(job.drive), m_notify(job.notify), m_cancel(job.cancel), m_methodId(WipeMethodOf(job.methodId)),
      m_verify(job.verifyLastPass), m_makeFillFile(job.makeFillFile), m_method(CreateEraseMethod(m_methodId))
{
}

bool WipeWorker::StopRequested() const
{
    return ::StopRequested(m_cancel);
}

void WipeWorker::Run()
{
    SendNotice(m_notify, JobStarted);
    const bool ranToEnd = Wipe() && !StopRequested();
    if (ranToEnd && m_fillFilesSkipped > 0)
        SendNotice(m_notify, WipeIncompleteNotice(m_root, m_fillFilesSkipped));
    SendNotice(m_notify, ranToEnd && m_fillFilesSkipped == 0 ? JobCompleted : JobTerminated);
}

bool WipeWorker::Wipe()
{
    m_root = DriveRootOf(m_drive.c_str());
    if (m_root.empty()) {
        SendProblem(m_notify, m_drive.c_str(), kProblemOpen);
        return false;
    }
    if (!m_method) {
        SendNoMemory(m_notify);
        return false;
    }
    if (!CheckDrive())
        return false;

    WipeFolder folder;
    if (const int32_t problem = folder.Create(m_root)) {
        SendProblem(m_notify, (m_root + kWipeFolderName).c_str(), problem);
        return false;
    }
    m_context = {};
    m_context.notify = m_notify;
    m_context.cancel = m_cancel;
    m_context.totalSize = m_freeBefore;
    m_context.passCount = PassCountOfMethod(m_methodId);
    m_context.lastPass = m_verify ? &m_lastPass : nullptr;
    const bool filled = FillClusters(folder) && FillRecords(folder);

    SendNotice(m_notify, WipePhaseNotice(m_root, kPhaseRemoving));
    const std::wstring folderPath = folder.Path();
    const bool removed = folder.Remove();
    if (!removed)
        SendProblem(m_notify, folderPath.c_str(), kProblemNotRemoved);
    ULONGLONG freeAfter = 0;
    if (QueryFreeBytes(m_root, freeAfter))
        SendNotice(m_notify, WipeFreeSpaceNotice(m_root, kFreeAfterWipe, freeAfter));
    return filled && removed;
}

bool WipeWorker::CheckDrive()
{
    ULARGE_INTEGER available, total, free;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceExW(m_root.c_str(), &available, &total, &free)
        || !::GetDiskFreeSpaceW(m_root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        SendProblem(m_notify, m_root.c_str(), ProblemOfSystemError(::GetLastError()));
        return false;
    }
    m_freeBefore = free.QuadPart;
    m_clusterSize = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    SendNotice(m_notify, WipeFreeSpaceNotice(m_root, kFreeBeforeWipe, m_freeBefore));
    if (m_clusterSize == 0 || m_freeBefore < m_clusterSize) {
        SendProblem(m_notify, m_root.c_str(), kProblemDriveFull);
        return false;
    }
    // Less free for this user than for everyone: a quota would stop the fill half-way.
    if (available.QuadPart < free.QuadPart) {
        SendProblem(m_notify, m_root.c_str(), kProblemQuota);
        return false;
    }
    return true;
}

// Files as large as the free space allows, up to the largest fill; where the file system
// refuses a size, half of it, down to one cluster, until no cluster is left.
bool WipeWorker::FillClusters(const WipeFolder& folder)
{
    SendNotice(m_notify, WipePhaseNotice(m_root, kPhaseClusters));
    ULONGLONG size = kLargestFill;
    for (unsigned index = 1;; ++index) {
        if (StopRequested())
            return false;
        ULONGLONG free = 0;
        // No file is made where the disk may be full: on some file systems a file that
        // cannot be made still costs a free record its turn.
        if (!QueryFreeBytes(m_root, free) || free < m_clusterSize)
            return true;
        size = std::min(size, free / m_clusterSize * m_clusterSize);
        const std::wstring path = folder.FillFilePath(index);
        const std::unique_ptr<FillFile> made = m_makeFillFile ? m_makeFillFile() : std::make_unique<FillFile>();
        FillFile& file = *made;
        if (const DWORD error = MakeFillFile(file, path, size, m_clusterSize)) {
            if (IsDiskFull(error))
                return true;
            SendProblem(m_notify, path.c_str(), ProblemOfSystemError(error));
            return false;
        }
        const Outcome filled = FillOne(file, path);
        if (filled.ended == Ended::Stopped)
            return false;
        m_fillFilesSkipped += filled.ended == Ended::Skipped;
        file.Close();
        m_context.doneBefore += file.Reached();
        if (file.Refusal() == kErrorQuotaExceeded) {
            SendProblem(m_notify, path.c_str(), kProblemQuota);
            return false;
        }
        if (file.Refusal() && file.Reached() == 0)
            return true;
    }
}

Outcome WipeWorker::FillOne(FillFile& file, const std::wstring& path)
{
    m_context.file = &file;
    m_context.path = path.c_str();
    m_context.fileSize = 0;
    m_context.dataSize = 0;
    Outcome outcome = m_method->Erase(&m_context);
    m_context.file = nullptr;
    if (outcome.ended == Ended::Done && m_verify && CompareReadBack(file, m_lastPass) != ReadBack::Matched)
        outcome = OutcomeOfAnswer(SendProblem(m_notify, path.c_str(), kProblemVerifyFailed), kProblemVerifyFailed);
    return outcome;
}

// The records tree grows breadth first until no further file or folder can be made: then
// every record the file system would hand out is taken, by a file holding content of the
// method's random data or by a folder.
bool WipeWorker::FillRecords(const WipeFolder& folder)
{
    SendNotice(m_notify, WipePhaseNotice(m_root, kPhaseRecords));
    std::unique_ptr<BYTE[]> content(new (std::nothrow) BYTE[kLargestRecordContent]);
    if (!content) {
        SendNoMemory(m_notify);
        return false;
    }
    m_random.FillChunk(content.get(), kLargestRecordContent);
    const std::wstring records = folder.RecordsPath();
    const DWORD size = ProbeRecordContent(records + L"0", content.get(), kLargestRecordContent);
    if (size == 0)
        return true;
    for (unsigned long long number = 0;; ++number) {
        if (StopRequested())
            return false;
        const std::wstring path = WipeFolder::RecordFolderPath(records, number);
        DWORD error = number > 0 ? CreateRecordFile(path + L"0", content.get(), size) : ERROR_SUCCESS;
        if (!error)
            error = CreateRecordFile(path + L"1", content.get(), size);
        if (!error)
            error = CreateRecordFolder(path + L"2");
        if (!error)
            error = CreateRecordFolder(path + L"3");
        // A full table ends the phase; anything else leaves free records untaken.
        if (error && IsOutOfRoom(error))
            return true;
        if (error) {
            SendProblem(m_notify, path.c_str(), ProblemOfSystemError(error));
            return false;
        }
    }
}

// On a full disk content that does not fit the record needs a cluster and is refused, so the
// largest content that is accepted is the largest that stays in the record.
DWORD WipeWorker::ProbeRecordContent(const std::wstring& path, const BYTE* content, DWORD largest)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    DWORD fits = 0, refused = largest + 1;
    while (refused - fits > 1) {
        const DWORD size = fits + (refused - fits) / 2;
        DWORD written = 0;
        const bool accepted = ::WriteFile(file.Get(), content, size, &written, nullptr) && written == size;
        (accepted ? fits : refused) = size;
        if (!Truncate(file.Get()))
            return 0;
    }
    DWORD written = 0;
    return ::WriteFile(file.Get(), content, fits, &written, nullptr) ? fits : 0;
}

// Nothing leaves the thread: whatever ends the wipe, the worker's WipeFolder removes the
// wipe's folder on its way out.
DWORD WINAPI RunWipeJob(LPVOID job)
{
    return RunJobThread<WipeWorker, WipeJob>(job);
}
