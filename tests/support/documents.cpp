#include "documents.h"

#include "kvrtest.h"

#include <QJsonObject>
#include <QTest>

namespace KvrTest {

namespace {

QByteArray UpdatesXml(const QStringList& updates, bool updateEnabled, const QString& fileUrl)
{
    QByteArray xml = "<CorvantisUpdates><Product><ProductName>Corvantis Lumen</ProductName><UpdateEnabled>"
                     + QByteArray(updateEnabled ? "1" : "0")
                     + "</UpdateEnabled><Version><Major>5</Major><Minor>6</Minor><SubMinor>0</SubMinor>"
                       "<SubSubMinor>0</SubSubMinor><StringRepresentation>5.6.0-36436</StringRepresentation>\n";
    for (const QString& update : updates) {
        const QStringList parts = update.split(':');
        const QByteArray uuid = parts.at(0).toUtf8();
        xml += "<Update><Uuid>" + uuid + "</Uuid><UpdateType>" + parts.value(2, "0").toUtf8()
               + "</UpdateType><UpdateName>en_US#" + uuid + "</UpdateName><UpdateDescription>en_US#Text"
               "</UpdateDescription><FilePath>" + fileUrl.toUtf8() + uuid + ".upd</FilePath><FileSize>"
               + parts.value(4, "1").toUtf8() + "</FileSize>"
               + (parts.size() > 5 ? "<CheckSum>" + parts.at(5).toUtf8() + "</CheckSum>" : QByteArray()) + "<Status>" + parts.value(3, "0").toUtf8()
               + "</Status><DateTime>2026-11-20 10:00:00</DateTime><Chargeable>0</Chargeable><LocaleName>en_US"
                 "</LocaleName><DistributorName>Corvantis</DistributorName><OsType>win</OsType><Ancestry><Ancestor>"
               + kCurrentLum + "</Ancestor></Ancestry><HotfixSN>" + parts.value(1, "0").toUtf8()
               + "</HotfixSN></Update>\n";
    }
    return xml + "</Version></Product></CorvantisUpdates>\n";
}

} // namespace

QByteArray DescriptionXml(const QStringList& updates, const QString& fileUrl)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + UpdatesXml(updates, true, fileUrl);
}

QByteArray ConfigXml(const QStringList& updates, bool updateEnabled, const QByteArray& extraElements,
                     const QString& fileUrl)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdaterConfig>\n<AutomaticUpdate><UpdateEnabled>1"
           "</UpdateEnabled><UpdatePeriod>7</UpdatePeriod><NotifyUser>1</NotifyUser><DownloadEnabled>0"
           "</DownloadEnabled><InstallEnabled>0</InstallEnabled></AutomaticUpdate>\n<UpdateUrl>"
           "https://update.corvantis.example/quorra/v5/corvantis_updates.xml</UpdateUrl>\n<RemindPeriod>3"
           "</RemindPeriod>\n<BuyLink>https://www.corvantis.example/buy-lum5-en_US/</BuyLink>\n<DownloadPath>"
           "/var/lib/Corvantis</DownloadPath>\n"
           + extraElements + UpdatesXml(updates, updateEnabled, fileUrl) + "</CorvantisUpdaterConfig>\n";
}

} // namespace KvrTest
