// The MD5 digest of a file, the digest taken as a file is written, and the choice of the expected digest.
#include "download/checksum.h"
#include "download/runningdigest.h"
#include "kvrtest.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace KvrTest;

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void digest();
    void running();
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

namespace {
QString Md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}
} // namespace

void TestChecksum::running()
{
    // Steps: 'b' Begin(path, start), 'a' Add(text), 'r' Restart, 'd' Drop; then Result(path, size),
    // which must be the digest of the expected text, or empty when there is none.
    struct Step {
        char op;
        const char* text; // the path for 'b', the bytes for 'a'
        qint64 start;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        const char* path;
        qint64 size;
        const char* digestOf;
    } rows[] = {
        {"from 0", {{'b', "p", 0}, {'a', "abc", 0}, {'a', "def", 0}}, "p", 6, "abcdef"},
        {"resumed where it stopped", {{'b', "p", 0}, {'a', "abc", 0}, {'b', "p", 3}, {'a', "def", 0}}, "p", 6, "abcdef"},
        {"resumed elsewhere", {{'b', "p", 0}, {'a', "abc", 0}, {'b', "p", 2}, {'a', "def", 0}}, "p", 5, nullptr},
        {"another file at the same offset", {{'b', "p", 0}, {'a', "abc", 0}, {'b', "q", 3}, {'a', "def", 0}}, "q", 6, nullptr},
        {"a part file of an earlier run", {{'b', "p", 3}, {'a', "def", 0}}, "p", 6, nullptr},
        {"another part file written anew", {{'b', "p", 0}, {'a', "abc", 0}, {'b', "q", 3}, {'r', "", 0}, {'a', "xy", 0}}, "q", 2, "xy"},
        {"emptied and written anew", {{'b', "p", 0}, {'a', "abc", 0}, {'r', "", 0}, {'a', "xyz", 0}}, "p", 3, "xyz"},
        {"no digest wanted", {{'b', "", 0}, {'r', "", 0}, {'a', "abc", 0}}, "", 3, nullptr},
        {"the file is longer than what was digested", {{'b', "p", 0}, {'a', "abc", 0}}, "p", 4, nullptr},
        {"bytes written past the digest", {{'b', "p", 0}, {'a', "abc", 0}, {'d', "", 0}, {'a', "def", 0}}, "p", 6, nullptr},
        {"begun again after a drop", {{'b', "p", 0}, {'a', "abc", 0}, {'d', "", 0}, {'b', "p", 0}, {'a', "xy", 0}}, "p", 2, "xy"},
    };
    for (const Row& row : rows) {
        CRunningDigest digest;
        for (const Step& step : row.steps) {
            if (step.op == 'b')
                digest.Begin(step.text, step.start);
            else if (step.op == 'a')
                digest.Add(QByteArray(step.text));
            else if (step.op == 'r')
                digest.Restart();
            else
                digest.Drop();
        }
        QVERIFY2(digest.Result(row.path, row.size) == (row.digestOf ? Md5Hex(row.digestOf) : QString()), row.name);
    }

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

void TestChecksum::expected()
{
    QCOMPARE(Checksum::ExpectedDigest("9E107D9D372BB6826BD81D3542A419D6", "ffff"),
             QString("9e107d9d372bb6826bd81d3542a419d6"));
    QCOMPARE(Checksum::ExpectedDigest("", "ABCD"), QString("abcd"));
    QCOMPARE(Checksum::ExpectedDigest("", ""), QString());
}

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
