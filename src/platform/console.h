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
} // namespace Console
