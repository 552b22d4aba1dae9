// logprobe <level> <message>   writes one line through the log function of that level
// logprobe threads <n> <count> writes <count> lines from each of <n> threads at once
#include "Log.h"

#include <QString>

#include <cstring>
#include <thread>
#include <vector>

namespace {

void logAt(const char *level, const QString &message)
{
    if (std::strcmp(level, "debug") == 0)
        logDebug(message);
    else if (std::strcmp(level, "info") == 0)
        logInfo(message);
    else if (std::strcmp(level, "warn") == 0)
        logWarn(message);
    else
        logError(message);
}

void logFromThreads(int threadCount, int count)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, count] {
            for (int i = 0; i < count; ++i)
                logInfo(QStringLiteral("thread %1 line %2 \"quoted\"").arg(t).arg(i));
        });
    }
    for (std::thread &thread : threads)
        thread.join();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "threads") == 0) {
        logFromThreads(std::atoi(argv[2]), std::atoi(argv[3]));
        return 0;
    }
    if (argc != 3)
        return 2;
    logAt(argv[1], QString::fromUtf8(argv[2]));
    return 0;
}
