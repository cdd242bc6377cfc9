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
DWORD MakeFillFile(CFillFile& file, const std::wstring& path, ULONGLONG& size, ULONGLONG cluster)
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

bool CreateRecordFile(const std::wstring& path, const BYTE* content, DWORD size)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    // A record is taken once the file exists, whatever becomes of its content.
    DWORD written = 0;
    ::WriteFile(file.Get(), content, size, &written, nullptr);
    return true;
}

bool Truncate(HANDLE file)
{
    const LARGE_INTEGER start = {};
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

} // namespace

WipeWorker::WipeWorker(const WipeJob& job)
    : m_drive(job.drive), m_notify(job.notify), m_cancel(job.cancel), m_methodId(WipeMethodOf(job.methodId)),
      m_method(CreateEraseMethod(m_methodId))
{
}

bool WipeWorker::StopRequested() const
{
    return ::StopRequested(m_cancel);
}

void WipeWorker::SendProblem(int32_t code, const std::wstring& path)
{
    SendNotice(m_notify, Problem, path.c_str(), nullptr, 0, 0, code);
}

void WipeWorker::SendPhase(WipePhase phase)
{
    SendNotice(m_notify, static_cast<NoticeType>(WipePhaseStarted), m_root.c_str(), nullptr, 0, 0, phase);
}

void WipeWorker::SendFreeSpace(FreeSpaceMoment moment, ULONGLONG bytes)
{
    SendNotice(m_notify, static_cast<NoticeType>(WipeFreeSpace), m_root.c_str(), nullptr,
               static_cast<int32_t>(bytes >> 32), static_cast<int32_t>(bytes & 0xFFFFFFFFu), moment);
}

void WipeWorker::Run()
{
    SendNotice(m_notify, JobStarted);
    const bool completed = Wipe();
    SendNotice(m_notify, completed && !StopRequested() ? JobCompleted : JobTerminated);
}

bool WipeWorker::Wipe()
{
    m_root = DriveRootOf(m_drive.c_str());
    if (m_root.empty()) {
        SendProblem(kProblemOpen, m_drive);
        return false;
    }
    if (!m_method) {
        SendNotice(m_notify, Problem, nullptr, nullptr, 0, 0, kProblemNoMemory);
        return false;
    }
    if (!CheckDrive())
        return false;

    WipeFolder folder;
    if (const int32_t problem = folder.Create(m_root)) {
        SendProblem(problem, m_root + kWipeFolderName);
        return false;
    }
    m_context = {};
    m_context.notify = m_notify;
    m_context.cancel = m_cancel;
    m_context.totalSize = m_freeBefore;
    m_context.passCount = PassCountOfMethod(m_methodId);
    const bool filled = FillClusters(folder) && FillRecords(folder);

    SendPhase(kPhaseRemoving);
    const std::wstring folderPath = folder.Path();
    const bool removed = folder.Remove();
    if (!removed)
        SendProblem(kProblemNotRemoved, folderPath);
    ULONGLONG freeAfter = 0;
    if (QueryFreeBytes(m_root, freeAfter))
        SendFreeSpace(kFreeAfterWipe, freeAfter);
    return filled && removed;
}

bool WipeWorker::CheckDrive()
{
    ULARGE_INTEGER available, total, free;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceExW(m_root.c_str(), &available, &total, &free)
        || !::GetDiskFreeSpaceW(m_root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        SendProblem(ProblemOfSystemError(::GetLastError()), m_root);
        return false;
    }
    m_freeBefore = free.QuadPart;
    m_clusterSize = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    SendFreeSpace(kFreeBeforeWipe, m_freeBefore);
    if (m_clusterSize == 0 || m_freeBefore < m_clusterSize) {
        SendProblem(kProblemDriveFull, m_root);
        return false;
    }
    // Less free for this user than for everyone: a quota would stop the fill half-way.
    if (available.QuadPart < free.QuadPart) {
        SendProblem(kProblemQuota, m_root);
        return false;
    }
    return true;
}

// Files as large as the free space allows, up to the largest fill; where the file system
// refuses a size, half of it, down to one cluster, until no cluster is left.
bool WipeWorker::FillClusters(const WipeFolder& folder)
{
    SendPhase(kPhaseClusters);
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
        CFillFile file;
        if (const DWORD error = MakeFillFile(file, path, size, m_clusterSize)) {
            if (IsDiskFull(error))
                return true;
            SendProblem(ProblemOfSystemError(error), path);
            return false;
        }
        m_context.file = &file;
        m_context.path = path.c_str();
        m_context.fileSize = 0;
        if (m_method->Erase(&m_context).ended == Ended::Stopped)
            return false;
        file.Close();
        m_context.file = nullptr;
        m_context.doneBefore += file.Reached();
        if (file.Refusal() == kErrorQuotaExceeded) {
            SendProblem(kProblemQuota, path);
            return false;
        }
        if (file.Refusal() && file.Reached() == 0)
            return true;
    }
}

// The records tree grows breadth first until no further file or folder can be made: then
// every record the file system would hand out is taken, by a file holding content of the
// method's random data or by a folder.
bool WipeWorker::FillRecords(const WipeFolder& folder)
{
    SendPhase(kPhaseRecords);
    std::unique_ptr<BYTE[]> content(new (std::nothrow) BYTE[kLargestRecordContent]);
    if (!content) {
        SendNotice(m_notify, Problem, nullptr, nullptr, 0, 0, kProblemNoMemory);
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
        if ((number > 0 && !CreateRecordFile(path + L"0", content.get(), size))
            || !CreateRecordFile(path + L"1", content.get(), size) || !::CreateDirectoryW((path + L"2").c_str(), nullptr)
            || !::CreateDirectoryW((path + L"3").c_str(), nullptr))
            return true;
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

// The wipe's folder is removed on the way out whatever ends the job.
DWORD WINAPI RunWipeJob(LPVOID job)
{
    return RunJobThread<WipeWorker, WipeJob>(job);
}
