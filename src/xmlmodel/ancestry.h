// The ancestry of an update: the identifiers of the versions that the update applies to.
#pragma once

#include "xmlmodel/recordnode.h"

class Ancestry : public CRecord<Ancestry>
{
public:
    static constexpr const char* ClassName = "Ancestry";
    static constexpr const char* ElementName = "Ancestry";

    StringList Ancestor{this, "Ancestor", Optional};
};
