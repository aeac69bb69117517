// The MD5 digest (RFC 1321) of data given in pieces, from the system's cryptographic library.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class CMd5
{
public:
    CMd5();
    ~CMd5();
    // Adds the next piece; false when the library failed (the digest is then unusable).
    bool Add(const char* data, qint64 size);
    // The 16 bytes of the digest of everything added; empty on failure.
    QByteArray Result();

private:
    CMd5(const CMd5&) = delete;
    CMd5& operator=(const CMd5&) = delete;

    void* m_pContext = nullptr;
    bool m_bFailed = false;
};
