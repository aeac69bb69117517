// The MD5 digest of a file in windows, and the choice of the expected digest.
#include "download/checksum.h"
#include "kvrtest.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace KvrTest;

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void digest();
    void expected();
};

void TestChecksum::digest()
{
    Sandbox sandbox;
    // 40 MiB: windows of 16, 16 and 8 MiB.
    QByteArray content(40 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char((i * 2654435761u) >> 23);
    const QString big = sandbox.path("big.bin");
    QVERIFY(WriteFile(big, content));
    QCOMPARE(Checksum::FileDigest(big),
             QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));

    const QString empty = sandbox.path("empty.bin");
    QVERIFY(WriteFile(empty, QByteArray()));
    QCOMPARE(Checksum::FileDigest(empty), QString("d41d8cd98f00b204e9800998ecf8427e"));

    // Nothing to digest: a missing file, a folder, and a link (never followed).
    const QString link = sandbox.path("link.bin");
    QVERIFY(MakeSymbolicLink(big, link));
    for (const QString& path : {sandbox.path("missing.bin"), sandbox.path(), link})
        QCOMPARE(Checksum::FileDigest(path), QString());
}

void TestChecksum::expected()
{
    QCOMPARE(Checksum::ExpectedDigest("9E107D9D372BB6826BD81D3542A419D6", "ffff"),
             QString("9e107d9d372bb6826bd81d3542a419d6"));
    QCOMPARE(Checksum::ExpectedDigest("", "ABCD"), QString("abcd"));
    QCOMPARE(Checksum::ExpectedDigest("", ""), QString());
}

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
