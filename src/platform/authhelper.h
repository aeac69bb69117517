// Names of built-in accounts.
#pragma once

#include <QString>
#include <QtGlobal>

class CAuthHelper
{
public:
    // Name ("DOMAIN\\account") of the well-known account with the given identifier authority
    // and two relative identifiers, looked up on systemName (empty: this computer).
    static bool LookupAliasFromRid(const QString& systemName, const quint8 authority[6], quint32 rid1, quint32 rid2,
                                   QString& name);
};
