// The MD5 digest of a file, the digest taken as a file is written, and the choice of the expected digest.
#include "download/checksum.h"
#include "download/runningdigest.h"
#include "kvrtest.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using namespace KvrTest;

namespace {
QString Md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}
} // namespace

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void digest()
    {
        Sandbox sandbox;
        // 40 MiB: windows of 16, 16 and 8 MiB.
        QByteArray content(40 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((i * 2654435761u) >> 23);
        const QString big = sandbox.path("big.bin");
        QVERIFY(WriteFile(big, content));
        QCOMPARE(Checksum::FileDigest(big), Md5Hex(content));

        const QString empty = sandbox.path("empty.bin");
        QVERIFY(WriteFile(empty, QByteArray()));
        QCOMPARE(Checksum::FileDigest(empty), QString("d41d8cd98f00b204e9800998ecf8427e"));

        // Nothing to digest: a missing file, a folder, and a link (never followed).
        const QString link = sandbox.path("link.bin");
        QVERIFY(MakeSymbolicLink(big, link));
        for (const QString& path : {sandbox.path("missing.bin"), sandbox.path(), link})
            QCOMPARE(Checksum::FileDigest(path), QString());
    }

    void running_data()
    {
        AddRows("download/running.json");
    }

    // Steps: 'b' Begin(path, start), 'a' Add(text), 'r' Restart, 'd' Drop; then Result(path, size),
    // which must be the digest of "digestOf", or empty when the row has none.
    void running()
    {
        QFETCH(QJsonObject, row);
        CRunningDigest digest;
        for (const QJsonValue& value : row["steps"].toArray()) {
            const QJsonArray step = value.toArray();
            const QString op = step[0].toString();
            if (op == "b")
                digest.Begin(step[1].toString(), step[2].toInt());
            else if (op == "a")
                digest.Add(step[1].toString().toLatin1());
            else if (op == "r")
                digest.Restart();
            else
                digest.Drop();
        }
        const QJsonValue digestOf = row["digestOf"];
        QCOMPARE(digest.Result(row["path"].toString(), row["size"].toInt()),
                 digestOf.isString() ? Md5Hex(digestOf.toString().toLatin1()) : QString());
    }

    void manyBlocks()
    {
        // Far more than the worker's queue holds, in order.
        CRunningDigest digest;
        QByteArray all;
        digest.Begin("p", 0);
        for (int i = 0; i < 64; ++i) {
            const QByteArray block(65536 + i, char(i));
            digest.Add(block);
            all += block;
        }
        QCOMPARE(digest.Result("p", all.size()), Md5Hex(all));
    }

    void expected()
    {
        QCOMPARE(Checksum::ExpectedDigest("9E107D9D372BB6826BD81D3542A419D6", "ffff"),
                 QString("9e107d9d372bb6826bd81d3542a419d6"));
        QCOMPARE(Checksum::ExpectedDigest("", "ABCD"), QString("abcd"));
        QCOMPARE(Checksum::ExpectedDigest("", ""), QString());
    }
};

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
