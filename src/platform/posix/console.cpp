#include "platform/console.h"

#include <QString>

#include <csignal>

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

bool KeepRunningWhenReaderCloses()
{
    // Ignored, SIGPIPE leaves the failing write with EPIPE (and would be inherited by a program this
    // process executed; it executes none).
    return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
}

} // namespace Console
