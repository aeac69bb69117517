#include "download/progress.h"

namespace Progress {

namespace {

int Truncated(double fraction)
{
    return int(qBound(0.0, fraction * 100.0, 100.0));
}

} // namespace

qint64 Weight(int status, quint32 fileSizeKb)
{
    return status == 0 ? qint64(fileSizeKb) * 1024 : 0;
}

int Percentage(const Position& position)
{
    const double file = position.fileSize > 0 ? qMin(1.0, double(position.fileBytes) / double(position.fileSize)) : 0.0;
    if (position.fileCount <= 1 || position.totalWeight <= 0)
        return Truncated(file);
    return Truncated((double(position.doneWeight) + file * double(position.fileWeight)) / double(position.totalWeight));
}

bool LineDue(int percent, qint64 nowMs, qint64 lastLineMs)
{
    return lastLineMs == 0 || nowMs - lastLineMs >= kLineSpacingMs || percent == 100;
}

bool DotDue(int percent, int lastPercent)
{
    return percent > lastPercent + 2;
}

} // namespace Progress
