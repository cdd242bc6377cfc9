#include "shellext/DropFiles.h"

#include <windows.h>

#include <shlobj.h>

#include <cstring>

namespace {

bool IsNul(const unsigned char* character, size_t unit)
{
    for (size_t i = 0; i < unit; ++i) {
        if (character[i] != 0)
            return false;
    }
    return true;
}

}  // namespace

bool ParseDropFiles(const void* data, size_t size, DropFileList& list)
{
    list = DropFileList{};
    DROPFILES header;
    if (!data || size < sizeof(header))
        return false;
    std::memcpy(&header, data, sizeof(header));
    if (header.pFiles < sizeof(header) || header.pFiles > size)
        return false;

    // Paths are read byte by byte: nothing makes a wide list start on an even offset.
    const auto* bytes = static_cast<const unsigned char*>(data);
    const size_t unit = header.fWide ? sizeof(wchar_t) : sizeof(char);
    size_t offset = header.pFiles;
    for (;;) {
        size_t length = 0;
        for (;;) {
            const size_t at = offset + length * unit;
            if (size - at < unit) {
                if (length != 0)
                    return false;
                break;
            }
            if (IsNul(bytes + at, unit))
                break;
            ++length;
        }
        if (length == 0)
            break;
        list.paths.push_back({offset, length});
        offset += (length + 1) * unit;
    }
    list.wide = header.fWide != 0;
    return true;
}
