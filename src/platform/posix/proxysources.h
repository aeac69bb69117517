// The pieces of proxy discovery on POSIX systems: the proxy variables of the environment,
// the automatic-detection candidates, the fetch of a configuration script and its evaluation.
#pragma once

#include "platform/proxydiscovery.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

namespace ProxyDiscovery {

// The list text for the proxy variables' values ("http=H:P;https=H:P;H:P"). Values may be
// "http://host:port", "host:port" or carry credentials, which are dropped; a missing port is
// 80. Other schemes and unreadable values are left out with a log line naming the variable.
QString ProxyListFromValues(const QString& http, const QString& https, const QString& all);

// The search domains of a resolver configuration ("search" or "domain", the last line wins),
// or those of localDomain (blank-separated) when it is set.
QStringList SearchDomains(const QByteArray& resolvConf, const QString* localDomain);

// Automatic-detection script URLs: http://wpad/wpad.dat, then http://wpad.<domain>/wpad.dat
// for each domain and its parents down to the registrable domain, without repeats.
QStringList WpadCandidates(const QStringList& domains);

// Incremental reader of an HTTP/1.1 response to a GET: headers, then a body framed by
// Content-Length, chunked encoding, or the end of the connection. Bodies above maxBody fail.
class HttpResponseReader
{
public:
    enum State { NeedMore, Done, Failed };
    explicit HttpResponseReader(qint64 maxBody) : m_nMaxBody(maxBody) {}
    State feed(const QByteArray& bytes);
    // The server closed the connection.
    State finish();
    int status() const { return m_nStatus; }
    const QByteArray& body() const { return m_body; }
    const QString& error() const { return m_qsError; }

private:
    enum Framing { Unknown, Length, Chunked, UntilClose };
    State fail(const QString& error);
    State parseHeaders();
    State parseBody();
    State parseChunks();

    qint64 m_nMaxBody;
    QByteArray m_buffer;
    QByteArray m_body;
    Framing m_framing = Unknown;
    qint64 m_nLength = 0;
    qint64 m_nChunkLeft = -1; // bytes left in the current chunk; -1 before a size line
    int m_nStatus = 0;
    State m_state = NeedMore;
    QString m_qsError;
};

// Largest configuration script taken.
constexpr qint64 kMaxScriptBytes = 1024 * 1024;

// Fetches a configuration script (http, https with certificate checks, or file) before the
// deadline. False with the reason in error.
bool FetchScript(const QString& url, const QDeadlineTimer& deadline, QByteArray& script, QString& error);

// Runs FindProxyForURL(url, host) of the script before the deadline; a script that is still
// running at the deadline is interrupted. False with the reason in error.
bool RunScript(const QByteArray& script, const QString& url, const QString& host, const QDeadlineTimer& deadline,
               QString& answer, QString& error);

// The list text of a script's answer ("PROXY a:1; SOCKS b:2; DIRECT" gives "a:1"). Direct when
// the first usable entry is DIRECT; Failed when nothing in it can be read.
AutoProxyResult ListFromScriptAnswer(const QString& answer, QString& list);

} // namespace ProxyDiscovery
