// Single-instance control: one updater works at a time for a user.
#pragma once

#include <QString>

#include "platform/process.h"

class CInstanceLock
{
public:
    CInstanceLock();
    ~CInstanceLock(); // releases the lock unless another process holds it

    // Takes the lock, or notes that another updater holds it. With afterStop set, a lock
    // still held by the background downloader just stopped counts as free.
    void Acquire(bool afterStop);
    bool IsHeldByOther() const { return m_bHeldByOther; }

private:
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    QString m_qsName;
    bool m_bHeldByOther = false;
    Platform::NamedLock m_hSemaphore = Platform::kNoNamedLock;
    bool m_bAfterStop = false;
};
