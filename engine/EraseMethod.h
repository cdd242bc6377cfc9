#pragma once
// An erase method overwrites the whole content of one opened file, pass by pass, reporting
// progress and failures as notices and stopping early when the job is cancelled.

#include "engine/CancelFlag.h"
#include "engine/EraseNotice.h"
#include "engine/EraseRandom.h"
#include "engine/EraserFile.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <new>

// What a method works on; filled by the worker, one per job, reused for every file.
struct EraseContext {
    CEraserFile* file;
    NoticeCallback notify;
    const wchar_t* path;  // copied into every notice
    ULONGLONG fileSize;   // set by Erase before the first pass
    ULONGLONG totalSize;  // all files of the job
    ULONGLONG doneBefore; // files of the job already processed
    int32_t passCount;
    CancelFlag* cancel;
};

class CEraseMethod {
public:
    virtual ~CEraseMethod() = default;

    // True when the file was overwritten completely, was empty, the job was cancelled, or the
    // user chose to skip the file after a failure; false when the user chose to stop or no
    // working memory could be had.
    virtual bool Erase(EraseContext* context) = 0;

    // Whether the last Erase ended with the user skipping the file after a failure: such a
    // file is not completely overwritten and must stay where it is.
    bool LastFileSkipped() const { return m_skipped; }

protected:
    static constexpr DWORD kChunkSize = 65536;

    // How a pass (or the frame) ends.
    enum class PassEnd { Next, ReturnTrue, ReturnFalse };

    // The frame shared by all methods: size, empty file, first and last progress, the passes.
    template <class RunPass>
    bool RunFrame(EraseContext* context, int passes, RunPass runPass);

    // One pass from offset 0 to the end in chunks; chunkData(written, count) yields the bytes
    // of the next chunk. Checks the cancel flag and takes a progress step after each chunk.
    template <class ChunkData>
    PassEnd WritePass(int pass, ChunkData chunkData);

    // A failed file call: the user decides between skipping the file and stopping.
    PassEnd Fail(int32_t code);
    // Working memory could not be had: reported, and the method fails.
    bool ReportNoMemory(EraseContext* context);
    // A working buffer, null when there is no memory for it.
    static std::unique_ptr<BYTE[]> NewBuffer(size_t size) { return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[size]); }
    // Progress after a chunk of this pass, writtenBefore counting the pass's bytes before it.
    void ProgressStep(int pass, ULONGLONG writtenBefore);

    LcgRandom m_random;
    EraseContext* m_context = nullptr;
    int32_t m_lastPercent = 0;

private:
    void SendProgress(int32_t filePercent, ULONGLONG totalDone);
    bool m_skipped = false;
};

template <class RunPass>
bool CEraseMethod::RunFrame(EraseContext* context, int passes, RunPass runPass)
{
    m_context = context;
    m_skipped = false;
    ULONGLONG size = 0;
    if (!context->file->GetSize(size))
        return Fail(kProblemSeek) == PassEnd::ReturnTrue;
    if (size == 0)
        return true;
    context->fileSize = size;
    m_lastPercent = 0;
    SendProgress(0, context->doneBefore);
    for (int pass = 0; pass < passes; ++pass) {
        const PassEnd end = runPass(pass);
        if (end != PassEnd::Next)
            return end == PassEnd::ReturnTrue;
    }
    SendProgress(100, context->doneBefore + size);
    return true;
}

template <class ChunkData>
CEraseMethod::PassEnd CEraseMethod::WritePass(int pass, ChunkData chunkData)
{
    if (!m_context->file->Seek(0, nullptr, FILE_BEGIN))
        return Fail(kProblemSeek);
    const ULONGLONG size = m_context->fileSize;
    for (ULONGLONG written = 0; written < size;) {
        const DWORD count = size - written < kChunkSize ? static_cast<DWORD>(size - written) : kChunkSize;
        DWORD done = 0;
        if (!m_context->file->Write(chunkData(written, count), count, &done))
            return Fail(kProblemWrite);
        if (StopRequested(m_context->cancel))
            return PassEnd::ReturnTrue;
        ProgressStep(pass, written);
        written += count;
    }
    return PassEnd::Next;
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
