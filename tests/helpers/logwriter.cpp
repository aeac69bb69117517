// Writes numbered log lines from several threads: logwriter FOLDER TAG THREADS LINES
#include "platform/log.h"

#include <QByteArray>

#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    LogControl::SetFolder(QByteArray(argv[1]));
    const QByteArray tag(argv[2]);
    const int threads = std::atoi(argv[3]);
    const int lines = std::atoi(argv[4]);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < lines; ++i) {
                // Lengths vary so that long and short writes overlap.
                const QByteArray payload((i * 37 + t * 11) % 3000, char('a' + (i + t) % 26));
                LogMessage("logwriter", 0, "%s %d %d %s.", tag.constData(), t, i, payload.constData());
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    return 0;
}
