// Times a "check" of a description of many updates against a configuration of as many installed
// records, beside the floor under it (bench_floor: Qt's DOM alone parsing both documents and saving
// the configuration) and two peers on the same description: md5sum (reading it) and xmllint
// (parsing it). Then the check again with four times the records, to see that it stays linear.
// Usage: bench_check PROGRAM FLOOR [updates] [runs]
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char kCurrent[] = "lum.5.6.0-36436.en_US.corvantis.win";

QByteArray UpdateXml(const QByteArray& uuid, int status, int hotfix)
{
    return "<Update><Uuid>" + uuid + "</Uuid><UpdateType>0</UpdateType>"
           "<UpdateName>en_US#Update " + uuid + "</UpdateName><UpdateName>de_DE#Aktualisierung " + uuid
           + "</UpdateName><UpdateDescription>en_US#What is new in " + uuid
           + ".</UpdateDescription><FilePath>https://update.corvantis.example/files/" + uuid
           + ".upd</FilePath><FileSize>2048</FileSize><CheckSum>9e107d9d372bb6826bd81d3542a419d6</CheckSum>"
           "<Status>" + QByteArray::number(status) + "</Status><DateTime>2026-11-20 10:00:00</DateTime>"
           "<Chargeable>0</Chargeable><LocaleName>en_US</LocaleName><DistributorName>Corvantis</DistributorName>"
           "<OsType>win</OsType><Ancestry><Ancestor>" + QByteArray(kCurrent)
           + "</Ancestor></Ancestry><HotfixSN>" + QByteArray::number(hotfix) + "</HotfixSN></Update>\n";
}

QByteArray Updates(const char* prefix, int count, int status)
{
    QByteArray xml = "<CorvantisUpdates><Product><ProductName>Corvantis Lumen</ProductName>"
                     "<UpdateEnabled>1</UpdateEnabled><Version><Major>5</Major><Minor>6</Minor><SubMinor>0</SubMinor>"
                     "<SubSubMinor>0</SubSubMinor><StringRepresentation>5.6.0-36436</StringRepresentation>\n";
    for (int i = 0; i < count; ++i)
        xml += UpdateXml(prefix + QByteArray::number(i), status, 0);
    return xml + "</Version></Product></CorvantisUpdates>\n";
}

struct Sample {
    double seconds;
    long peakKiB;
    int status;
};

// Runs the command with stdout to /dev/null and returns its wall time and peak memory.
Sample Measure(const std::vector<QByteArray>& command, const QByteArray& configDir)
{
    std::fflush(stdout); // the child must not repeat what is still buffered
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child == 0) {
        setenv("CORVANTIS_CONFIG_DIR", configDir.constData(), 1);
        FILE* sink = std::freopen("/dev/null", "w", stdout);
        (void)sink;
        std::vector<char*> argv;
        for (const QByteArray& word : command)
            argv.push_back(const_cast<char*>(word.constData()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    return {double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9, usage.ru_maxrss,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

Sample Median(const std::vector<QByteArray>& command, const QByteArray& configDir, int runs)
{
    std::vector<Sample> samples;
    for (int i = 0; i < runs; ++i)
        samples.push_back(Measure(command, configDir));
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    return samples[samples.size() / 2];
}

struct Named {
    const char* name;
    Sample sample;
};

// Writes the documents of count updates into dir and measures the check (and, with peers, the
// floor and the peers) on them; the check's sample comes first.
std::vector<Named> RunAt(const QByteArray& program, const QByteArray& floor, const QTemporaryDir& dir, int count,
                         int runs, bool peers)
{
    const QByteArray description = QFile::encodeName(dir.path() + "/description.xml");
    const QByteArray configCopy = QFile::encodeName(dir.path() + "/config.xml");
    const QByteArray configDir = QFile::encodeName(dir.path());
    const QByteArray config = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdaterConfig><AutomaticUpdate>"
                              "<UpdateEnabled>0</UpdateEnabled><UpdatePeriod>1</UpdatePeriod><NotifyUser>1</NotifyUser>"
                              "<DownloadEnabled>0</DownloadEnabled><InstallEnabled>0</InstallEnabled></AutomaticUpdate>"
                              "<UpdateUrl>u</UpdateUrl><RemindPeriod>0</RemindPeriod><BuyLink>b</BuyLink>"
                              "<DownloadPath>d</DownloadPath>"
                              + Updates("installed.", count, 1) + "</CorvantisUpdaterConfig>\n";
    auto write = [](const QByteArray& path, const QByteArray& content) {
        QFile file(QString::fromLocal8Bit(path));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
    };
    std::vector<Named> results;
    if (!write(description, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + Updates("new.", count, 0))
        || !write(configCopy, config))
        return results;
    // Every run of the check starts from the same configuration file.
    std::vector<Sample> samples;
    for (int i = 0; i < runs; ++i) {
        if (!write(configDir + "/.corvantis_updater.xml", config))
            return results;
        samples.push_back(Measure({program, "check", "-u", "lum", "-d", description}, configDir));
    }
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    results.push_back({"check", samples[samples.size() / 2]});
    if (peers) {
        results.push_back({"floor", Median({floor, description, configCopy, configDir + "/floor.xml"}, configDir, runs)});
        results.push_back({"md5sum", Median({"md5sum", description}, configDir, runs)});
        results.push_back({"xmllint", Median({"xmllint", "--noout", description}, configDir, runs)});
    }
    return results;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_check PROGRAM FLOOR [updates] [runs]\n");
        return 2;
    }
    const QByteArray program = argv[1];
    const QByteArray floor = argv[2];
    const int count = argc > 3 ? std::atoi(argv[3]) : 10000;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 5;
    QTemporaryDir dir;

    std::printf("check of %d new updates against %d installed records, median of %d runs\n", count, count, runs);
    std::printf("%-10s %10s %12s %7s\n", "command", "seconds", "peak KiB", "status");
    const std::vector<Named> results = RunAt(program, floor, dir, count, runs, true);
    for (const Named& result : results)
        std::printf("%-10s %10.3f %12ld %7d\n", result.name, result.sample.seconds, result.sample.peakKiB,
                    result.sample.status);
    if (results.empty() || results[0].sample.status != 0)
        return 1;
    for (std::size_t i = 1; i < results.size(); ++i) {
        if (results[i].sample.status == 0)
            std::printf("check / %s: %.2f times the time, %.2f times the peak memory\n", results[i].name,
                        results[0].sample.seconds / results[i].sample.seconds,
                        double(results[0].sample.peakKiB) / double(results[i].sample.peakKiB));
    }
    const std::vector<Named> larger = RunAt(program, floor, dir, 4 * count, runs, false);
    if (larger.empty() || larger[0].sample.status != 0)
        return 1;
    std::printf("check of %d against %d: %.3f s, %.2f times the time of %d\n", 4 * count, 4 * count,
                larger[0].sample.seconds, larger[0].sample.seconds / results[0].sample.seconds, count);
    return 0;
}
