// The digest of a part file taken on a worker thread from the blocks written to it.
#include "download/runningdigest.h"

#include "platform/md5.h"

#include <QMutex>
#include <QMutexLocker>
#include <QQueue>
#include <QThread>
#include <QWaitCondition>

namespace {
// The memory a block holds: a short block may keep the whole buffer it was read into.
qint64 Footprint(const QByteArray& block)
{
    return qMax<qint64>(block.capacity(), block.size());
}
} // namespace

// The worker digests queued blocks in order; the main thread queues, restarts and collects.
struct CRunningDigest::Worker {
    QMutex mutex;
    QWaitCondition changed;
    QQueue<QByteArray> queue;
    qint64 queued = 0;  // bytes in the queue
    qint64 current = 0; // bytes of the block being digested; 0 when idle
    bool stop = false;
    std::unique_ptr<CMd5> md5;
    std::unique_ptr<QThread> thread;

    void Run()
    {
        QMutexLocker lock(&mutex);
        for (;;) {
            while (!stop && queue.isEmpty())
                changed.wait(&mutex);
            if (stop)
                return;
            QByteArray block = queue.dequeue();
            queued -= Footprint(block);
            current = Footprint(block);
            lock.unlock();
            md5->Add(block.constData(), block.size());
            block.clear(); // freed here, outside the lock
            lock.relock();
            current = 0;
            changed.wakeAll();
        }
    }

    // With the mutex held: empties the queue and waits until no block is being digested.
    void Settle()
    {
        queue.clear();
        queued = 0;
        while (current != 0)
            changed.wait(&mutex);
    }
};

CRunningDigest::CRunningDigest() = default;

CRunningDigest::~CRunningDigest()
{
    if (!m_pWorker)
        return;
    {
        QMutexLocker lock(&m_pWorker->mutex);
        m_pWorker->stop = true;
        m_pWorker->queue.clear();
        m_pWorker->changed.wakeAll();
    }
    m_pWorker->thread->wait();
}

void CRunningDigest::Begin(const QString& finalPath, qint64 start)
{
    // Goes on only over the bytes it has already covered, of the same file.
    if (m_bUsable && start != 0 && finalPath == m_qsPath && start == m_nCovered)
        return;
    m_qsPath = finalPath;
    if (start == 0)
        Restart();
    else
        Drop();
}

void CRunningDigest::Restart()
{
    if (m_qsPath.isEmpty()) {
        Drop();
        return;
    }
    if (!m_pWorker) {
        m_pWorker = std::make_unique<Worker>();
        Worker* worker = m_pWorker.get();
        m_pWorker->thread.reset(QThread::create([worker] { worker->Run(); }));
        m_pWorker->thread->start();
    }
    QMutexLocker lock(&m_pWorker->mutex);
    m_pWorker->Settle();
    m_pWorker->md5 = std::make_unique<CMd5>();
    m_nCovered = 0;
    m_bUsable = true;
}

void CRunningDigest::Add(const QByteArray& block)
{
    if (!m_bUsable || block.isEmpty())
        return;
    QMutexLocker lock(&m_pWorker->mutex);
    while (m_pWorker->queued + m_pWorker->current >= kQueueLimit)
        m_pWorker->changed.wait(&m_pWorker->mutex);
    m_pWorker->queue.enqueue(block);
    m_pWorker->queued += Footprint(block);
    m_pWorker->changed.wakeAll();
    m_nCovered += block.size();
}

void CRunningDigest::Drop()
{
    if (!m_bUsable)
        return;
    m_bUsable = false;
    QMutexLocker lock(&m_pWorker->mutex);
    m_pWorker->Settle();
}

QString CRunningDigest::Result(const QString& finalPath, qint64 size)
{
    if (!m_bUsable || finalPath != m_qsPath || size != m_nCovered)
        return QString();
    m_bUsable = false;
    QMutexLocker lock(&m_pWorker->mutex);
    while (!m_pWorker->queue.isEmpty() || m_pWorker->current != 0)
        m_pWorker->changed.wait(&m_pWorker->mutex);
    return QString::fromLatin1(m_pWorker->md5->Result().toHex());
}
