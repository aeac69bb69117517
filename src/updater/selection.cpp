// Choosing the updates that apply to the installed version, and keeping their status.
#include "updater/updater.h"

#include "app/commandline.h"
#include "platform/filehelper.h"
#include "platform/log.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/automaticupdate.h"
#include "xmlmodel/update.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"
#include "xmlmodel/updproductversion.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QMap>

namespace {

struct ProductType {
    const char* keyword;
    const char* productName;
};
const ProductType kProductTypes[] = {
    {"halden", "Corvantis Halden"},
    {"ferrowick", "Corvantis Ferrowick"},
    {"lum", "Corvantis Lumen"},
};

const char kUpdateServer[] = "https://update.corvantis.example";
const int kDescriptionOpenFailed = int(0x80000010u);

CUpdProduct* FindProduct(CUpdaterConfig* config, const QString& name)
{
    for (CUpdProduct* product : config->getUpdates()->Product) {
        if (product->ProductName() == name)
            return product;
    }
    return nullptr;
}

CUpdProductVersion* FindVersion(CUpdProduct* product, const CUpdProductVersion* like)
{
    for (CUpdProductVersion* version : product->Version) {
        if (version->Major() == like->Major() && version->Minor() == like->Minor()
            && version->SubMinor() == like->SubMinor() && version->SubSubMinor() == like->SubSubMinor())
            return version;
    }
    return nullptr;
}

// Removes every update of the configuration for which drop() holds.
template <typename Predicate>
void RemoveUpdates(CUpdaterConfig* config, Predicate drop)
{
    for (CUpdProduct* product : config->getUpdates()->Product) {
        for (CUpdProductVersion* version : product->Version) {
            for (int i = version->Update.size() - 1; i >= 0; --i) {
                if (drop(version->Update.at(i)))
                    version->Update.removeAt(i);
            }
        }
    }
}

// target becomes a copy of source that holds only the updates for which keep() holds; the others
// are never copied. The updates are taken out of source for the copy and put back after it.
template <typename Predicate>
void CopyKeeping(CUpdaterConfig* source, CUpdaterConfig* target, Predicate keep)
{
    QList<QList<CUpdate*>> updates;
    for (CUpdProduct* product : source->getUpdates()->Product) {
        for (CUpdProductVersion* version : product->Version)
            updates.append(version->Update.takeAll());
    }
    *target = *source;
    int next = 0;
    const auto& products = source->getUpdates()->Product;
    for (int p = 0; p < products.size(); ++p) {
        const auto& versions = products.at(p)->Version;
        for (int v = 0; v < versions.size(); ++v) {
            CUpdProductVersion* copy = target->getUpdates()->Product.at(p)->Version.at(v);
            for (CUpdate* update : qAsConst(updates[next])) {
                versions.at(v)->Update.append(update);
                if (keep(update))
                    copy->Update.append(new CUpdate(*update));
            }
            ++next;
        }
    }
}

} // namespace

QString CUpdater::MakeCurrentUuid() const
{
    QString version = m_pCmdLine->OptionValue(Options::Version);
    if (version.isEmpty())
        version = QString::fromLatin1(kProductVersion);
    return QStringLiteral("%1.%2.en_US.corvantis.%5").arg(m_qsUpdateType, version, QStringLiteral("win"));
}

QString CUpdater::ProductNameForType(const QString& type)
{
    for (const ProductType& entry : kProductTypes) {
        if (type == QLatin1String(entry.keyword))
            return QString::fromLatin1(entry.productName);
    }
    return QString();
}

QString CUpdater::DefaultUpdatesUrl(int productCode)
{
    QString url;
    if (productCode == 1)
        url = QString::fromLatin1(kUpdateServer) + QStringLiteral("/halden/v5/corvantis/corvantis_updates.xml");
    else if (productCode == 6)
        url = QString::fromLatin1(kUpdateServer) + QStringLiteral("/quorra/v5/corvantis/corvantis_updates.xml");
    else
        url = QStringLiteral("Unknown");
    LogMessage("kvrdirs", 3, "Updater url = %s", url.toUtf8().constData());
    return url;
}

bool CUpdater::IsOwnProduct(const QString& productName) const
{
    return productName == ProductNameForType(m_qsUpdateType);
}

bool CUpdater::IsDescendantOf(const CUpdate* update, const QString& uuid)
{
    return !update->Ancestry.isEmpty() && update->Ancestry.first()->Ancestor().contains(uuid);
}

const QSet<QString>& CUpdater::ConfigUuids() const
{
    if (!m_bConfigUuidsKnown) {
        m_setConfigUuids.clear();
        for (const CUpdProduct* product : m_pConfig->getUpdates()->Product) {
            for (const CUpdProductVersion* version : product->Version) {
                for (const CUpdate* update : version->Update) {
                    if (!update->Uuid().isEmpty())
                        m_setConfigUuids.insert(update->Uuid());
                }
            }
        }
        m_bConfigUuidsKnown = true;
    }
    return m_setConfigUuids;
}

bool CUpdater::IsApplicable(const CUpdate* update) const
{
    const QString& uuid = update->Uuid();
    return uuid != m_qsCurrentUuid && update->OsType() == QLatin1String("win")
           && IsDescendantOf(update, m_qsCurrentUuid) && (uuid.isEmpty() || !ConfigUuids().contains(uuid));
}

int CUpdater::LoadUpdatesDescription(const QString& path)
{
    const bool downloaded = path.isEmpty();
    const QString file = downloaded ? m_qsDownloadedFilePath : path;
    // Opened once and read from there: a pipe (or /dev/stdin) gives its text only once, and a pipe
    // whose writer has finished reads as empty instead of waiting.
    CNamedFile description(file);
    if (!CFileHelper::OpenForReading(description)) {
        LogMessage(kProgramComponent, 0, "Can not open an updates description file %s.", file.toUtf8().constData());
        return kDescriptionOpenFailed;
    }
    const int result = m_pUpdates->loadFromFile(&description, true);
    description.close();
    if (result < 0) {
        LogMessage(kProgramComponent, 0, "Can not load an updates description file %s : %s.",
                   file.toUtf8().constData(), m_pUpdates->getErrorMessage().toUtf8().constData());
    } else {
        MergeDescription();
        m_bDescriptionLoaded = true;
    }
    // The downloaded copy is not needed any more; a file named by the caller stays.
    if (downloaded)
        QFile::remove(file);
    return result;
}

void CUpdater::MergeDescription()
{
    CopyKeeping(m_pConfig, m_pTmpConfig, [this](const CUpdate* update) {
        return update->Status() != Installed && (m_lstUuids.isEmpty() || m_lstUuids.contains(update->Uuid()));
    });
    MergeUpdates(m_pUpdates, m_pTmpConfig, true);
}

int CUpdater::KindOfNewUpdates(CUpdates* source) const
{
    int kind = KindNothing;
    for (CUpdProduct* product : source->Product) {
        if (!IsOwnProduct(product->ProductName()))
            continue;
        const CUpdProduct* own = FindProduct(m_pTmpConfig, product->ProductName());
        if (own == nullptr || !own->UpdateEnabled())
            continue;
        for (const CUpdProductVersion* version : product->Version) {
            for (const CUpdate* update : version->Update) {
                if (!IsApplicable(update))
                    continue;
                if (m_bUpdateDuringInstallation) {
                    if (update->UpdateType() == 2)
                        return KindInstallation;
                } else if (update->UpdateType() != 2) {
                    if (update->HotfixSN() == 0)
                        return KindOrdinary;
                    kind = KindHotfix;
                }
            }
        }
    }
    return kind;
}

void CUpdater::MergeUpdates(CUpdates* source, CUpdaterConfig* target, bool fromDescription)
{
    if (fromDescription) {
        m_nUpdateKind = KindOfNewUpdates(source);
        if (m_nUpdateKind == KindNothing)
            return;
    } else if (m_pCmdLine->HasOption(Options::Config)) {
        CAutomaticUpdate* automatic = m_pConfig->getAutomaticUpdate();
        if (automatic != nullptr && m_pTmpConfig->getAutomaticUpdate() != nullptr)
            *automatic = *m_pTmpConfig->getAutomaticUpdate();
        m_pConfig->RemindPeriod.set(m_pTmpConfig->RemindPeriod());
        m_pConfig->BuyLink.set(m_pTmpConfig->BuyLink());
    }
    const bool intoConfig = target == m_pConfig;

    for (CUpdProduct* product : source->Product) {
        if (!IsOwnProduct(product->ProductName()))
            continue;
        CUpdProduct* own = FindProduct(target, product->ProductName());
        if (own == nullptr || !own->UpdateEnabled())
            continue;
        for (CUpdProductVersion* version : product->Version) {
            CUpdProductVersion* ownVersion = FindVersion(own, version);
            // Uuids of the target version, found once per source version rather than per update.
            QHash<QString, CUpdate*> ownUpdates;
            if (ownVersion != nullptr && !fromDescription) {
                for (CUpdate* existing : ownVersion->Update)
                    ownUpdates.insert(existing->Uuid(), existing);
            }
            for (CUpdate* update : version->Update) {
                if (!IsApplicable(update)) {
                    if (!fromDescription && ownVersion != nullptr) {
                        CUpdate* existing = ownUpdates.value(update->Uuid());
                        if (existing != nullptr && existing != update)
                            *existing = *update;
                    }
                    continue;
                }
                bool taken;
                if (!fromDescription)
                    taken = update->Status() != ReadyToDownload;
                else if (m_nUpdateKind == KindInstallation)
                    taken = update->UpdateType() == 2;
                else
                    taken = update->UpdateType() != 2
                            && (m_nUpdateKind == KindOrdinary ? update->HotfixSN() == 0 : update->HotfixSN() != 0);
                if (!taken)
                    continue;
                update->Ancestry.first()->Ancestor.set(QStringList{m_qsCurrentUuid});
                if (ownVersion == nullptr) {
                    ownVersion = new CUpdProductVersion;
                    ownVersion->Major.set(version->Major());
                    ownVersion->Minor.set(version->Minor());
                    ownVersion->SubMinor.set(version->SubMinor());
                    ownVersion->SubSubMinor.set(version->SubSubMinor());
                    ownVersion->StringRepresentation.set(version->StringRepresentation());
                    own->Version.append(ownVersion);
                }
                auto* copy = new CUpdate(*update);
                ownVersion->Update.append(copy);
                ownUpdates.insert(copy->Uuid(), copy);
                if (intoConfig && m_bConfigUuidsKnown && !copy->Uuid().isEmpty())
                    m_setConfigUuids.insert(copy->Uuid());
            }
        }
    }
}

QList<CUpdate*> CUpdater::OwnUpdates(const CUpdaterConfig* config) const
{
    QList<CUpdate*> updates;
    for (CUpdProduct* product : config->getUpdates()->Product) {
        if (!IsOwnProduct(product->ProductName()))
            continue;
        for (CUpdProductVersion* version : product->Version) {
            for (CUpdate* update : version->Update)
                updates.append(update);
        }
    }
    return updates;
}

bool CUpdater::HasNewUpdates()
{
    for (const CUpdate* update : OwnUpdates(m_pTmpConfig)) {
        if (!IsDescendantOf(update, m_qsCurrentUuid))
            continue;
        const int status = update->Status();
        if ((status == Downloaded || status == CanceledInstall) && QFile::exists(update->FilePath()))
            m_bHaveDownloaded = true;
        if (status != Installed && status != Downloaded && status != CanceledInstall)
            return true;
    }
    return false;
}

bool CUpdater::SelectUpdates()
{
    for (CUpdate* update : OwnUpdates(m_pTmpConfig)) {
        if (!m_bUpdateDuringInstallation)
            m_nUpdateKind = update->HotfixSN() != 0 ? KindHotfix : KindOrdinary;
        else if (update->UpdateType() == 2)
            m_nUpdateKind = KindInstallation;
        const int status = update->Status();
        if (IsDescendantOf(update, m_qsCurrentUuid) && (status == ReadyToDownload || status == Downloaded))
            m_lstPendingUpdates.append(update);
    }
    SumQueuedUpdates();
    if (m_lstPendingUpdates.isEmpty()) {
        PrintUserError(QObject::tr("You have the latest version of the Corvantis Software."));
        return false;
    }
    if (m_nUpdateKind == KindHotfix && MapHotfixes() != ResultOk) {
        PrintUserError(QObject::tr("This update cannot be installed."));
        Finish(ResultHotfixNotMapped);
        return false;
    }
    return true;
}

void CUpdater::SumQueuedUpdates()
{
    m_nTotalUpdatesSize = 0;
    m_nUpdatesCount = 0;
    for (const CUpdate* update : qAsConst(m_lstPendingUpdates)) {
        if (update->Status() == ReadyToDownload) {
            m_nTotalUpdatesSize += qint64(update->FileSize()) * 1024;
            ++m_nUpdatesCount;
        }
    }
    m_nDoneBytes = 0;
    m_nLastProgress = 0;
    m_nLastProgressTime = 0;
}

CUpdater::ResultCode CUpdater::MapHotfixes()
{
    QMap<quint32, CUpdate*> bySerial;
    for (CUpdate* update : qAsConst(m_lstPendingUpdates)) {
        if (bySerial.contains(update->HotfixSN()))
            return ResultHotfixNotMapped;
        bySerial.insert(update->HotfixSN(), update);
        LogMessage(kProgramComponent, 3, "Before mapping pUpdate = %s SN = %d",
                   LocalizedText(update->UpdateName(), QString()).toUtf8().constData(), int(update->HotfixSN()));
    }
    m_lstPendingUpdates.clear();
    for (CUpdate* update : qAsConst(bySerial)) {
        m_lstPendingUpdates.append(update);
        LogMessage(kProgramComponent, 3, "After mapping pUpdate = %s SN = %d",
                   LocalizedText(update->UpdateName(), QString()).toUtf8().constData(), int(update->HotfixSN()));
    }
    return ResultOk;
}

void CUpdater::RemoveStaleUpdates()
{
    RemoveUpdates(m_pConfig, [this](const CUpdate* update) {
        if (update->Status() == Installed)
            return false;
        if (!m_bUpdateDuringInstallation)
            LogMessage(kProgramComponent, 0,
                       "Update has insufficient status %d. Update record %s has been deleted from updater config.",
                       update->Status(), update->Uuid().toUtf8().constData());
        return true;
    });
    m_bConfigUuidsKnown = false;
}

QString CUpdater::StatusName(int status)
{
    switch (status) {
    case ReadyToDownload:
        return QObject::tr("Ready To Download");
    case Installed:
        return QObject::tr("Installed");
    case Downloaded:
        return QObject::tr("Downloaded");
    case CanceledInstall:
        return QObject::tr("Canceled Install");
    case CanceledDownload:
        return QObject::tr("Canceled Download");
    default:
        return QObject::tr("Unknown");
    }
}

QString CUpdater::LocalizedText(const QStringList& list, const QString& locale)
{
    if (list.isEmpty())
        return QString();
    if (list.size() == 1)
        return list.first();
    QString name = locale.isEmpty() ? QLocale().name() : locale;
    if (name.isEmpty())
        name = QStringLiteral("en_US");
    const QString prefix = name + QLatin1Char('#');
    for (const QString& entry : list) {
        if (entry.startsWith(prefix))
            return entry.mid(prefix.size());
    }
    return name == QLatin1String("en_US") ? QString() : LocalizedText(list, QStringLiteral("en_US"));
}
