#include "platform/console.h"

#include <cstdio>

namespace Console {

QString EndPasswordLine(QByteArray line)
{
    std::fputc('\n', stdout); // the Enter that the silent read did not echo
    std::fflush(stdout);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLatin1(line);
}

} // namespace Console
