#include "platform/log.h"

#include "platform/lasterror.h"
#include "platform/logbackend.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

int LogLevel = 1;

namespace {

constexpr std::size_t kLineBuffer = 4096;
constexpr std::size_t kMaxText = kLineBuffer - 2; // the line feed follows, 4095 bytes at most
constexpr std::size_t kPathField = 1024;
const char kFileName[] = "corvantis-lum.log";

// Where the log goes. A new folder is written into a fresh slot and then published, so a
// thread that is still reading the previous slot never sees it change under it.
struct Location {
    char folder[kPathField];
    char path[kPathField];
};
constexpr int kLocationSlots = 64;
Location g_locations[kLocationSlots];
std::atomic<int> g_nextLocation{0};
std::atomic<Location*> g_location{nullptr};

std::atomic<LogBackend::Handle> g_handle{LogBackend::kNoHandle};
std::atomic<std::int64_t> g_lastCheck{0};
std::atomic<bool> g_fallbackUsed{false};

Location* PublishFolder(const char* folder)
{
    Location* slot = &g_locations[g_nextLocation.fetch_add(1) % kLocationSlots];
    // Both fields are 1024-byte fields: an over-long folder is cut, as the path is.
    if (std::snprintf(slot->folder, sizeof slot->folder, "%s", folder) < 0)
        slot->folder[0] = '\0';
    if (std::snprintf(slot->path, sizeof slot->path, "%s/%s", folder, kFileName) < 0)
        slot->path[0] = '\0';
    g_location.store(slot, std::memory_order_release);
    // The open file belongs to the previous folder: force the identity check on the next line.
    g_lastCheck.store(0);
    return slot;
}

Location* ChooseDefaultFolder()
{
    char folder[kPathField] = "";
    if (!LogBackend::DefaultFolder(folder, sizeof folder))
        folder[0] = '\0';
    g_fallbackUsed.store(false);
    return PublishFolder(folder);
}

// Returns the handle to write to, reopening the file at most once a second when it was
// moved or deleted, and falling back to the per-user folder when the default cannot be used.
LogBackend::Handle FindLogFile()
{
    const std::int64_t now = LogBackend::CalendarSeconds();
    LogBackend::Handle handle = g_handle.load(std::memory_order_acquire);
    if (handle != LogBackend::kNoHandle && g_lastCheck.load() == now)
        return handle;
    const std::int64_t previous = g_lastCheck.exchange(now);
    if (previous == now && handle != LogBackend::kNoHandle)
        return handle;

    Location* location = g_location.load(std::memory_order_acquire);
    if (location == nullptr || location->folder[0] == '\0')
        location = ChooseDefaultFolder();
    if (handle != LogBackend::kNoHandle && LogBackend::IsSameFile(handle, location->path))
        return handle;

    LogBackend::Handle fresh = LogBackend::OpenOrCreate(location->path);
    if (fresh == LogBackend::kNoHandle && !g_fallbackUsed.exchange(true)) {
        char folder[kPathField] = "";
        if (LogBackend::FallbackFolder(folder, sizeof folder)) {
            location = PublishFolder(folder);
        } else {
            location = ChooseDefaultFolder();
            g_fallbackUsed.store(true);
        }
        fresh = LogBackend::OpenOrCreate(location->path);
    }
    if (fresh == LogBackend::kNoHandle)
        return LogBackend::kNoHandle;
    LogBackend::Install(g_handle, fresh);
    return g_handle.load(std::memory_order_acquire);
}

std::size_t Append(char* buffer, std::size_t used, const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(3, 4);
std::size_t Append(char* buffer, std::size_t used, const char* format, ...)
{
    if (used >= kLineBuffer)
        return used;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer + used, kLineBuffer - used, format, args);
    va_end(args);
    if (written < 0)
        return used;
    return std::min(kLineBuffer - 1, used + static_cast<std::size_t>(written));
}

} // namespace

void LogMessage(const char* component, int level, const char* format, ...)
{
    if (level >= 1 && LogLevel < level)
        return;
    const int savedError = Platform::LastError();

    char line[kLineBuffer];
    const LogBackend::LocalTime t = LogBackend::Now();
    std::size_t used = Append(line, 0, "%02d-%02d %02d:%02d:%02d.%03d ", t.month, t.day, t.hour, t.minute,
                              t.second, t.millisecond);
    const int reduced = level % 16;
    static const char* const kMarks[] = {"F ", "W ", "I ", "D ", "T "};
    if (reduced >= 0 && reduced <= 4)
        used = Append(line, used, "%s", kMarks[reduced]);
    else
        used = Append(line, used, "O(%d) ", reduced);
    used = Append(line, used, "/%s:%lu:%lx/ ", component, LogBackend::ProcessId(), LogBackend::ThreadId());

    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(line + used, kLineBuffer - used, format, args);
    va_end(args);
    if (written > 0)
        used = std::min(kLineBuffer - 1, used + static_cast<std::size_t>(written));
    used = std::min(used, kMaxText);
    line[used++] = '\n';

    const LogBackend::Handle handle = FindLogFile();
    if (handle != LogBackend::kNoHandle)
        LogBackend::Append(handle, line, used);
    Platform::SetLastError(savedError);
}

void QtMessageRelay(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message)
{
    switch (type) {
    case QtWarningMsg:
        if (LogLevel >= 1)
            LogMessage("[QT]", 1, "%s", message.toUtf8().constData());
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        LogMessage("[QT]", 0, "%s", message.toUtf8().constData());
        break;
    default:
        break;
    }
}

QByteArray QualifiedFunctionName(const char* prettyFunction)
{
    QByteArray signature(prettyFunction);
    int open = signature.indexOf('(');
    if (signature.contains("operator()"))
        open = signature.indexOf('(', signature.indexOf("operator()") + 10);
    if (open >= 0)
        signature.truncate(open);
    const int space = signature.lastIndexOf(' ');
    QByteArray name = signature.mid(space + 1);
    while (name.startsWith('*') || name.startsWith('&'))
        name.remove(0, 1);
    return name;
}

namespace LogControl {

void SetFolder(const QByteArray& folder)
{
    if (folder.isEmpty()) {
        g_location.store(nullptr, std::memory_order_release);
        g_lastCheck.store(0);
    } else {
        PublishFolder(folder.constData());
    }
    g_fallbackUsed.store(false);
}

QByteArray CurrentPath()
{
    const Location* location = g_location.load(std::memory_order_acquire);
    return location ? QByteArray(location->path) : QByteArray();
}

const char* FileName()
{
    return kFileName;
}

} // namespace LogControl
