#include "platform/console.h"

#include <QString>

namespace Console {

bool CommandLineWords(int argc, char** argv, QStringList& words)
{
    words.clear();
    if (argv == nullptr)
        return false;
    for (int i = 0; i < argc; ++i)
        words << QString::fromUtf8(argv[i]);
    return true;
}

} // namespace Console
