// The request header table, byte ranges, local names and URL rules of a transfer.
#include "download/requests.h"

#include <QtTest>

using Requests::Kind;

class TestRequests : public QObject
{
    Q_OBJECT

private slots:
    void headers();
    void rangesNamesAndUrls();
};

void TestRequests::headers()
{
    const QString lm = "Sat, 29 Jun 2013 14:33:09 GMT";
    const Requests::Range resume{400, 999};
    struct Row {
        Kind kind;
        const char* url;
        QString lastModified;
        const Requests::Range* range;
        QString expected;
    } rows[] = {
        {Kind::RangeProbe, "http://127.0.0.1:8080/f", "", nullptr,
         "Host: 127.0.0.1|range: bytes=0-|If-Range: |Accept-Encoding: *"},
        {Kind::RangeProbe, "http://h/f", lm, nullptr,
         "Host: h|range: bytes=0-|If-Range: |Accept-Encoding: *|If-Modified-Since: " + lm},
        {Kind::PlainProbe, "https://h/f", lm, nullptr, "Host: h|Accept-Encoding: *"},
        {Kind::PlainProbeWithRange, "http://[::1]:81/f", "", nullptr, "Host: [::1]|Accept-Encoding: *|Range: bytes=0-"},
        {Kind::Description, "http://h/d.xml", lm, &resume, ""},
        {Kind::UpdateFile, "http://h:81/f", lm, &resume, "Host: h|Accept-Encoding: identity|range: bytes=400-999"},
        {Kind::UpdateFile, "http://h/f", "", nullptr, "Host: h|Accept-Encoding: identity"},
    };
    for (const Row& row : rows) {
        QStringList lines;
        for (const auto& header : Requests::RequestHeaders(row.kind, QUrl(row.url), row.lastModified, row.range))
            lines << QString::fromUtf8(header.first + ": " + header.second);
        QCOMPARE(lines.join('|'), row.expected);
    }
}

void TestRequests::rangesNamesAndUrls()
{
    const qint64 mib = 1048576;
    QCOMPARE(Requests::FileRange(3 * mib, 0, true).last, mib - 1);
    QCOMPARE(Requests::FileRange(3 * mib, 2 * mib + 1, true).last, 3 * mib - 1);
    QCOMPARE(Requests::FileRange(3 * mib, 0, false).last, 3 * mib - 1);

    const QString names[][2] = {
        {"http://h/a/Update%20F%C3%BCr.upd?x=1", "Update Für.upd"},
        {"http://h/a/..%2F..%2Fpasswd", "passwd"}, // an encoded slash cannot leave the folder
        {"http://h/dir/", "index.html"},
        {"http://h/a/%2E%2E", "index.html"},
    };
    for (const auto& name : names)
        QCOMPARE(Requests::LocalFileName(QUrl(name[0])), name[1]);

    QVERIFY(Requests::IsTransferScheme(QUrl("HTTPS://h/f")));
    for (const char* refused : {"file:///etc/shadow", "ftp://h/f", "qrc:/f", "data:,x"})
        QVERIFY2(!Requests::IsTransferScheme(QUrl(refused)), refused);
    const QUrl request("http://h:81/a/b/f.bin");
    QCOMPARE(Requests::ResolveRedirect(request, "../c/g.bin"), QUrl("http://h:81/a/c/g.bin"));
    QCOMPARE(Requests::ResolveRedirect(request, "/g.bin"), QUrl("http://h:81/g.bin"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDateTime time(QDate(2013, 6, 29), QTime(16, 33, 9), QTimeZone("Europe/Berlin"));
    QCOMPARE(Requests::HttpDateText(time), QString("Sat, 29 Jun 2013 14:33:09 GMT"));
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
