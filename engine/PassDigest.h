#pragma once
// What a pass wrote, kept small enough for any file: the ranges it covered, in the order
// written, and a SHA-256 digest of their bytes (Windows' own, from BCrypt). Read back past the
// cache, the file must give the same digest over the same ranges.

#include <windows.h>
#include <bcrypt.h>

#include <vector>

class CEraserFile;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False where the system offers no SHA-256.
    bool Start();
    void Add(const void* data, size_t count);
    bool Finish(BYTE (&digest)[32]);

private:
    void Drop();

    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
};

class PassDigest {
public:
    struct Range {
        ULONGLONG offset;
        ULONGLONG count;
    };

    // Forgets what was recorded; false where no digest can be made.
    bool Start();
    // Bytes that landed at `offset`; a write that continues the last range extends it.
    void Add(ULONGLONG offset, const void* data, DWORD count);
    const std::vector<Range>& Ranges() const { return m_ranges; }
    bool Finish(BYTE (&digest)[32]) { return m_started && m_hash.Finish(digest); }

private:
    Sha256 m_hash;
    std::vector<Range> m_ranges;
    bool m_started = false;
};

enum class ReadBack {
    Matched,    // the file holds what the pass wrote
    Differs,    // it holds something else
    Unreadable, // it could not be read back, or no digest could be made
};

// Reads the ranges the digest covers back from the file, past the cache, and compares. The one
// check for files, their streams and the wipe's fill files.
ReadBack CompareReadBack(CEraserFile& file, PassDigest& digest);
