// One update of a product version: its texts, file, checksum, type, status and ancestry.
#pragma once

#include "platform/hostutils.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/recordnode.h"

class CUpdate : public CRecord<CUpdate>
{
public:
    static constexpr const char* ClassName = "CUpdate";
    static constexpr const char* ElementName = "Update";
    // The current local date and time, to the second.
    static QDateTime CurrentDateTime();

    Scalar<QString, &HostUtils::NewUuidText> Uuid{this, "Uuid", Optional, "uuid"};
    Scalar<qint32> UpdateType{this, "UpdateType", Optional};
    StringList UpdateName{this, "UpdateName", Required};
    StringList UpdateDescription{this, "UpdateDescription", Required};
    StringList UpdatePromoUrl{this, "UpdatePromoUrl", Optional};
    Scalar<QString> FilePath{this, "FilePath", Required};
    Scalar<quint32> FileSize{this, "FileSize", Required};
    Scalar<QString> CheckSum{this, "CheckSum", Optional};
    Scalar<qint32> Status{this, "Status", Required};
    Scalar<QDateTime, &CUpdate::CurrentDateTime> DateTime{this, "DateTime", Required};
    Scalar<bool> Chargeable{this, "Chargeable", Required, false};
    Scalar<QString> LocaleName{this, "LocaleName", Required};
    Scalar<QString> DistributorName{this, "DistributorName", Required};
    Scalar<QString> OsType{this, "OsType", Required};
    FixedList<::Ancestry> Ancestry{this, "Ancestry", Optional, 1};
    Scalar<quint32> HotfixSN{this, "HotfixSN", Optional};
};
