// One product of an updates description and its versions.
#pragma once

#include "xmlmodel/recordnode.h"
#include "xmlmodel/updproductversion.h"

class CUpdProduct : public CRecord<CUpdProduct>
{
public:
    static constexpr const char* ClassName = "CUpdProduct";
    static constexpr const char* ElementName = "Product";

    Scalar<QString> ProductName{this, "ProductName", Required};
    Scalar<bool> UpdateEnabled{this, "UpdateEnabled", Required, true};
    DynList<CUpdProductVersion> Version{this, "Version", Optional};
};
