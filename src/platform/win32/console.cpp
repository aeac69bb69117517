#include "platform/console.h"

#include <QString>

#include <cstdlib>
#include <windows.h>
#include <shellapi.h>

namespace Console {

bool CommandLineWords(int argc, char** argv, QStringList& words)
{
    words.clear();
    if (argv == nullptr)
        return false;
    // A vector other than the process's own (a test building a command line) is taken as given,
    // in UTF-8; the process's own words come from the command line as Windows splits it.
    if (argv != __argv) {
        for (int i = 0; i < argc; ++i)
            words << QString::fromUtf8(argv[i]);
        return true;
    }
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (list == nullptr)
        return false;
    for (int i = 0; i < count; ++i)
        words << QString::fromWCharArray(list[i]);
    LocalFree(list);
    return true;
}

} // namespace Console
