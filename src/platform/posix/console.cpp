#include "platform/console.h"

#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <termios.h>
#include <unistd.h>

namespace Console {

namespace {

// The terminal mode to put back, also from a signal handler while the prompt waits.
struct termios g_savedMode;
volatile sig_atomic_t g_modeSaved = 0;
const int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreEchoAndRaise(int signalNumber)
{
    if (g_modeSaved)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedMode);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

} // namespace

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

QString PasswordPrompt()
{
    std::fputs("Password:", stdout);
    std::fflush(stdout);
    struct termios mode;
    if (tcgetattr(STDIN_FILENO, &mode) != 0)
        return QString();

    struct sigaction handler = {};
    handler.sa_handler = RestoreEchoAndRaise;
    sigemptyset(&handler.sa_mask);
    struct sigaction previous[sizeof kPromptSignals / sizeof kPromptSignals[0]];
    g_savedMode = mode;
    g_modeSaved = 1;
    for (size_t i = 0; i < sizeof kPromptSignals / sizeof kPromptSignals[0]; ++i)
        sigaction(kPromptSignals[i], &handler, &previous[i]);

    struct termios silent = mode;
    silent.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    QByteArray line;
    for (;;) {
        char byte = 0;
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || byte == '\n')
            break;
        line += byte;
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &mode);
    g_modeSaved = 0;
    for (size_t i = 0; i < sizeof kPromptSignals / sizeof kPromptSignals[0]; ++i)
        sigaction(kPromptSignals[i], &previous[i], nullptr);
    return EndPasswordLine(line);
}

} // namespace Console
