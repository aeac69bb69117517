#include "platform/console.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <windows.h>
#include <shellapi.h>

namespace Console {

namespace {

// The console input mode to put back, also from the console's control handler while the prompt waits.
std::atomic<HANDLE> g_input{nullptr};
std::atomic<DWORD> g_savedMode{0};

BOOL WINAPI RestoreEcho(DWORD /*event*/)
{
    const HANDLE input = g_input.load();
    if (input != nullptr)
        SetConsoleMode(input, g_savedMode.load());
    return FALSE; // the default handling (ending the process) goes on
}

} // namespace

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

bool KeepRunningWhenReaderCloses()
{
    // A write to a pipe without reader fails with an error on Windows; no signal ends the process.
    return true;
}

QString PasswordPrompt()
{
    std::fputs("Password:", stdout);
    std::fflush(stdout);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
        return QString();

    g_savedMode.store(mode);
    g_input.store(input);
    SetConsoleCtrlHandler(RestoreEcho, TRUE);
    SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT));
    QByteArray line;
    for (;;) {
        char byte = 0;
        DWORD got = 0;
        if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0 || byte == '\n')
            break;
        line += byte;
    }
    SetConsoleMode(input, mode);
    SetConsoleCtrlHandler(RestoreEcho, FALSE);
    g_input.store(nullptr);
    return EndPasswordLine(line);
}

} // namespace Console
