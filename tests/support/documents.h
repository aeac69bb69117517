// Builds updates descriptions and updater configurations for tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace KvrTest {

const char kCurrentLum[] = "lum.5.6.0-36436.en_US.corvantis.win";

struct UpdateSpec {
    QString uuid;
    QStringList ancestors{QString::fromLatin1(kCurrentLum)};
    QString osType = QStringLiteral("win");
    quint32 hotfix = 0;
    int type = 0;
    int status = 0;
    quint32 fileSizeKb = 1;
    QString filePath;                  // default: a URL named after the uuid
    QStringList names;                 // default: "en_US#<uuid>"
    QStringList descriptions{QStringLiteral("en_US#Description")};
    QString product = QStringLiteral("Corvantis Lumen");
    QString version = QStringLiteral("5.6.0.0"); // Major.Minor.SubMinor.SubSubMinor
};

struct ProductSpec {
    QString name;
    bool updateEnabled = true;
};

// The <CorvantisUpdates> element holding the updates, grouped by product and version in order
// of first appearance; extraProducts adds products (with UpdateEnabled) that may have no update.
QByteArray UpdatesXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& extraProducts = {});
// A whole description document.
QByteArray DescriptionXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& extraProducts = {});
// A whole configuration document; extraElements is inserted as further children of the root.
QByteArray ConfigXml(const QList<UpdateSpec>& updates, const QList<ProductSpec>& products = {},
                     const QByteArray& extraElements = QByteArray());

} // namespace KvrTest

Q_DECLARE_METATYPE(KvrTest::UpdateSpec)
