// Linked into every Windows suite. QtTest on Windows sends its results to the debugger unless Qt is
// told to log to standard error, and wine does not pass QT_* variables on from the host; the results
// belong on standard output, where ctest reads them.
#include <QByteArray>

static const bool g_resultsOnStandardOutput = qputenv("QT_FORCE_STDERR_LOGGING", QByteArray("1"));
