#include "xmlmodel/update.h"

QDateTime CUpdate::CurrentDateTime()
{
    // Records are made by the thousand within one second: the local time of that second is
    // converted once, as each conversion consults the time-zone data.
    thread_local qint64 t_seconds = -1;
    thread_local QDateTime t_now;
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    if (seconds != t_seconds) {
        t_now = QDateTime::fromSecsSinceEpoch(seconds);
        t_seconds = seconds;
    }
    return t_now;
}
