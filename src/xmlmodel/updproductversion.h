// One version of a product, identified by its four numbers, with the updates that exist for it.
#pragma once

#include "xmlmodel/recordnode.h"
#include "xmlmodel/update.h"

class CUpdProductVersion : public CRecord<CUpdProductVersion>
{
public:
    static constexpr const char* ClassName = "CUpdProductVersion";
    static constexpr const char* ElementName = "Version";

    Scalar<quint32> Major{this, "Major", Required};
    Scalar<quint32> Minor{this, "Minor", Required};
    Scalar<quint32> SubMinor{this, "SubMinor", Required};
    Scalar<quint32> SubSubMinor{this, "SubSubMinor", Required};
    Scalar<QString> StringRepresentation{this, "StringRepresentation", Required};
    DynList<CUpdate> Update{this, "Update", Optional};
};
