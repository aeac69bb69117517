// The process's command line and console.
#pragma once

#include <QStringList>

namespace Console {
// All words of the process command line, word 0 being the program path; false when the
// command line cannot be split.
bool CommandLineWords(int argc, char** argv, QStringList& words);
} // namespace Console
