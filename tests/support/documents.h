// Builds updates descriptions and updater configurations for tests, and test rows from tables.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace KvrTest {

const char kCurrentLum[] = "lum.5.6.0-36436.en_US.corvantis.win";

const char kNowhere[] = "http://127.0.0.1:9/files/"; // nothing listens there

// The Corvantis Lumen updates, each given as "uuid[:hotfix[:type[:status[:sizeKb[:checksum]]]]]", all
// of version 5.6.0.0 and descending from the current Lumen version; each file is fileUrl + uuid + ".upd".
QByteArray DescriptionXml(const QStringList& updates, const QString& fileUrl = kNowhere);
// A configuration holding the same records, with Lumen's UpdateEnabled as given and extraElements
// as further children of the root.
QByteArray ConfigXml(const QStringList& updates, bool updateEnabled = true,
                     const QByteArray& extraElements = QByteArray(), const QString& fileUrl = kNowhere);

} // namespace KvrTest
