// The progress of a download run as a percentage, and when its output lines are due.
#pragma once

#include <QtGlobal>

namespace Progress {

// Where the run stands: the current file and the share of the run that is done already.
struct Position {
    qint64 fileBytes = 0;   // bytes of the current file on hand (resumed part plus received)
    qint64 fileSize = 0;    // size of the current file
    qint64 doneWeight = 0;  // weight of the files finished or found present in this run
    qint64 fileWeight = 0;  // weight of the current file
    qint64 totalWeight = 0; // weight of all files of the run
    int fileCount = 0;      // files of the run
};

// The weight of an update file in the run's percentage: its announced size in bytes while it is
// ready to download (status 0), else nothing, as the run's total counts it.
qint64 Weight(int status, quint32 fileSizeKb);

// The percentage of the run, truncated and held within 0 to 100. With one file (or no weights)
// it is the current file's bytes over its size; with several, each file counts by its weight, so
// the percentage rises through the run and reaches 100 with the last byte of the last file.
int Percentage(const Position& position);

// Least time between two "PROGRESS: " lines.
constexpr qint64 kLineSpacingMs = 1000;

// True when a "PROGRESS: " line is due at now: the first one, one 1000 ms after the last, or 100.
bool LineDue(int percent, qint64 nowMs, qint64 lastLineMs);

// True when the console shows one more dot: the percentage passed the last one shown by 3.
bool DotDue(int percent, int lastPercent);

} // namespace Progress
