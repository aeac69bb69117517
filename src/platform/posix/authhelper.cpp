#include "platform/authhelper.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <unistd.h>
#include <vector>

namespace {

const char kBuiltinDomain[] = "BUILTIN";
const int kNameCapacity = 256; // characters, with the terminating zero

// True when systemName names this computer: empty, "." or "localhost", or its host name.
bool IsThisComputer(const QString& systemName)
{
    QString name = systemName;
    if (name.startsWith(QLatin1String("\\\\")))
        name = name.mid(2);
    if (name.isEmpty() || name == QLatin1String(".") || name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0)
        return false;
    return name.compare(QString::fromLocal8Bit(host), Qt::CaseInsensitive) == 0;
}

} // namespace

bool CAuthHelper::LookupAliasFromRid(const QString& systemName, const quint8 authority[6], quint32 rid1, quint32 rid2,
                                     QString& name)
{
    if (!IsThisComputer(systemName)) {
        errno = EHOSTUNREACH;
        return false;
    }
    // The built-in administrators alias is the group with gid 0; no other identifier has a counterpart.
    if (authority == nullptr || !std::equal(kNtAuthority, kNtAuthority + 6, authority) || rid1 != kBuiltinDomainRid
        || rid2 != kAdministratorsRid) {
        errno = ENOENT;
        return false;
    }
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    int error = 0;
    while ((error = getgrgid_r(0, &entry, buffer.data(), buffer.size(), &found)) == ERANGE && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || found == nullptr) {
        errno = error != 0 ? error : ENOENT;
        return false;
    }
    const QString account = QString::fromLocal8Bit(found->gr_name);
    if (account.isEmpty() || account.size() >= kNameCapacity) {
        errno = ERANGE;
        return false;
    }
    name = QStringLiteral("%1\\%2").arg(QLatin1String(kBuiltinDomain), account);
    return true;
}
