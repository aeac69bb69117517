// The updater configuration file, the per-user settings and the download folder.
#include "updater/updater.h"

#include "app/commandline.h"
#include "platform/auth.h"
#include "platform/authhelper.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/log.h"
#include "platform/process.h"
#include "proxy/httpproxyfactory.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const char kConfigFileName[] = ".corvantis_updater.xml";
const char kDownloadPathKey[] = "User Preferences/Update/Download Path";
const char kLastCheckedKey[] = "User Preferences/Update/Last Checked On";
const char kIncompleteKey[] = "User Preferences/Update/Incomplete Update";
} // namespace

QString CUpdater::ApplicationName() const
{
    // Types other than halden and lum keep their settings at the organisation level.
    if (m_qsUpdateType == QLatin1String("halden"))
        return QStringLiteral("Corvantis Halden");
    if (m_qsUpdateType == QLatin1String("lum"))
        return QStringLiteral("Corvantis Lumen");
    return QString();
}

QString CUpdater::ConfigFilePath() const
{
    const QString folder = HostUtils::ConfigFolder();
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        LogMessage(kProgramComponent, 0, "Can't get valid a directory = [%s]", folder.toUtf8().constData());
        return QString();
    }
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
        LogMessage(kProgramComponent, 0, "Can not create the %s directory.", folder.toUtf8().constData());
        return QString();
    }
    return QStringLiteral("%1/%2").arg(folder, QString::fromLatin1(kConfigFileName));
}

int CUpdater::LoadConfig()
{
    m_bConfigLoaded = true;
    int result = 0;
    if (!m_qsTmpConfigPath.isEmpty()) {
        result = m_pTmpConfig->loadFromFile(m_qsTmpConfigPath);
        if (result < 0) {
            LogMessage(kProgramComponent, 0, "Can not load a temporary updater configuration file %s : ReturnCode = 0x%x.",
                       m_qsTmpConfigPath.toUtf8().constData(), unsigned(result));
            m_bConfigLoaded = false;
            return result;
        }
    }
    if (!m_qsConfigPath.isEmpty() && QFileInfo::exists(m_qsConfigPath)) {
        result = m_pConfig->loadFromFile(m_qsConfigPath);
        m_bConfigUuidsKnown = false;
        if (result < 0) {
            LogMessage(kProgramComponent, 0, "Can not load an updater configuration file %s : ReturnCode = 0x%x.",
                       m_qsConfigPath.toUtf8().constData(), unsigned(result));
            m_bConfigLoaded = false;
            return result;
        }
        const QString productName = ProductNameForType(m_qsUpdateType);
        bool known = productName.isEmpty();
        for (const CUpdProduct* product : m_pConfig->getUpdates()->Product)
            known = known || product->ProductName() == productName;
        if (!known)
            AddProduct(m_pConfig, productName);
        RemoveStaleUpdates();
    }
    return result;
}

void CUpdater::SaveConfig()
{
    if (!m_bConfigLoaded || !Platform::IsAdministrator())
        return;
    const bool existed = !m_qsConfigPath.isEmpty() && QFileInfo::exists(m_qsConfigPath);
    MergeUpdates(m_pTmpConfig->getUpdates(), m_pConfig, false);
    RemoveStaleUpdates();
    const int result = m_qsConfigPath.isEmpty() ? RC_XML_WRITE_FAILED : m_pConfig->saveToFile(m_qsConfigPath);
    if (result < 0)
        LogMessage(kProgramComponent, 0, "Can not save the updater configuration file %s : ReturnCode = 0x%x.",
                   m_qsConfigPath.toUtf8().constData(), unsigned(result));
    if (existed)
        return;
    QString administrators;
    if (!CAuthHelper::LookupAliasFromRid(QString(), CAuthHelper::kNtAuthority, CAuthHelper::kBuiltinDomainRid,
                                         CAuthHelper::kAdministratorsRid, administrators)) {
        LogMessage(kProgramComponent, 0, "CAuthHelper::LookupAliasFromRid() failed.");
        return;
    }
    if (!CAuth::AddAccessRights(m_qsConfigPath, administrators, CAuth::GENERIC_ALL_ACCESS))
        LogMessage(kProgramComponent, 0, "CAuth::AddAccessRights() failed.");
}

void CUpdater::InitNetworkAndDownloadPath()
{
    ProxyInfo::ApplyProxyChoice(*m_pNetworkManager, *m_pCmdLine);
    const QString home = QDir::homePath();
    const QString downloads = QStringLiteral("%1/Downloads").arg(home);
    const QString fallback = QDir::toNativeSeparators(QFileInfo(downloads).isDir() ? downloads : home);
    m_qsDownloadDir = QSettings(QCoreApplication::organizationName(), ApplicationName()).value(QString::fromLatin1(kDownloadPathKey), fallback).toString();
}

void CUpdater::WriteSettings()
{
    if (m_bUpdateDuringInstallation)
        return;
    QSettings settings(QCoreApplication::organizationName(), ApplicationName());
    settings.setValue(QString::fromLatin1(kDownloadPathKey), m_qsDownloadDir);
    if (m_bDescriptionLoaded)
        settings.setValue(QString::fromLatin1(kLastCheckedKey),
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

CUpdater::ResultCode CUpdater::CheckDownloadFolder(qint64 neededBytes, const QString& folder)
{
    neededBytes = qMax<qint64>(neededBytes, 0);
    const QString missing = QObject::tr("Updating failed as the download folder you specified does not exist.");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        PrintUserError(missing);
        return ResultNoDownloadFolder;
    }
    quint64 freeBytes = 0;
    const quint32 code = CFileHelper::GetDiskAvailableSpace(folder, &freeBytes);
    if (code == CFileHelper::FH_ACCESS_DENIED) {
        PrintUserError(QObject::tr("Updating failed as you don't have access permissions to the download folder."));
        return ResultNoAccess;
    }
    if (code == CFileHelper::FH_PATH_NOT_FOUND) {
        PrintUserError(missing);
        return ResultNoDownloadFolder;
    }
    if (code != CFileHelper::FH_OK) {
        PrintUserError(QObject::tr("Updating failed as Corvantis Updater is unable to get the amount of free space "
                                   "to download updates."));
        return ResultFailed;
    }
    if (freeBytes <= quint64(neededBytes)) {
        PrintUserError(QObject::tr("Updating failed as there is not enough free disk space."));
        return ResultNoDiskSpace;
    }
    return ResultOk;
}

void CUpdater::SetIncompleteUpdate(bool value)
{
    if (m_bUpdateDuringInstallation)
        return;
    QSettings(QCoreApplication::organizationName(), ApplicationName())
        .setValue(QString::fromLatin1(kIncompleteKey), value);
}
