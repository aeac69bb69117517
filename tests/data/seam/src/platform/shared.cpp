#include <QString>
#include <vector>
#include <cerrno>
#include <sys/stat.h>
#include "platform/posix/backend.h"
#if defined(Q_OS_WIN)
#endif
// errno in a comment, and in a text, is fine
const char* text = "errno %d";
int g() { return errno; }
