#include <windows.h>
#include "platform/posix/backend.h"
