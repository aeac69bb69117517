// An updates description: the products, their versions and the updates for each version.
#pragma once

#include "xmlmodel/recordnode.h"
#include "xmlmodel/updproduct.h"

class CUpdates : public CRecord<CUpdates>
{
public:
    static constexpr const char* ClassName = "CUpdates";
    static constexpr const char* ElementName = "CorvantisUpdates";

    DynList<CUpdProduct> Product{this, "Product", Optional};
};
