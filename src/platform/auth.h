// Access rights on files and folders.
#pragma once

#include <QString>
#include <QtGlobal>

class CAuth
{
public:
    enum : quint32 { GENERIC_ALL_ACCESS = 0x10000000 };

    // Gives accountName ("DOMAIN\\name") one allow entry with accessMask on path, replacing the
    // entries it had; the written list no longer inherits from the parent folder. True on
    // success, and on volumes without access lists.
    static bool AddAccessRights(const QString& path, const QString& accountName, quint32 accessMask);
};
