#include "download/requests.h"

#include <QLocale>

namespace Requests {

namespace {

// The host alone, without the port; an IPv6 literal keeps its brackets so that it stays a valid
// header value.
QByteArray HostHeader(const QUrl& url)
{
    const QString host = url.host(QUrl::FullyDecoded);
    if (host.contains(QLatin1Char(':')))
        return '[' + host.toUtf8() + ']';
    return host.toUtf8();
}

using Header = QPair<QByteArray, QByteArray>;

} // namespace

Headers RequestHeaders(Kind kind, const QUrl& url, const QString& lastModified, const Range* range)
{
    Headers headers;
    if (kind == Kind::Description)
        return headers;
    headers.append(Header("Host", HostHeader(url)));
    switch (kind) {
    case Kind::RangeProbe:
        headers.append(Header("range", "bytes=0-"));
        headers.append(Header("If-Range", QByteArray("")));
        headers.append(Header("Accept-Encoding", "*"));
        if (!lastModified.isEmpty())
            headers.append(Header("If-Modified-Since", lastModified.toUtf8()));
        break;
    case Kind::PlainProbe:
    case Kind::PlainProbeWithRange:
        headers.append(Header("Accept-Encoding", "*"));
        if (kind == Kind::PlainProbeWithRange)
            headers.append(Header("Range", "bytes=0-"));
        break;
    case Kind::UpdateFile:
        // The file must arrive byte for byte as stored, never as a compressed body.
        headers.append(Header("Accept-Encoding", "identity"));
        if (range != nullptr)
            headers.append(Header("range", QStringLiteral("bytes=%1-%2").arg(range->first).arg(range->last).toUtf8()));
        break;
    case Kind::Description:
        break;
    }
    return headers;
}

Range FileRange(qint64 fileSize, qint64 first, bool background)
{
    Range range{first, fileSize - 1};
    if (background && first + kBackgroundChunk - 1 <= range.last)
        range.last = first + kBackgroundChunk - 1;
    return range;
}

bool IsTransferScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QUrl ResolveRedirect(const QUrl& requestUrl, const QString& target)
{
    return requestUrl.resolved(QUrl(target));
}

QString LocalFileName(const QUrl& url)
{
    const QString name = url.fileName(QUrl::FullyDecoded);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("index.html");
    return name;
}

QString HttpDateText(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
}

} // namespace Requests
