#include "platform/auth.h"

#include "platform/hostutils.h"
#include "platform/log.h"

#include <QFile>

#include <acl/libacl.h>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <vector>

namespace {

// Generic and file access bits, and the permissions each one stands for here.
const quint32 kGenericAll = CAuth::GENERIC_ALL_ACCESS;
const quint32 kGenericExecute = 0x20000000;
const quint32 kGenericWrite = 0x40000000;
const quint32 kGenericRead = 0x80000000;
const quint32 kFileReadData = 0x0001;
const quint32 kFileWriteData = 0x0002;
const quint32 kFileAppendData = 0x0004;
const quint32 kFileExecute = 0x0020;

struct Account {
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    id_t id = 0;
};

// An account "DOMAIN\\name" is the group, else the user, called "name".
bool ResolveAccount(const QString& accountName, Account& account)
{
    const QByteArray name = accountName.mid(accountName.lastIndexOf(QLatin1Char('\\')) + 1).toLocal8Bit();
    if (name.isEmpty()) {
        errno = EINVAL;
        return false;
    }
    std::vector<char> buffer(4096);
    int error = 0;
    group groupEntry{};
    group* groupFound = nullptr;
    while ((error = getgrnam_r(name.constData(), &groupEntry, buffer.data(), buffer.size(), &groupFound)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error == 0 && groupFound != nullptr) {
        account = {ACL_GROUP, groupFound->gr_gid};
        return true;
    }
    passwd userEntry{};
    passwd* userFound = nullptr;
    while ((error = getpwnam_r(name.constData(), &userEntry, buffer.data(), buffer.size(), &userFound)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error == 0 && userFound != nullptr) {
        account = {ACL_USER, userFound->pw_uid};
        return true;
    }
    errno = error != 0 ? error : ENOENT;
    return false;
}

bool IsAccountEntry(acl_entry_t entry, const Account& account)
{
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    if (acl_get_tag_type(entry, &tag) != 0 || tag != account.tag)
        return false;
    void* qualifier = acl_get_qualifier(entry);
    if (qualifier == nullptr)
        return false;
    const bool same = *static_cast<id_t*>(qualifier) == account.id;
    acl_free(qualifier);
    return same;
}

// Removes every entry of the account, then adds one that allows accessMask; recomputes the mask.
bool ReplaceEntries(acl_t* acl, const Account& account, quint32 accessMask)
{
    bool removed = true;
    while (removed) {
        removed = false;
        acl_entry_t entry = nullptr;
        for (int which = ACL_FIRST_ENTRY; acl_get_entry(*acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
            if (IsAccountEntry(entry, account)) {
                if (acl_delete_entry(*acl, entry) != 0)
                    return false;
                removed = true;
                break; // the walk starts again after a deletion
            }
        }
    }

    const bool all = (accessMask & kGenericAll) != 0;
    const bool read = all || (accessMask & (kGenericRead | kFileReadData)) != 0;
    const bool write = all || (accessMask & (kGenericWrite | kFileWriteData | kFileAppendData)) != 0;
    const bool execute = all || (accessMask & (kGenericExecute | kFileExecute)) != 0;

    acl_entry_t entry = nullptr;
    acl_permset_t permissions = nullptr;
    if (acl_create_entry(acl, &entry) != 0 || acl_set_tag_type(entry, account.tag) != 0
        || acl_set_qualifier(entry, &account.id) != 0 || acl_get_permset(entry, &permissions) != 0
        || acl_clear_perms(permissions) != 0)
        return false;
    if ((read && acl_add_perm(permissions, ACL_READ) != 0) || (write && acl_add_perm(permissions, ACL_WRITE) != 0)
        || (execute && acl_add_perm(permissions, ACL_EXECUTE) != 0))
        return false;
    return acl_set_permset(entry, permissions) == 0 && acl_calc_mask(acl) == 0;
}

// Owns an acl_t for the length of a scope.
class AclHolder
{
public:
    explicit AclHolder(acl_t acl = nullptr) : m_acl(acl) {}
    ~AclHolder()
    {
        if (m_acl != nullptr)
            acl_free(m_acl);
    }
    AclHolder(const AclHolder&) = delete;
    AclHolder& operator=(const AclHolder&) = delete;
    acl_t* operator&() { return &m_acl; }
    acl_t get() const { return m_acl; }
    void reset(acl_t acl)
    {
        if (m_acl != nullptr)
            acl_free(m_acl);
        m_acl = acl;
    }

private:
    acl_t m_acl;
};

bool IsUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

bool CAuth::AddAccessRights(const QString& path, const QString& accountName, quint32 accessMask)
{
    // FAT-family volumes keep no access lists: nothing to do.
    if (HostUtils::IsFatFamily(path))
        return true;

    Account account;
    if (!ResolveAccount(accountName, account)) {
        LogMessage("CAuth", 0, "error: get account \"%s\" (%d)", accountName.toUtf8().constData(), errno);
        return false;
    }

    const QByteArray native = QFile::encodeName(path);
    AclHolder original(native.isEmpty() ? nullptr : acl_get_file(native.constData(), ACL_TYPE_ACCESS));
    if (original.get() == nullptr) {
        const int error = native.isEmpty() ? ENOENT : errno;
        if (IsUnsupported(error))
            return true;
        LogMessage("CAuth", 0, "error: get Dacl for \"%s\"  (%d)", path.toUtf8().constData(), error);
        return false;
    }
    AclHolder access(acl_dup(original.get()));
    if (access.get() == nullptr || !ReplaceEntries(&access, account, accessMask)) {
        LogMessage("CAuth", 0, "error: add allowed ace for \"%s\" (account=\"%s\") (%d)", path.toUtf8().constData(),
                   accountName.toUtf8().constData(), errno);
        return false;
    }

    // A folder passes the entry on to the files and folders created in it (its default list).
    struct stat object {};
    const bool folder = stat(native.constData(), &object) == 0 && S_ISDIR(object.st_mode);
    AclHolder inherited;
    if (folder) {
        AclHolder current(acl_get_file(native.constData(), ACL_TYPE_DEFAULT));
        acl_entry_t first = nullptr;
        const bool hasDefault = current.get() != nullptr && acl_get_entry(current.get(), ACL_FIRST_ENTRY, &first) == 1;
        // Without a default list yet, the new one starts from the folder's own list.
        inherited.reset(acl_dup(hasDefault ? current.get() : access.get()));
        if (inherited.get() == nullptr || (hasDefault && !ReplaceEntries(&inherited, account, accessMask))) {
            LogMessage("CAuth", 0, "error: add allowed ace for \"%s\" (account=\"%s\") (%d)",
                       path.toUtf8().constData(), accountName.toUtf8().constData(), errno);
            return false;
        }
    }

    if (acl_set_file(native.constData(), ACL_TYPE_ACCESS, access.get()) != 0) {
        const int error = errno;
        if (IsUnsupported(error))
            return true;
        LogMessage("CAuth", 0, "error: set Dacl for \"%s\" (%d)", path.toUtf8().constData(), error);
        return false;
    }
    if (folder && acl_set_file(native.constData(), ACL_TYPE_DEFAULT, inherited.get()) != 0) {
        const int error = errno;
        // Leave the folder as it was: its own list goes back to the original.
        acl_set_file(native.constData(), ACL_TYPE_ACCESS, original.get());
        if (IsUnsupported(error))
            return true;
        LogMessage("CAuth", 0, "error: set Dacl for \"%s\" (%d)", path.toUtf8().constData(), error);
        return false;
    }
    return true;
}
