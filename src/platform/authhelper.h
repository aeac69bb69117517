// Names of built-in accounts.
#pragma once

#include <QString>
#include <QtGlobal>

class CAuthHelper
{
public:
    // The NT identifier authority, and the built-in domain with its administrators alias: the
    // identifiers of the local Administrators group.
    static constexpr quint8 kNtAuthority[6] = {0, 0, 0, 0, 0, 5};
    static constexpr quint32 kBuiltinDomainRid = 32;
    static constexpr quint32 kAdministratorsRid = 544;

    // Name ("DOMAIN\\account") of the well-known account with the given identifier authority
    // and two relative identifiers, looked up on systemName (empty: this computer).
    static bool LookupAliasFromRid(const QString& systemName, const quint8 authority[6], quint32 rid1, quint32 rid2,
                                   QString& name);
};
