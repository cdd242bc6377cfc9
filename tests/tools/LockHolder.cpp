// A second process for the lock tests: holds files and folders open as told on its command
// line, prints the handle values, then answers questions on standard input until it closes.
//
//   LockHolder open <file>        open for read/write with no sharing
//   LockHolder share <file> <n>   hold n handles with full sharing on the file
//   LockHolder sharerw <file>     open sharing reading and writing, not deleting
//   LockHolder attrs <file>       open for reading attributes only, sharing everything
//   LockHolder cd <folder>        make the folder the current directory
//   LockHolder deny <mask>        refuse these process access rights (hex) to everyone
//
// Prints "handle <value>" for every handle opened, then "ready". Input lines:
//   valid <value>   answers "yes" when the handle is still open in this process, else "no"

#include <windows.h>

#include <aclapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

HANDLE Open(const wchar_t* path, DWORD share, DWORD access = GENERIC_READ | GENERIC_WRITE)
{
    return ::CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Denies the rights in mask to everyone and allows every other right, on this process.
bool DenyProcessAccess(DWORD mask)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    BYTE buffer[256];
    auto* acl = reinterpret_cast<ACL*>(buffer);
    const bool ok = ::InitializeAcl(acl, sizeof(buffer), ACL_REVISION) && ::AddAccessDeniedAce(acl, ACL_REVISION, mask, everyone)
                    && ::AddAccessAllowedAce(acl, ACL_REVISION, PROCESS_ALL_ACCESS, everyone)
                    && ::SetSecurityInfo(::GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, acl, nullptr) == ERROR_SUCCESS;
    ::FreeSid(everyone);
    return ok;
}

// One open and n - 1 duplicates of it: every one is a handle of its own, while only one file
// is open. Wine's server keeps a descriptor per open file, so separate opens run into the
// descriptor limit long before 20,000 handles.
bool HoldShared(const wchar_t* path, long count)
{
    const HANDLE first = Open(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (first == INVALID_HANDLE_VALUE)
        return false;
    for (long n = 1; n < count; ++n) {
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), first, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            return false;
    }
    return true;
}

void PrintHandle(HANDLE h)
{
    std::printf("handle %lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(h)));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        const bool attributes = std::wcscmp(argv[i], L"attrs") == 0;
        if ((std::wcscmp(argv[i], L"open") == 0 || std::wcscmp(argv[i], L"sharerw") == 0 || attributes) && i + 1 < argc) {
            const DWORD share = argv[i][0] == L'o' ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
            const wchar_t* path = argv[++i];
            HANDLE h = attributes ? Open(path, share | FILE_SHARE_DELETE, FILE_READ_ATTRIBUTES) : Open(path, share);
            if (h == INVALID_HANDLE_VALUE) {
                std::printf("error %lu\n", ::GetLastError());
                return 1;
            }
            PrintHandle(h);
        } else if (std::wcscmp(argv[i], L"share") == 0 && i + 2 < argc) {
            const wchar_t* path = argv[++i];
            const long count = std::wcstol(argv[++i], nullptr, 10);
            if (count > 0 && !HoldShared(path, count)) {
                std::printf("error %lu\n", ::GetLastError());
                return 1;
            }
        } else if (std::wcscmp(argv[i], L"deny") == 0 && i + 1 < argc) {
            if (!DenyProcessAccess(std::wcstoul(argv[++i], nullptr, 16))) {
                std::printf("error %lu\n", ::GetLastError());
                return 1;
            }
        } else if (std::wcscmp(argv[i], L"cd") == 0 && i + 1 < argc) {
            if (!::SetCurrentDirectoryW(argv[++i])) {
                std::printf("error %lu\n", ::GetLastError());
                return 1;
            }
        } else {
            std::printf("error usage\n");
            return 2;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);

    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        unsigned long value = 0;
        if (std::sscanf(line, "valid %lu", &value) == 1) {
            DWORD flags = 0;
            const bool open = ::GetHandleInformation(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)), &flags);
            std::printf("%s\n", open ? "yes" : "no");
        } else {
            std::printf("error input\n");
        }
        std::fflush(stdout);
    }
    return 0;
}
