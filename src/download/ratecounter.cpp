#include "download/ratecounter.h"

#include <QTimer>

#include <limits>

CRateCounter::CRateCounter(int interval, int firstInterval, QObject* parent)
    : QObject(parent)
    , m_pTimer(new QTimer(this))
    , m_nFirstInterval(firstInterval)
    , m_nInterval(interval)
{
    connect(m_pTimer, &QTimer::timeout, this, &CRateCounter::onNextSample);
}

void CRateCounter::start()
{
    const bool first = m_nSampleCount == 0;
    m_pTimer->setSingleShot(first);
    m_pTimer->setInterval(first ? m_nFirstInterval : m_nInterval);
    m_pTimer->start();
    m_bRunning = true;
}

void CRateCounter::stop()
{
    m_pTimer->stop();
    m_bRunning = false;
}

void CRateCounter::reset()
{
    m_nCurrentBytes = 0;
    m_nLastSampleBytes = 0;
    m_nRate = 0;
    m_nRateSum = 0;
    m_nSampleCount = 0;
}

quint32 CRateCounter::SampleRate(quint64 bytes, int intervalMs)
{
    if (intervalMs == 0)
        return 0;
    const float rate = float(bytes) / (float(intervalMs) * 0.001f);
    // A rate beyond 32 bits cannot be stored; it is held at the largest one.
    if (!(rate < float(std::numeric_limits<quint32>::max())))
        return std::numeric_limits<quint32>::max();
    return quint32(rate);
}

void CRateCounter::onNextSample()
{
    if (m_nCurrentBytes > m_nLastSampleBytes) {
        const int elapsed = m_nSampleCount > 0 ? m_nInterval : m_nFirstInterval;
        m_nRate = SampleRate(m_nCurrentBytes - m_nLastSampleBytes, elapsed);
        m_nRateSum += m_nRate;
        m_nLastSampleBytes = m_nCurrentBytes;
        ++m_nSampleCount;
        emit rateChanged();
    }
    // A counter stopped while the sample was handled stays stopped.
    if (m_bRunning && m_pTimer->isSingleShot()) {
        const bool first = m_nSampleCount == 0;
        m_pTimer->setSingleShot(first);
        m_pTimer->setInterval(first ? m_nFirstInterval : m_nInterval);
        m_pTimer->start();
    }
}

quint64 CRateCounter::estimatedTime(quint64 totalBytes, quint64 defaultValue) const
{
    if (totalBytes < m_nCurrentBytes)
        return 0;
    if (m_nSampleCount == 0)
        return defaultValue;
    const quint64 average = m_nRateSum / m_nSampleCount;
    if (average == 0)
        return defaultValue;
    return (totalBytes - m_nCurrentBytes) / average;
}
