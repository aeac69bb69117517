// The MD5 of a part file taken from the bytes as they are written, on a worker thread, so that
// the check after the transfer needs no second pass over the file.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class CRunningDigest
{
public:
    CRunningDigest();
    ~CRunningDigest(); // stops the worker; what it had not digested is dropped

    // A transfer is about to append to the part file of finalPath from offset start. From 0 the
    // digest starts afresh; from elsewhere it goes on only when it has covered exactly the bytes
    // of that file up to start, and is dropped otherwise. An empty finalPath: no digest is wanted.
    void Begin(const QString& finalPath, qint64 start);
    // The part file was emptied: the digest of the same file starts afresh (when one was begun).
    void Restart();
    // The next bytes written at the end of the part file (shared with the worker, not copied).
    // Waits while the blocks not yet digested hold more than kQueueLimit bytes, so memory stays bounded.
    void Add(const QByteArray& block);
    // Bytes reached the file that did not pass through Add: unusable until the next start from 0.
    void Drop();
    // The digest in lower-case hex when it covers exactly the first size bytes of the file
    // fetched to finalPath (waits for the worker to catch up); empty otherwise. Ends the digest.
    QString Result(const QString& finalPath, qint64 size);

    static constexpr qint64 kQueueLimit = 512 * 1024;

private:
    CRunningDigest(const CRunningDigest&) = delete;
    CRunningDigest& operator=(const CRunningDigest&) = delete;

    struct Worker;
    std::unique_ptr<Worker> m_pWorker;
    QString m_qsPath;      // final path of the file being digested
    qint64 m_nCovered = 0; // bytes handed to the worker since the start from 0
    bool m_bUsable = false;
};
