// The requests of a transfer: their headers and byte ranges, the local name of a URL, and the
// URL rules that keep a transfer on HTTP.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace Requests {

// An update file is written under its final name followed by this suffix until it is complete.
constexpr char kPartFileSuffix[] = ".kvrupd-part";

enum class Kind {
    RangeProbe,          // HEAD of state 6
    PlainProbe,          // HEAD of state 26
    PlainProbeWithRange, // the HEAD of state 26 sent once more with "Range"
    Description,         // GET of the updates description
    UpdateFile,          // GET of an update file
};

using Headers = QList<QPair<QByteArray, QByteArray>>;

// One byte range of a request: bytes first to last, both included.
struct Range {
    qint64 first = 0;
    qint64 last = 0;
};

// The raw headers of a request, names in their exact case. lastModified (the --last-modified
// value) goes with the range probe only; range (when given) with the update-file GET only.
Headers RequestHeaders(Kind kind, const QUrl& url, const QString& lastModified = QString(),
                       const Range* range = nullptr);

// The bytes an update-file GET asks for from first on: up to the end of the file, or at most
// 1 MiB in background mode.
Range FileRange(qint64 fileSize, qint64 first, bool background);

// Size of a background request.
constexpr qint64 kBackgroundChunk = 1024 * 1024;

// True for the schemes that an update file and a redirect may use: http and https.
bool IsTransferScheme(const QUrl& url);

// A redirect target made absolute against the URL of the request that was redirected.
QUrl ResolveRedirect(const QUrl& requestUrl, const QString& target);

// The local name of a URL: the last component of its path, fully decoded; "index.html" when that
// is empty or names a folder ("." or "..").
QString LocalFileName(const QUrl& url);

// An HTTP date: GMT with English day and month names, "ddd, dd MMM yyyy HH:mm:ss GMT".
QString HttpDateText(const QDateTime& time);

} // namespace Requests
