// Operating-system side of the log: time, ids, folders and the file itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace LogBackend {

struct LocalTime {
    int month, day, hour, minute, second, millisecond;
};

LocalTime Now();
std::int64_t CalendarSeconds();
unsigned long ProcessId();
unsigned long ThreadId();

// Default log folder, created when missing; false when it cannot be used.
bool DefaultFolder(char* buffer, std::size_t size);
// The per-user fallback folder, created when missing; false when there is none.
bool FallbackFolder(char* buffer, std::size_t size);

using Handle = std::intptr_t;
constexpr Handle kNoHandle = -1;

// Opens the file at path for appending, creating it readable and writable by everyone.
Handle OpenOrCreate(const char* path);
// True when path still names the file open in handle.
bool IsSameFile(Handle handle, const char* path);
// Makes slot refer to the freshly opened file. Writers that loaded the old value from slot
// keep writing to a log file, never to an unrelated one.
void Install(std::atomic<Handle>& slot, Handle fresh);
// One append write of the whole line.
void Append(Handle handle, const char* line, std::size_t length);

} // namespace LogBackend
