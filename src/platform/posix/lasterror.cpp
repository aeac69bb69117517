#include "platform/lasterror.h"

#include <cerrno>

namespace Platform {

int LastError()
{
    return errno;
}

void SetLastError(int error)
{
    errno = error;
}

} // namespace Platform
