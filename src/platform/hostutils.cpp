#include "platform/hostutils.h"

#include "platform/log.h"

#include <QDir>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace HostUtils {

namespace {

const char kConfigVariable[] = "CORVANTIS_CONFIG_DIR";
const char kProductKey[] = "SOFTWARE\\Corvantis\\Corvantis Lumen";

} // namespace

int FileSystemCode(const QString& fileSystemName)
{
    if (fileSystemName == QLatin1String("FAT"))
        return FS_FAT;
    if (fileSystemName == QLatin1String("FAT32"))
        return FS_FAT32;
    if (fileSystemName == QLatin1String("NTFS"))
        return FS_NTFS;
    if (fileSystemName == QLatin1String("exFAT"))
        return FS_EXFAT;
    return FS_UNKNOWN;
}

int GetPathFileSystemType(const QString& path)
{
    const QString root = GetVolumeRoot(path);
    return root.isNull() ? FS_UNKNOWN : GetFileSystemType(root);
}

bool IsFatFamily(const QString& path)
{
    const int type = GetPathFileSystemType(path);
    return type == FS_FAT || type == FS_FAT32 || type == FS_EXFAT;
}

QString ErrorMessageText(QByteArray message, int error)
{
    if (message.isEmpty())
        message = "Unable to obtain system message text. Original error: " + QByteArray::number(error);
    if (message.endsWith("\r\n"))
        message.chop(2);
    return QString::fromLocal8Bit(message);
}

QString AnswerWithin(int timeoutMs, std::function<QString()> work)
{
    // Shared with the thread, which may outlive this call.
    struct Answer {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        QString text;
    };
    auto answer = std::make_shared<Answer>();
    std::thread([answer, work = std::move(work)] {
        const QString text = work();
        std::lock_guard<std::mutex> lock(answer->mutex);
        answer->text = text;
        answer->finished = true;
        answer->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(answer->mutex);
    answer->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->finished; });
    return answer->text;
}

QString ConfigFolder()
{
    const QString fromEnvironment = GetEnv(QLatin1String(kConfigVariable));
    if (!fromEnvironment.isEmpty()) {
        LogMessage("kvrdirs", 0, "Configuration folder is taken from the environment variable %s: '%s'",
                   kConfigVariable, fromEnvironment.toUtf8().constData());
        return fromEnvironment;
    }
    const QString common = CommonAppDataFolder();
    if (common.isEmpty())
        return QString();
    return QDir::fromNativeSeparators(common + QLatin1String("/Corvantis"));
}

QString ResourcesFolder()
{
    QString location = InstallLocation(QLatin1String(kProductKey));
    if (location.isEmpty())
        location = UnregisteredInstallLocation();
    return location + QLatin1String("/Resources");
}

quint64 TickFrequency()
{
    return 1000;
}

QString GetEnv(const QString& name)
{
    if (name.isEmpty())
        return QString();
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString UuidText(const unsigned char bytes[16])
{
    const unsigned long first = (static_cast<unsigned long>(bytes[0]) << 24) | (static_cast<unsigned long>(bytes[1]) << 16)
                                | (static_cast<unsigned long>(bytes[2]) << 8) | bytes[3];
    char text[40];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", first,
                  (bytes[4] << 8) | bytes[5], (bytes[6] << 8) | bytes[7], bytes[8], bytes[9], bytes[10], bytes[11],
                  bytes[12], bytes[13], bytes[14], bytes[15]);
    return QString::fromLatin1(text);
}

} // namespace HostUtils
