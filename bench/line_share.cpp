// Drivers of one plug-in sharing one line: N drivers (stations 1..N) on one connection string read
// one holding register for a while, each on a thread of its own or all in turn on one thread, and
// the reads that came back, the failures by status and the reads per second are printed.
#include "contract/CDriveBaseClass.h"
#include "tools/common/plugin_loader.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kUsage[] =
    "usage: line_share --plugin FILE --connect STRING [options]\n"
    "  -p, --plugin FILE     driver plug-in to load (e.g. build/lib/libSerivane.so.1)\n"
    "  -c, --connect STRING  connection string every driver gets (e.g. /tmp/line,19200,8,1,N\n"
    "                        or /tmp/line:s,19200,8,1,N for a port opened around each exchange)\n"
    "  -n, --drivers N       drivers, one per station 1..N (default 4)\n"
    "  -t, --seconds T       how long to read (default 10)\n"
    "  -a, --address TAG     register read (default 4x0, read as one UInt16)\n"
    "      --one-thread      all drivers in turn on one thread (default: a thread per driver,\n"
    "                        each driver created, connected and read on its own thread)\n"
    "      --json            one JSON line in place of the text line\n"
    "  -h, --help            this text\n";

struct Options {
    QString plugin;
    QString connection;
    QString address = QStringLiteral("4x0");
    int drivers = 4;
    int seconds = 10;
    bool oneThread = false;
    bool json = false;
};

// What the reads of one or all drivers came to.
struct Tally {
    long ok = 0;
    std::map<int, long> failures; // status -> count
    int connectFailures = 0;

    void add(const Tally& other)
    {
        ok += other.ok;
        for (const auto& [status, count] : other.failures)
            failures[status] += count;
        connectFailures += other.connectFailures;
    }
};

std::mutex loadMutex; // getSharedLibrary is called from one thread at a time

// A driver of the plug-in for one station, connected; null (with a message) when that failed.
CDriveBaseClass* makeDriver(const Options& options, int station)
{
    vane::LoadedPlugin plugin;
    {
        const std::lock_guard<std::mutex> lock(loadMutex);
        plugin = vane::loadPlugin(options.plugin);
    }
    if (!plugin.driver) {
        std::fprintf(stderr, "line_share: %s\n", qPrintable(plugin.error));
        return nullptr;
    }
    plugin.driver->SetConnectPar(QString::number(station));
    const int result = plugin.driver->ConnectDrive(options.connection);
    if (result != 0) {
        std::fprintf(stderr, "line_share: station %d: ConnectDrive returned %d\n", station, result);
        plugin.driver->DestroyFree();
        return nullptr;
    }
    return plugin.driver;
}

void readOnce(CDriveBaseClass* driver, const QString& address, Tally& tally)
{
    const int status = driver->ReadVariable(address, UInt16, 1).status;
    if (status == 0)
        ++tally.ok;
    else
        ++tally.failures[status];
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if ((arg == "-p" || arg == "--plugin") && hasValue) {
            options.plugin = QString::fromLocal8Bit(argv[++i]);
        } else if ((arg == "-c" || arg == "--connect") && hasValue) {
            options.connection = QString::fromLocal8Bit(argv[++i]);
        } else if ((arg == "-a" || arg == "--address") && hasValue) {
            options.address = QString::fromLocal8Bit(argv[++i]);
        } else if ((arg == "-n" || arg == "--drivers") && hasValue) {
            options.drivers = std::atoi(argv[++i]);
        } else if ((arg == "-t" || arg == "--seconds") && hasValue) {
            options.seconds = std::atoi(argv[++i]);
        } else if (arg == "--one-thread") {
            options.oneThread = true;
        } else if (arg == "--json") {
            options.json = true;
        } else {
            std::fprintf(stderr, "line_share: unknown or incomplete argument '%s'\n", arg.c_str());
            return false;
        }
    }
    return !options.plugin.isEmpty() && !options.connection.isEmpty() && options.drivers >= 1 &&
           options.drivers <= 247 && options.seconds >= 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::seconds(options.seconds);
    Tally total;
    if (options.oneThread) {
        std::vector<CDriveBaseClass*> drivers;
        for (int station = 1; station <= options.drivers; ++station) {
            if (CDriveBaseClass* driver = makeDriver(options, station))
                drivers.push_back(driver);
            else
                ++total.connectFailures;
        }
        while (!drivers.empty() && Clock::now() < end)
            for (CDriveBaseClass* driver : drivers)
                readOnce(driver, options.address, total);
        for (CDriveBaseClass* driver : drivers) {
            driver->DisConnectDrive();
            driver->DestroyFree();
        }
    } else {
        std::vector<Tally> tallies(static_cast<size_t>(options.drivers));
        std::vector<std::thread> threads;
        for (int station = 1; station <= options.drivers; ++station) {
            threads.emplace_back([&options, &tallies, end, station] {
                Tally& tally = tallies[static_cast<size_t>(station - 1)];
                CDriveBaseClass* driver = makeDriver(options, station);
                if (!driver) {
                    ++tally.connectFailures;
                    return;
                }
                while (Clock::now() < end)
                    readOnce(driver, options.address, tally);
                driver->DisConnectDrive();
                driver->DestroyFree();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (const Tally& tally : tallies)
            total.add(tally);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    long failed = 0;
    std::string byStatus;
    std::string byStatusJson;
    for (const auto& [status, count] : total.failures) {
        failed += count;
        byStatus += " " + std::to_string(status) + ":" + std::to_string(count);
        byStatusJson += (byStatusJson.empty() ? "\"" : ",\"") + std::to_string(status) + "\":" + std::to_string(count);
    }
    const double rate = static_cast<double>(total.ok + failed) / seconds;
    const char* mode = options.oneThread ? "one-thread" : "threads";
    if (options.json) {
        std::printf("{\"drivers\":%d,\"mode\":\"%s\",\"seconds\":%.2f,\"ok\":%ld,\"failed\":%ld,"
                    "\"failures\":{%s},\"connect_failures\":%d,\"reads_per_s\":%.1f,\"ok_per_s\":%.1f}\n",
                    options.drivers, mode, seconds, total.ok, failed, byStatusJson.c_str(), total.connectFailures,
                    rate, static_cast<double>(total.ok) / seconds);
    } else {
        std::printf("drivers %d  %s  %.1f s  ok %ld  failed %ld%s%s  connect failures %d  reads/s %.1f  ok/s %.1f\n",
                    options.drivers, mode, seconds, total.ok, failed, failed ? " (status:count" : "",
                    failed ? (byStatus + ")").c_str() : "", total.connectFailures, rate,
                    static_cast<double>(total.ok) / seconds);
    }
    return failed == 0 && total.connectFailures == 0 ? 0 : 1;
}
