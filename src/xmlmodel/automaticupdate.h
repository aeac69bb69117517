// The automatic-update settings of the updater configuration.
#pragma once

#include "xmlmodel/recordnode.h"

class CAutomaticUpdate : public CRecord<CAutomaticUpdate>
{
public:
    static constexpr const char* ClassName = "CAutomaticUpdate";
    static constexpr const char* ElementName = "AutomaticUpdate";

    Scalar<bool> UpdateEnabled{this, "UpdateEnabled", Required, false};
    Scalar<qint32> UpdatePeriod{this, "UpdatePeriod", Required, 1};
    Scalar<bool> NotifyUser{this, "NotifyUser", Required, true};
    Scalar<bool> DownloadEnabled{this, "DownloadEnabled", Required, false};
    Scalar<bool> InstallEnabled{this, "InstallEnabled", Required, false};
};
