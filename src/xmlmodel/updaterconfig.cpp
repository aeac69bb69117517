#include "xmlmodel/updaterconfig.h"

#include "platform/hostutils.h"
#include "platform/locale.h"

#include <QLocale>

QString CUpdaterConfig::DefaultUpdateUrl()
{
    return QStringLiteral("https://update.corvantis.example/quorra/v5/corvantis_updates.xml");
}

QString CUpdaterConfig::DefaultBuyLink()
{
    return ReplaceLocaleMacro(QStringLiteral("https://www.corvantis.example/buy-lum5-@LOCALE@/"), QLocale());
}

QString CUpdaterConfig::DefaultDownloadPath()
{
    return HostUtils::ConfigFolder();
}
