#pragma once
// An erase method overwrites the whole content of one opened file, pass by pass, reporting
// progress and failures as notices and stopping early when the job is cancelled.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"
#include "engine/EraseRandom.h"
#include "engine/JobSize.h"
#include "engine/Outcome.h"
#include "engine/PassDigest.h"
#include "engine/overwrite/EraserFile.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <new>

// What a method works on; filled by the worker, one per job, reused for every file.
struct EraseContext {
    CEraserFile* file;
    NoticeCallback notify;
    const wchar_t* path;  // copied into every notice
    ULONGLONG fileSize;   // set by Erase: what the passes overwrite, the slack included
    ULONGLONG totalSize;  // all files of the job, where it is known before the job
    ULONGLONG doneBefore; // files of the job already processed
    int32_t passCount;
    CancelFlag* cancel;
    // Where set, the job's size as counted so far, which takes the place of totalSize.
    const JobSize* jobSize = nullptr;
    // Where set, what the last pass wrote is recorded here, to be read back.
    PassDigest* lastPass = nullptr;
    ULONGLONG dataSize = 0; // set by Erase: the file's data, without its slack
};

class CEraseMethod {
public:
    virtual ~CEraseMethod() = default;

    // Done when the file was overwritten completely or was empty; Skipped when the user chose
    // to leave the file after a failure (it is not completely overwritten and must stay where
    // it is); Stopped when the user chose to stop, the job was cancelled or no working memory
    // could be had.
    virtual Outcome Erase(EraseContext* context) = 0;

protected:
    static constexpr DWORD kChunkSize = 65536;

    // The frame shared by all methods: size and slack, empty file, first and last progress, the
    // passes, the last one recorded, and growth. Each pass ends done (the next one follows),
    // skipped or stopped (the frame ends with it).
    template <class RunPass>
    Outcome RunFrame(EraseContext* context, int passes, RunPass runPass);

    // One pass from offset 0 to the end in chunks; chunkData(written, count) yields the bytes
    // of the next chunk. Checks the cancel flag and takes a progress step after each chunk.
    template <class ChunkData>
    Outcome WritePass(int pass, ChunkData chunkData);

    // All of `count` bytes at the file's position.
    bool WriteAll(const void* data, DWORD count);
    // A failed file call: the user decides between skipping the file and stopping.
    Outcome Fail(int32_t code);
    // Working memory could not be had: reported, and the job stops.
    Outcome ReportNoMemory(EraseContext* context);
    // A working buffer, null when there is no memory for it.
    static std::unique_ptr<BYTE[]> NewBuffer(size_t size) { return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[size]); }
    // Progress after a chunk of this pass, writtenBefore counting the pass's bytes before it.
    void ProgressStep(int pass, ULONGLONG writtenBefore);

    LcgRandom m_random;
    EraseContext* m_context = nullptr;
    int32_t m_lastPercent = 0;

private:
    void SendProgress(int32_t filePercent, ULONGLONG totalDone);
};

template <class RunPass>
Outcome CEraseMethod::RunFrame(EraseContext* context, int passes, RunPass runPass)
{
    m_context = context;
    CEraserFile& file = *context->file;
    ULONGLONG size = 0;
    if (!file.GetSize(size))
        return Fail(kProblemSeek);
    if (size == 0)
        return kStepDone;
    context->dataSize = size;
    if (!file.ReachClusterEnd(size))
        return Fail(kProblemSeek);
    context->fileSize = size;
    m_lastPercent = 0;
    SendProgress(0, context->doneBefore);
    int lastPassRuns = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const bool last = pass == passes - 1;
        if (last && context->lastPass && !context->lastPass->Start())
            return Fail(kProblemVerifyFailed);
        file.RecordWrites(last ? context->lastPass : nullptr);
        // Each pass is on the disk before the next begins, and before the last is read back.
        Outcome end = runPass(pass);
        if (end.ended == Ended::Done && !file.Flush())
            end = Fail(kProblemWrite);
        file.RecordWrites(nullptr);
        if (end.ended != Ended::Done)
            return end;
        // A holder freed beside the job may still write: the next pass covers the new end, and
        // a last pass it outgrew runs again, once.
        if (!file.ReachClusterEnd(size))
            return Fail(kProblemSeek);
        if (size > context->fileSize) {
            context->fileSize = size;
            if (last && ++lastPassRuns > 1)
                return Fail(kProblemFileGrew);
            if (last)
                --pass;
        }
    }
    SendProgress(100, context->doneBefore + context->dataSize);
    return kStepDone;
}

template <class ChunkData>
Outcome CEraseMethod::WritePass(int pass, ChunkData chunkData)
{
    if (!m_context->file->Seek(0, nullptr, FILE_BEGIN))
        return Fail(kProblemSeek);
    const ULONGLONG size = m_context->fileSize;
    for (ULONGLONG written = 0; written < size;) {
        const DWORD count = size - written < kChunkSize ? static_cast<DWORD>(size - written) : kChunkSize;
        if (!WriteAll(chunkData(written, count), count))
            return Fail(kProblemWrite);
        if (StopRequested(m_context->cancel))
            return kStepCancelled;
        ProgressStep(pass, written);
        written += count;
    }
    return kStepDone;
}

// The methods in the order of the method lists; a method id is its index plus one.
struct EraseMethodInfo {
    const wchar_t* name;
    int passes;
};
constexpr int kEraseMethodCount = 6;
extern const EraseMethodInfo kEraseMethods[kEraseMethodCount];

// Any id outside 1..6 selects the Gutmann method.
const EraseMethodInfo& EraseMethodOf(int methodId);
int PassCountOfMethod(int methodId);
std::unique_ptr<CEraseMethod> CreateEraseMethod(int methodId);
