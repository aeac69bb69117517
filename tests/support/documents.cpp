#include "documents.h"

#include <QMap>

namespace KvrTest {

namespace {

QByteArray Escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QByteArray Element(const char* name, const QString& value)
{
    return QByteArray("<") + name + ">" + Escaped(value) + "</" + name + ">";
}

QByteArray UpdateXml(const UpdateSpec& entry)
{
    QByteArray xml = "<Update>";
    xml += Element("Uuid", entry.uuid);
    xml += Element("UpdateType", QString::number(entry.type));
    const QStringList names = entry.names.isEmpty() ? QStringList{"en_US#" + entry.uuid} : entry.names;
    for (const QString& name : names)
        xml += Element("UpdateName", name);
    for (const QString& text : entry.descriptions)
        xml += Element("UpdateDescription", text);
    xml += Element("FilePath",
                   entry.filePath.isEmpty() ? QStringLiteral("http://127.0.0.1:9/files/%1.upd").arg(entry.uuid)
                                           : entry.filePath);
    xml += Element("FileSize", QString::number(entry.fileSizeKb));
    xml += Element("Status", QString::number(entry.status));
    xml += Element("DateTime", QStringLiteral("2026-11-20 10:00:00"));
    xml += Element("Chargeable", "0");
    xml += Element("LocaleName", "en_US");
    xml += Element("DistributorName", "Corvantis");
    xml += Element("OsType", entry.osType);
    xml += "<Ancestry>";
    for (const QString& ancestor : entry.ancestors)
        xml += Element("Ancestor", ancestor);
    xml += "</Ancestry>";
    xml += Element("HotfixSN", QString::number(entry.hotfix));
    return xml + "</Update>\n";
}

QByteArray VersionXml(const QString& version, const QByteArray& updates)
{
    const QStringList parts = version.split('.');
    QByteArray xml = "<Version>";
    const char* names[] = {"Major", "Minor", "SubMinor", "SubSubMinor"};
    for (int i = 0; i < 4; ++i)
        xml += Element(names[i], parts.value(i, "0"));
    xml += Element("StringRepresentation", version);
    return xml + updates + "</Version>\n";
}

} // namespace

QByteArray UpdatesXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& extraProducts)
{
    QStringList productOrder;
    QMap<QString, QStringList> versionOrder;
    QMap<QString, QByteArray> updatesOf; // product + '\n' + version -> updates
    for (const UpdateSpec& entry : updates) {
        if (!productOrder.contains(entry.product))
            productOrder << entry.product;
        if (!versionOrder[entry.product].contains(entry.version))
            versionOrder[entry.product] << entry.version;
        updatesOf[entry.product + '\n' + entry.version] += UpdateXml(entry);
    }
    QMap<QString, bool> enabled;
    for (const ProductSpec& product : extraProducts) {
        if (!productOrder.contains(product.name))
            productOrder << product.name;
        enabled[product.name] = product.updateEnabled;
    }
    QByteArray xml = "<CorvantisUpdates>\n";
    for (const QString& product : productOrder) {
        xml += "<Product>" + Element("ProductName", product)
               + Element("UpdateEnabled", enabled.value(product, true) ? "1" : "0") + "\n";
        for (const QString& version : versionOrder.value(product))
            xml += VersionXml(version, updatesOf.value(product + '\n' + version));
        xml += "</Product>\n";
    }
    return xml + "</CorvantisUpdates>\n";
}

QByteArray DescriptionXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& extraProducts)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + UpdatesXml(updates, extraProducts);
}

QByteArray ConfigXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& products,
                     const QByteArray& extraElements)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdaterConfig>\n"
                     "<AutomaticUpdate><UpdateEnabled>1</UpdateEnabled><UpdatePeriod>7</UpdatePeriod>"
                     "<NotifyUser>1</NotifyUser><DownloadEnabled>0</DownloadEnabled>"
                     "<InstallEnabled>0</InstallEnabled></AutomaticUpdate>\n"
                     "<UpdateUrl>https://update.corvantis.example/quorra/v5/corvantis_updates.xml</UpdateUrl>\n"
                     "<RemindPeriod>3</RemindPeriod>\n"
                     "<BuyLink>https://www.corvantis.example/buy-lum5-en_US/</BuyLink>\n"
                     "<DownloadPath>/var/lib/Corvantis</DownloadPath>\n";
    xml += extraElements;
    return xml + UpdatesXml(updates, products) + "</CorvantisUpdaterConfig>\n";
}

} // namespace KvrTest
