// The fetch of a proxy configuration script: blocking sockets without proxy, bounded by the
// deadline of the proxy query, and name look-ups that give up at the same deadline.
#include "platform/posix/proxysources.h"

#include "platform/hostutils.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QSslSocket>
#include <QUrl>

#include <netdb.h>
#include <sys/socket.h>

namespace ProxyDiscovery {

namespace {

const int kMaxHeaderBytes = 64 * 1024;

// The first address in a getaddrinfo answer, IPv4 preferred; empty when there is none.
QString FirstAddress(const addrinfo* list)
{
    QHostAddress first;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        QHostAddress address(entry->ai_addr);
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address.toString();
        if (first.isNull())
            first = address;
    }
    return first.isNull() ? QString() : first.toString();
}

int RemainingMs(const QDeadlineTimer& deadline)
{
    return int(qMin<qint64>(deadline.remainingTime(), 24 * 3600 * 1000));
}

} // namespace

QString ResolveHost(const QString& host, int timeoutMs)
{
    const QByteArray name = host.toUtf8();
    if (name.isEmpty() || name.size() > 253 || name.contains(' ') || name.contains('\0'))
        return QString();
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* answer = nullptr;
    // An address literal is read as it stands: no query leaves the machine for it.
    if (getaddrinfo(name.constData(), nullptr, &hints, &answer) == 0) {
        const QString address = FirstAddress(answer);
        freeaddrinfo(answer);
        return address;
    }
    if (timeoutMs <= 0)
        return QString();
    // On a thread of its own, so that the caller can stop waiting at its deadline.
    return HostUtils::AnswerWithin(timeoutMs, [name] {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* answer = nullptr;
        QString address;
        if (getaddrinfo(name.constData(), nullptr, &hints, &answer) == 0) {
            address = FirstAddress(answer);
            freeaddrinfo(answer);
        }
        return address;
    });
}

HttpResponseReader::State HttpResponseReader::fail(const QString& error)
{
    m_qsError = error;
    return m_state = Failed;
}

HttpResponseReader::State HttpResponseReader::feed(const QByteArray& bytes)
{
    if (m_state != NeedMore)
        return m_state;
    m_buffer += bytes;
    if (m_framing == Unknown) {
        const State state = parseHeaders();
        if (state != NeedMore || m_framing == Unknown)
            return state;
    }
    return parseBody();
}

HttpResponseReader::State HttpResponseReader::finish()
{
    if (m_state != NeedMore)
        return m_state;
    if (m_framing == UntilClose) {
        m_body = m_buffer;
        return m_state = Done;
    }
    return fail(m_framing == Unknown ? QStringLiteral("the server closed the connection without an answer")
                                     : QStringLiteral("the server closed the connection before the end of the body"));
}

HttpResponseReader::State HttpResponseReader::parseHeaders()
{
    const int end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return m_buffer.size() > kMaxHeaderBytes ? fail(QStringLiteral("the response headers are too long")) : NeedMore;
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + 4);
    const QList<QByteArray> statusWords = lines[0].trimmed().split(' ');
    if (statusWords.size() < 2 || !statusWords[0].startsWith("HTTP/1."))
        return fail(QStringLiteral("the answer is not HTTP"));
    m_nStatus = statusWords[1].toInt();
    if (m_nStatus != 200)
        return fail(QStringLiteral("the server answered with status %1").arg(QString::fromLatin1(statusWords[1])));
    m_framing = UntilClose;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
            m_framing = Chunked;
        } else if (name == "content-length" && m_framing != Chunked) {
            bool ok = false;
            m_nLength = value.toLongLong(&ok);
            if (!ok || m_nLength < 0)
                return fail(QStringLiteral("the Content-Length is not a number"));
            m_framing = Length;
        }
    }
    if (m_framing == Length && m_nLength > m_nMaxBody)
        return fail(QStringLiteral("the script is larger than %1 bytes").arg(m_nMaxBody));
    return NeedMore;
}

HttpResponseReader::State HttpResponseReader::parseBody()
{
    switch (m_framing) {
    case Length:
        if (m_buffer.size() < m_nLength)
            return NeedMore;
        m_body = m_buffer.left(int(m_nLength));
        return m_state = Done;
    case Chunked:
        return parseChunks();
    default:
        return m_buffer.size() > m_nMaxBody ? fail(QStringLiteral("the script is larger than %1 bytes").arg(m_nMaxBody))
                                            : NeedMore;
    }
}

HttpResponseReader::State HttpResponseReader::parseChunks()
{
    for (;;) {
        if (m_nChunkLeft < 0) {
            const int lineEnd = m_buffer.indexOf("\r\n");
            if (lineEnd < 0)
                return m_buffer.size() > 1024 ? fail(QStringLiteral("a chunk size line is too long")) : NeedMore;
            QByteArray sizeText = m_buffer.left(lineEnd);
            sizeText = sizeText.left(sizeText.indexOf(';') < 0 ? sizeText.size() : sizeText.indexOf(';')).trimmed();
            bool ok = false;
            m_nChunkLeft = sizeText.toLongLong(&ok, 16);
            if (!ok || m_nChunkLeft < 0)
                return fail(QStringLiteral("a chunk size is not a number"));
            m_buffer.remove(0, lineEnd + 2);
            // The last chunk ends the body; trailers are not needed.
            if (m_nChunkLeft == 0)
                return m_state = Done;
            if (m_body.size() + m_nChunkLeft > m_nMaxBody)
                return fail(QStringLiteral("the script is larger than %1 bytes").arg(m_nMaxBody));
        }
        if (m_buffer.size() < m_nChunkLeft + 2)
            return NeedMore;
        m_body += m_buffer.left(int(m_nChunkLeft));
        m_buffer.remove(0, int(m_nChunkLeft) + 2);
        m_nChunkLeft = -1;
    }
}

bool FetchScript(const QString& urlText, const QDeadlineTimer& deadline, QByteArray& script, QString& error)
{
    const QUrl url(urlText);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
            return false;
        }
        script = file.read(kMaxScriptBytes + 1);
        if (script.size() > kMaxScriptBytes) {
            error = QStringLiteral("the script is larger than %1 bytes").arg(kMaxScriptBytes);
            return false;
        }
        return true;
    }
    const bool secure = scheme == QLatin1String("https");
    if ((!secure && scheme != QLatin1String("http")) || url.host().isEmpty()) {
        error = QStringLiteral("only http, https and file URLs are read");
        return false;
    }
    const QString address = ResolveHost(url.host(), RemainingMs(deadline));
    if (address.isEmpty()) {
        error = QStringLiteral("the host name '%1' cannot be resolved").arg(url.host());
        return false;
    }
    QSslSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    const quint16 port = quint16(url.port(secure ? 443 : 80));
    if (secure) {
        socket.setPeerVerifyName(url.host());
        socket.connectToHostEncrypted(address, port, url.host());
    } else {
        socket.connectToHost(address, port);
    }
    if (!(secure ? socket.waitForEncrypted(RemainingMs(deadline)) : socket.waitForConnected(RemainingMs(deadline)))) {
        error = socket.errorString();
        return false;
    }
    const QByteArray hostHeader = url.port() < 0 ? url.host(QUrl::FullyEncoded).toUtf8()
                                                 : QStringLiteral("%1:%2").arg(url.host(QUrl::FullyEncoded)).arg(port).toUtf8();
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    socket.write("GET " + target + " HTTP/1.1\r\nHost: " + hostHeader
                 + "\r\nAccept: application/x-ns-proxy-autoconfig, */*\r\nConnection: close\r\n\r\n");
    HttpResponseReader reader(kMaxScriptBytes);
    HttpResponseReader::State state = HttpResponseReader::NeedMore;
    // Servers may keep the connection open after the body: the reader says when it is complete.
    while (state == HttpResponseReader::NeedMore) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(RemainingMs(deadline))) {
            if (socket.state() != QAbstractSocket::ConnectedState || socket.error() == QAbstractSocket::RemoteHostClosedError) {
                state = reader.finish();
                break;
            }
            error = deadline.hasExpired() ? QStringLiteral("no complete answer before the deadline") : socket.errorString();
            return false;
        }
        state = reader.feed(socket.readAll());
    }
    if (state != HttpResponseReader::Done) {
        error = reader.error();
        return false;
    }
    script = reader.body();
    return true;
}

} // namespace ProxyDiscovery
