#include "platform/md5.h"

#include <openssl/evp.h>

CMd5::CMd5()
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    m_bFailed = context == nullptr || EVP_DigestInit_ex(context, EVP_md5(), nullptr) != 1;
    m_pContext = context;
}

CMd5::~CMd5()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_pContext));
}

bool CMd5::Add(const char* data, qint64 size)
{
    if (!m_bFailed && size > 0)
        m_bFailed = EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_pContext), data, size_t(size)) != 1;
    return !m_bFailed;
}

QByteArray CMd5::Result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (m_bFailed || EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_pContext), digest, &length) != 1)
        return QByteArray();
    m_bFailed = true; // the context is finished
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}
