#include "platform/posix/backend.h"
#include <unistd.h>
#include "xmlmodel/node.h"
#ifdef __linux__
int f() { return errno; }
#endif
