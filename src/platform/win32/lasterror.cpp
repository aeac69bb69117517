#include "platform/lasterror.h"

#include <windows.h>

namespace Platform {

int LastError()
{
    return static_cast<int>(::GetLastError());
}

void SetLastError(int error)
{
    ::SetLastError(static_cast<DWORD>(error));
}

} // namespace Platform
