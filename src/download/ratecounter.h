// The download rate of a transfer, sampled on a timer, and the time its remaining bytes will take.
#pragma once

#include <QObject>
#include <QtGlobal>

class QTimer;

class CRateCounter : public QObject
{
    Q_OBJECT

public:
    // interval: milliseconds between samples; firstInterval: before the first sample.
    CRateCounter(int interval, int firstInterval, QObject* parent = nullptr);

    // Starts sampling: once after the first interval until a sample is taken, then every interval.
    void start();
    void stop();
    // Forgets every sample and count, so that the next transfer is measured on its own.
    void reset();
    void setCurrentBytes(quint64 bytes) { m_nCurrentBytes = bytes; }
    // Bytes per second of the last sample.
    quint32 rate() const { return m_nRate; }
    quint32 sampleCount() const { return m_nSampleCount; }
    // Whole seconds until totalBytes are received at the average sampled rate; defaultValue when
    // no usable average exists; 0 when more than totalBytes were received.
    quint64 estimatedTime(quint64 totalBytes, quint64 defaultValue) const;
    const QTimer* timer() const { return m_pTimer; }

    // The rate of a sample: bytes over the interval in seconds, in single precision, truncated.
    static quint32 SampleRate(quint64 bytes, int intervalMs);

signals:
    void rateChanged();

public slots:
    // Takes a sample when bytes arrived since the last one, and re-arms a single-shot timer.
    void onNextSample();

private:
    QTimer* m_pTimer = nullptr;
    quint64 m_nCurrentBytes = 0;
    quint64 m_nLastSampleBytes = 0;
    int m_nFirstInterval = 0;
    int m_nInterval = 0;
    quint32 m_nRate = 0;
    quint64 m_nRateSum = 0;
    quint32 m_nSampleCount = 0;
    bool m_bRunning = false;
};
