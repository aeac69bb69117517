// The process's command line and console.
#pragma once

#include <QStringList>

namespace Console {
// All words of the process command line, word 0 being the program path; false when the
// command line cannot be split.
bool CommandLineWords(int argc, char** argv, QStringList& words);
// A write to a standard stream whose reader has gone (a closed pipe) fails with an error instead of
// ending the process.
bool KeepRunningWhenReaderCloses();

// Writes "Password:" to standard output and reads one line from the terminal with echo off,
// each byte taken as one Latin-1 character. When standard input is not a terminal, nothing is
// read and the password is empty. The terminal's echo is restored even when the read fails or
// the user interrupts it.
QString PasswordPrompt();
// Ends the prompt for the backends: the line break that was not echoed, and the line read (without a
// carriage return at its end) with each byte as one Latin-1 character.
QString EndPasswordLine(QByteArray line);
} // namespace Console
