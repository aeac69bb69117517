// Durable writing of open files: setting a file's size with its storage reserved, and committing
// its data to the storage device.
#pragma once

#include <QtGlobal>

namespace FileCommit {

// Sets the size of the open file fd. Growing reserves the storage first, so that a full volume
// fails here and leaves the file as it was. False, with the last error set, when the size cannot be set.
bool ResizeFile(int fd, qint64 size);

// Commits the data of the open file fd to the storage device; false, with the last error set, on failure.
bool CommitToDisk(int fd);

// Replaces the commit by another function, or restores the system's with nullptr. Tests use it
// to simulate a device that fails to commit.
using CommitFunction = bool (*)(int fd);
void SetCommitFunction(CommitFunction function);

} // namespace FileCommit
