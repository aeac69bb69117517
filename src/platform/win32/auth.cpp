#include "platform/auth.h"

#include "platform/hostutils.h"
#include "platform/log.h"

#include <QDir>

#include <vector>
#include <windows.h>
#include <aclapi.h>

namespace {

// Entry flags of the granted entry: object inherit, container inherit, inherited.
const BYTE kGrantedEntryFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERITED_ACE;

// The security identifier an access entry is about; null for entry types that carry none.
PSID SidOfEntry(const ACE_HEADER* header)
{
    switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_DENIED_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
    case SYSTEM_ALARM_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case SYSTEM_MANDATORY_LABEL_ACE_TYPE:
        return const_cast<DWORD*>(&reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->SidStart);
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: {
        // The two optional object GUIDs come before the identifier when their flags say so.
        const auto* entry = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header);
        const BYTE* sid = reinterpret_cast<const BYTE*>(&entry->ObjectType);
        if (entry->Flags & ACE_OBJECT_TYPE_PRESENT)
            sid += sizeof(GUID);
        if (entry->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT)
            sid += sizeof(GUID);
        return reinterpret_cast<PSID>(const_cast<BYTE*>(sid));
    }
    default:
        return nullptr;
    }
}

// The account's security identifier, looked up on this computer.
bool LookUpAccount(const QString& accountName, std::vector<BYTE>& sid)
{
    const std::wstring name = accountName.toStdWString();
    DWORD sidSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use = SidTypeUnknown;
    LookupAccountNameW(nullptr, name.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0)
        return false;
    sid.assign(sidSize, 0);
    std::vector<wchar_t> domain(domainSize + 1);
    return LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use) != 0;
}

// A copy of list without the entries of sid, with one entry allowing mask to sid added at the end,
// where entries marked inherited belong.
bool ReplaceEntries(const ACL* list, PSID sid, DWORD mask, std::vector<BYTE>& result)
{
    ACL_SIZE_INFORMATION sizes{};
    if (!GetAclInformation(const_cast<ACL*>(list), &sizes, sizeof sizes, AclSizeInformation))
        return false;
    const DWORD size = sizes.AclBytesInUse + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    result.assign(size, 0);
    ACL* fresh = reinterpret_cast<ACL*>(result.data());
    if (!InitializeAcl(fresh, size, ACL_REVISION_DS))
        return false;
    for (DWORD i = 0; i < sizes.AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(list), i, &entry))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        const PSID owner = SidOfEntry(header);
        if (owner != nullptr && EqualSid(owner, sid))
            continue;
        if (!AddAce(fresh, ACL_REVISION_DS, MAXDWORD, entry, header->AceSize))
            return false;
    }
    return AddAccessAllowedAceEx(fresh, ACL_REVISION_DS, kGrantedEntryFlags, mask, sid) != 0;
}

} // namespace

bool CAuth::AddAccessRights(const QString& path, const QString& accountName, quint32 accessMask)
{
    // FAT-family volumes keep no access lists: nothing to do.
    if (HostUtils::IsFatFamily(path.left(3)))
        return true;

    std::vector<BYTE> sid;
    if (!LookUpAccount(accountName, sid)) {
        LogMessage("CAuth", 0, "error: get account \"%s\" (%d)", accountName.toUtf8().constData(),
                   static_cast<int>(::GetLastError()));
        return false;
    }

    std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                             nullptr, &list, nullptr, &descriptor);
    if (read != ERROR_SUCCESS || list == nullptr) {
        ::SetLastError(read != ERROR_SUCCESS ? read : ERROR_INVALID_ACL);
        if (descriptor != nullptr)
            LocalFree(descriptor);
        LogMessage("CAuth", 0, "error: get Dacl for \"%s\"  (%d)", path.toUtf8().constData(),
                   static_cast<int>(::GetLastError()));
        return false;
    }
    std::vector<BYTE> fresh;
    const bool replaced = ReplaceEntries(list, sid.data(), accessMask, fresh);
    const DWORD error = ::GetLastError();
    LocalFree(descriptor);
    if (!replaced) {
        ::SetLastError(error);
        LogMessage("CAuth", 0, "error: add allowed ace for \"%s\" (account=\"%s\") (%d)", path.toUtf8().constData(),
                   accountName.toUtf8().constData(), static_cast<int>(error));
        return false;
    }

    // Protected: entries inherited from the parent folder no longer apply.
    const DWORD written = SetNamedSecurityInfoW(&native[0], SE_FILE_OBJECT,
                                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                                nullptr, nullptr, reinterpret_cast<ACL*>(fresh.data()), nullptr);
    ::SetLastError(written);
    if (written != ERROR_SUCCESS) {
        LogMessage("CAuth", 0, "error: set Dacl for \"%s\" (%d)", path.toUtf8().constData(),
                   static_cast<int>(written));
        return false;
    }
    return true;
}
