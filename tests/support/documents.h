// Builds updates descriptions and updater configurations for tests.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace KvrTest {

const char kCurrentLum[] = "lum.5.6.0-36436.en_US.corvantis.win";

// The Corvantis Lumen updates, each given as "uuid[:hotfix[:type[:status[:sizeKb]]]]", all of
// version 5.6.0.0 and descending from the current Lumen version.
QByteArray DescriptionXml(const QStringList& updates);
// A configuration holding the same records, with Lumen's UpdateEnabled as given and extraElements
// as further children of the root.
QByteArray ConfigXml(const QStringList& updates, bool updateEnabled = true,
                     const QByteArray& extraElements = QByteArray());

} // namespace KvrTest
