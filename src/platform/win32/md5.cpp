#include "platform/md5.h"

#include <QCryptographicHash>

// Qt's own MD5: the Windows build has no OpenSSL.
CMd5::CMd5()
    : m_pContext(new QCryptographicHash(QCryptographicHash::Md5))
{
}

CMd5::~CMd5()
{
    delete static_cast<QCryptographicHash*>(m_pContext);
}

bool CMd5::Add(const char* data, qint64 size)
{
    auto* hash = static_cast<QCryptographicHash*>(m_pContext);
    // Qt takes the data in pieces of at most an int's size.
    for (qint64 done = 0; !m_bFailed && done < size;) {
        const int piece = int(qMin<qint64>(size - done, 1 << 30));
        hash->addData(data + done, piece);
        done += piece;
    }
    return !m_bFailed;
}

QByteArray CMd5::Result()
{
    if (m_bFailed)
        return QByteArray();
    m_bFailed = true; // finished, as with the system's library
    return static_cast<QCryptographicHash*>(m_pContext)->result();
}
