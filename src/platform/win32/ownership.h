// Who owns an open file, for the checks that refuse files somebody else could have planted.
#pragma once

#include <windows.h>

namespace Win32 {

enum class FileOwner {
    User,          // the running user, or the default owner of what it creates
    Administrator, // the Administrators group or the system
    Other,
    Unknown        // the owner cannot be read; the reason is the last error
};

FileOwner OwnerOf(HANDLE file);

// What an open file is: a regular file on a disk (not a folder, device or reparse point), how many
// names it has and its size. False, with the last error, when it cannot be read.
struct FileKind {
    bool regular = false;
    DWORD names = 0;
    LONGLONG size = 0;
};
bool KindOf(HANDLE file, FileKind& kind);

} // namespace Win32
