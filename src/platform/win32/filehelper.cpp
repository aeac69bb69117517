#include "platform/filehelper.h"

#include "platform/log.h"

#include <QDir>

#include <windows.h>
// windows.h names MoveFileW "MoveFile"; the helper's member keeps its own name.
#undef MoveFile

namespace {

std::wstring Native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

quint32 CFileHelper::GetDiskAvailableSpace(const QString& path, quint64* freeToCaller, quint64* totalBytes,
                                           quint64* totalFreeBytes)
{
    for (quint64* output : {freeToCaller, totalBytes, totalFreeBytes}) {
        if (output != nullptr)
            *output = 0;
    }
    ::SetLastError(ERROR_SUCCESS);
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!path.isEmpty() && GetDiskFreeSpaceExW(Native(path).c_str(), &available, &total, &totalFree)) {
        if (freeToCaller != nullptr)
            *freeToCaller = available.QuadPart;
        if (totalBytes != nullptr)
            *totalBytes = total.QuadPart;
        if (totalFreeBytes != nullptr)
            *totalFreeBytes = totalFree.QuadPart;
        return FH_OK;
    }
    const DWORD error = path.isEmpty() ? ERROR_PATH_NOT_FOUND : ::GetLastError();
    switch (error) {
    case ERROR_FILE_NOT_FOUND: // the last folder of the path is missing
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return FH_PATH_NOT_FOUND;
    case ERROR_ACCESS_DENIED:
        return FH_ACCESS_DENIED;
    default:
        LogMessage("AuthHelper", 0,
                   "CFileHelper::GetDiskAvailableSpace() : GetDiskFreeSpaceEx() for '%s' failed. Error code: %d",
                   path.toUtf8().constData(), static_cast<int>(error));
        return FH_FAILED;
    }
}

bool CFileHelper::MoveFile(const QString& from, const QString& to)
{
    if (from.isEmpty() || to.isEmpty()
        || !MoveFileExW(Native(from).c_str(), Native(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = from.isEmpty() || to.isEmpty() ? ERROR_FILE_NOT_FOUND : ::GetLastError();
        LogMessage("AuthHelper", 0, "Unable to move file by error %#x. sFrom==>sTo:'%s' ==>'%s'",
                   static_cast<unsigned>(error), from.toUtf8().constData(), to.toUtf8().constData());
        return false;
    }
    return true;
}
