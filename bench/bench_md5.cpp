// Times the MD5 check of a cached file (1 GiB by default) beside md5sum on the same file, in one
// run, and prints the ratio (md5sum's time over ours: above 1.0 is faster). A second line times
// the same windows mapped into memory one at a time instead of read into one reused buffer.
// Usage: bench_md5 [size in MiB] [runs] [folder]
#include "download/checksum.h"
#include "platform/md5.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Seconds that one call of work takes, and the digest it gave.
double Time(const std::function<QString()>& work, QString& digest)
{
    const double start = Now();
    digest = work();
    return Now() - start;
}

QString Md5sum(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("md5sum"), {path});
    process.waitForFinished(-1);
    return QString::fromLatin1(process.readAllStandardOutput().left(32));
}

// The windows mapped one at a time, as a plain reading of the format would do it.
QString MappedDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    CMd5 md5;
    for (qint64 offset = 0; offset < file.size(); offset += Checksum::kWindowSize) {
        const qint64 size = std::min(Checksum::kWindowSize, file.size() - offset);
        uchar* window = file.map(offset, size);
        if (window == nullptr)
            return QString();
        md5.Add(reinterpret_cast<const char*>(window), size);
        file.unmap(window);
    }
    return QString::fromLatin1(md5.Result().toHex());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir folder(argc > 3 ? QString::fromLocal8Bit(argv[3]) + QStringLiteral("/md5-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/bench-md5-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("update.bin"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < block.size(); ++i)
            block[i] = char((i * 2654435761u) >> 24);
        for (qint64 i = 0; i < mib; ++i) {
            block[0] = char(i);
            file.write(block);
        }
    }
    QString digest;
    Time([&] { return Md5sum(path); }, digest); // brings the file into the page cache
    std::vector<double> ours, peer, mapped;
    for (int run = 0; run < runs; ++run) {
        QString a, b, c;
        ours.push_back(Time([&] { return Checksum::FileDigest(path); }, a));
        peer.push_back(Time([&] { return Md5sum(path); }, b));
        mapped.push_back(Time([&] { return MappedDigest(path); }, c));
        if (a != b || c != b) {
            std::fprintf(stderr, "digests differ: %s %s %s\n", qPrintable(a), qPrintable(b), qPrintable(c));
            return 1;
        }
    }
    std::printf("MD5 of a cached %lld MiB file, median of %d runs\n", mib, runs);
    std::printf("  read windows: %.3f s, md5sum: %.3f s, ratio %.2fx\n", Median(ours), Median(peer),
                Median(peer) / Median(ours));
    std::printf("  mapped windows: %.3f s, ratio %.2fx\n", Median(mapped), Median(peer) / Median(mapped));
    return 0;
}
