// Times downloads from a local nginx started as in the tests:
//  (a) a large update file with "download -u lum -d" (its MD5 check included) against "curl -o" of
//      the same file into the same folder, in pairs, with the peak memory of every run;
//  (b) background mode (-bd) on a 3 MiB file: the start times of its 1 MiB requests from nginx's log.
// Usage: bench_download [runs] [size in MiB]   (0 runs: (b) alone; size 0: (a) alone)
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace KvrTest;

namespace {

struct Sample {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

// Runs the command in the environment with its output discarded; wall time and peak memory.
Sample Measure(const QStringList& command, const QProcessEnvironment& environment)
{
    std::vector<QByteArray> words, variables;
    for (const QString& word : command)
        words.push_back(word.toLocal8Bit());
    for (const QString& variable : environment.toStringList())
        variables.push_back(variable.toLocal8Bit());
    std::vector<char*> argv, envp;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    std::fflush(stdout); // the child must not repeat what is still buffered
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(127);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    Sample sample;
    rusage usage{};
    int status = 0;
    wait4(child, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    sample.seconds = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
    sample.peakKiB = usage.ru_maxrss;
    sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sample;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString Md5Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? QString::fromLatin1(hash.result().toHex()) : QString();
}

bool MakeFile(const QString& path, qint64 bytes)
{
    QFile random("/dev/urandom"), file(path);
    if (!random.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly))
        return false;
    for (qint64 left = bytes; left > 0; left -= 1 << 20)
        if (file.write(random.read(qMin<qint64>(left, 1 << 20))) <= 0)
            return false;
    return true;
}

int LargeDownload(Server& nginx, const Sandbox& sandbox, int runs, qint64 bytes)
{
    const QString served = nginx.root("large.upd");
    if (!MakeFile(served, bytes))
        return 1;
    const QString md5 = Md5Of(served);
    const QString description = sandbox.path("large.xml");
    WriteFile(description, DescriptionXml({QString("large:0:0:0:%1:%2").arg(bytes / 1024 + 1).arg(md5)}, nginx.url("/")));
    const QString folder = sandbox.downloads();
    const QStringList updater{ProgramPath(), "download", "-u", "lum", "-d", description, "-p", folder};
    const QStringList curl{"curl", "-s", "-o", folder + "/large.curl", nginx.url("/large.upd")};
    const QStringList md5sum{"md5sum", folder + "/large.curl"};

    std::printf("(a) %lld MiB from nginx into %s, %d paired runs (the order alternates)\n", bytes >> 20,
                qPrintable(folder), runs);
    std::printf("run  updater s  peak MiB  curl s  md5sum s  curl/updater  (curl+md5sum)/updater\n");
    std::vector<double> ratios, ratiosWithMd5;
    long worstKiB = 0;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(folder + "/large.upd");
        QFile::remove(folder + "/large.curl");
        Sample ours, theirs;
        if (run % 2 == 0) {
            ours = Measure(updater, sandbox.environment());
            theirs = Measure(curl, sandbox.environment());
        } else {
            theirs = Measure(curl, sandbox.environment());
            ours = Measure(updater, sandbox.environment());
        }
        const Sample check = Measure(md5sum, sandbox.environment());
        if (ours.status != 0 || theirs.status != 0 || Md5Of(folder + "/large.upd") != md5) {
            std::printf("run %d failed: updater %d, curl %d\n", run + 1, ours.status, theirs.status);
            return 1;
        }
        ratios.push_back(theirs.seconds / ours.seconds);
        ratiosWithMd5.push_back((theirs.seconds + check.seconds) / ours.seconds);
        worstKiB = std::max(worstKiB, ours.peakKiB);
        std::printf("%3d  %9.2f  %8.1f  %6.2f  %8.2f  %12.2f  %21.2f\n", run + 1, ours.seconds, ours.peakKiB / 1024.0,
                    theirs.seconds, check.seconds, ratios.back(), ratiosWithMd5.back());
    }
    std::printf("median throughput, updater against curl -o: %.2fx (goal >= 1.2x); against curl -o then md5sum: "
                "%.2fx\n",
                Median(ratios), Median(ratiosWithMd5));
    std::printf("worst peak memory of the updater: %.1f MiB (goal <= 32 MiB)\n", worstKiB / 1024.0);
    QFile::remove(served);
    return 0;
}

int BackgroundSpacing(Server& nginx, const Sandbox& sandbox)
{
    const QByteArray content(3 * 1048576, 'b');
    nginx.put("background.upd", content);
    const QString description = sandbox.path("background.xml");
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
    WriteFile(description, DescriptionXml({QString("background:0:0:0:3072:%1").arg(md5)}, nginx.url("/")));
    const Sample run = Measure({ProgramPath(), "download", "-u", "lum", "-d", description, "-p",
                                sandbox.downloads(), "-bd"}, sandbox.environment());
    // access.log: "<end time> <duration> "<request>" <status> "<range>" <bytes>"; a request starts at end - duration.
    std::vector<double> starts;
    for (const QByteArray& line : ReadFile(nginx.folder("access.log")).split('\n'))
        if (line.contains("\"GET /background.upd"))
            starts.push_back(line.split(' ').value(0).toDouble() - line.split(' ').value(1).toDouble());
    std::printf("(b) background mode, 3 MiB: exit %d after %.1f s, %zu GETs", run.status, run.seconds, starts.size());
    double shortest = 1e9;
    for (size_t i = 1; i < starts.size(); ++i) {
        shortest = std::min(shortest, starts[i] - starts[i - 1]);
        std::printf(", +%.2f s", starts[i] - starts[i - 1]);
    }
    std::printf("\nshortest spacing between requests: %.2f s (goal >= 10 s)\n", starts.size() > 1 ? shortest : 0.0);
    return run.status == 0 && starts.size() == 3 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const qint64 bytes = (argc > 2 ? std::atoll(argv[2]) : 1024) << 20;
    Server nginx(Nginx());
    if (!nginx.start()) {
        std::printf("nginx does not start: %s\n", nginx.log().constData());
        return 1;
    }
    Sandbox sandbox;
    // No runs leaves out (a); a size of 0 leaves out (b).
    return (runs > 0 ? LargeDownload(nginx, sandbox, runs, bytes) : 0) | (bytes > 0 ? BackgroundSpacing(nginx, sandbox) : 0);
}
