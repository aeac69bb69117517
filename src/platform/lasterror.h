// The calling thread's last system error. A platform function that fails says so by its return
// value and leaves the reason here (errno on POSIX, GetLastError on Windows).
#pragma once

namespace Platform {

int LastError();
void SetLastError(int error);

} // namespace Platform
