#include "platform/authhelper.h"

#include <windows.h>

bool CAuthHelper::LookupAliasFromRid(const QString& systemName, const quint8 authority[6], quint32 rid1, quint32 rid2,
                                     QString& name)
{
    if (authority == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SID_IDENTIFIER_AUTHORITY identifierAuthority{};
    for (int i = 0; i < 6; ++i)
        identifierAuthority.Value[i] = authority[i];
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&identifierAuthority, 2, rid1, rid2, 0, 0, 0, 0, 0, 0, &sid))
        return false;
    wchar_t account[256] = L"";
    wchar_t domain[15] = L"";
    DWORD accountSize = 256;
    DWORD domainSize = 15;
    SID_NAME_USE use = SidTypeUnknown;
    const std::wstring system = systemName.toStdWString();
    const BOOL found = LookupAccountSidW(systemName.isEmpty() ? nullptr : system.c_str(), sid, account, &accountSize,
                                         domain, &domainSize, &use);
    const DWORD error = ::GetLastError();
    FreeSid(sid);
    if (!found) {
        ::SetLastError(error);
        return false;
    }
    name = QStringLiteral("%1\\%2").arg(QString::fromWCharArray(domain), QString::fromWCharArray(account));
    return true;
}
