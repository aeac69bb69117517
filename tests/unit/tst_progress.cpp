// The percentage of a download run.
#include "download/progress.h"

#include <QtTest>

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void percentage();
};

void TestProgress::percentage()
{
    struct Row {
        const char* name;
        Progress::Position position; // file bytes, file size, done, file and total weights, files
        int percent;
    } rows[] = {
        {"resumed at 400 of 1000", {400, 1000, 0, 0, 0, 1}, 40},
        {"truncated, not rounded", {999, 1000, 0, 0, 0, 1}, 99},
        {"size unknown", {5, 0, 0, 0, 0, 1}, 0},
        {"more than announced", {1500, 1000, 0, 0, 0, 1}, 100},
        // Two files weighing 3000 and 1000: announced sizes need not be the real ones.
        {"half of the first file", {500, 1000, 0, 3000, 4000, 2}, 37},
        {"half of the second file", {50, 100, 3000, 1000, 4000, 2}, 87},
        {"last byte of the last file", {100, 100, 3000, 1000, 4000, 2}, 100},
        {"several files without weights", {50, 100, 0, 0, 0, 3}, 50},
    };
    for (const Row& row : rows)
        QVERIFY2(Progress::Percentage(row.position) == row.percent, row.name);
    QVERIFY(Progress::LineDue(100, 5300, 5000) && !Progress::LineDue(99, 5300, 5000));
}

QTEST_GUILESS_MAIN(TestProgress)
#include "tst_progress.moc"
