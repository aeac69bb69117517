// The rate counter's samples, its single-shot first sample and its estimate, driven without waiting.
#include "download/ratecounter.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <limits>

class TestRateCounter : public QObject
{
    Q_OBJECT

private slots:
    void samplingAndEstimate();
};

void TestRateCounter::samplingAndEstimate()
{
    QCOMPARE(CRateCounter::SampleRate(16777217, 1000), quint32(16777216)); // single precision
    QCOMPARE(CRateCounter::SampleRate(1, 2000), quint32(0));
    QCOMPARE(CRateCounter::SampleRate(10000000000000ULL, 1000), std::numeric_limits<quint32>::max());

    CRateCounter counter(2000, 1000);
    QSignalSpy changed(&counter, &CRateCounter::rateChanged);
    const quint64 none = std::numeric_limits<quint64>::max();
    counter.start();
    QVERIFY(counter.timer()->isSingleShot());
    QCOMPARE(counter.timer()->interval(), 1000);
    QCOMPARE(counter.estimatedTime(100, none), none); // no sample yet

    // Nothing arrived: no sample, and the first one is tried again after 1000 ms.
    counter.onNextSample();
    QCOMPARE(changed.count(), 0);
    QVERIFY(counter.timer()->isActive() && counter.timer()->isSingleShot());

    counter.setCurrentBytes(3000000);
    counter.onNextSample();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(counter.rate(), quint32(3000000));
    QVERIFY(counter.timer()->isActive() && !counter.timer()->isSingleShot());
    QCOMPARE(counter.timer()->interval(), 2000);

    counter.setCurrentBytes(3000002); // 2 bytes in 2 s
    counter.onNextSample();
    QCOMPARE(counter.rate(), quint32(1));
    // Average (3000000 + 1) / 2 = 1500000 bytes per second, over whole seconds.
    QCOMPARE(counter.estimatedTime(6000002, none), quint64(2));
    QCOMPARE(counter.estimatedTime(3000001, none), quint64(0)); // more than the total received

    // Stopped while its sample is handled, it stays stopped.
    connect(&counter, &CRateCounter::rateChanged, &counter, &CRateCounter::stop);
    counter.reset();
    counter.start();
    counter.setCurrentBytes(1);
    counter.onNextSample();
    QCOMPARE(counter.sampleCount(), quint32(1));
    QVERIFY(!counter.timer()->isActive());
}

QTEST_GUILESS_MAIN(TestRateCounter)
#include "tst_ratecounter.moc"
