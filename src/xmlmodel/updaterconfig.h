// The updater configuration file: automatic-update settings, the description URL, the reminder
// period, the purchase link, the download folder and the known updates.
#pragma once

#include "xmlmodel/automaticupdate.h"
#include "xmlmodel/recordnode.h"
#include "xmlmodel/updates.h"

class CUpdaterConfig : public CRecord<CUpdaterConfig>
{
public:
    static constexpr const char* ClassName = "CUpdaterConfig";
    static constexpr const char* ElementName = "CorvantisUpdaterConfig";
    // Defaults of a configuration that was never loaded.
    static QString DefaultUpdateUrl();
    static QString DefaultBuyLink();
    static QString DefaultDownloadPath();

    FixedList<CAutomaticUpdate> AutomaticUpdate{this, "AutomaticUpdate", Optional, 1};
    Scalar<QString, &CUpdaterConfig::DefaultUpdateUrl> UpdateUrl{this, "UpdateUrl", Required};
    Scalar<quint32> RemindPeriod{this, "RemindPeriod", Required};
    Scalar<QString, &CUpdaterConfig::DefaultBuyLink> BuyLink{this, "BuyLink", Required};
    Scalar<QString, &CUpdaterConfig::DefaultDownloadPath> DownloadPath{this, "DownloadPath", Required};
    FixedList<CUpdates> CorvantisUpdates{this, "CorvantisUpdates", Optional, 1};

    // The first (only) child of each embedded part, or nullptr when there is none.
    CAutomaticUpdate* getAutomaticUpdate() const { return AutomaticUpdate.isEmpty() ? nullptr : AutomaticUpdate.first(); }
    CUpdates* getUpdates() const { return CorvantisUpdates.isEmpty() ? nullptr : CorvantisUpdates.first(); }
};
