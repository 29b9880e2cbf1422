// One client of the side-by-side run: connects, does W warm-up transactions, then N measured
// ones of one operation, and prints one line:
//
//   result <tx/s> <p50 us> <p99 us> <cpu ms> <wall ms> <failures>
//
// With --no-latency the measured loop takes no clock readings, for counting runs (callgrind,
// strace) whose difference between N and 0 measured transactions is the cost of N transactions.
#include "client.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

enum class Op { R10, R125, W1 };

bool once(sbs::Client& client, Op op)
{
    switch (op) {
    case Op::R10: return client.readHolding(10);
    case Op::R125: return client.readHolding(125);
    case Op::W1: return client.writeOne(0x1234);
    }
    return false;
}

// Kept out of line so that a profiler can collect exactly this loop (--toggle-collect=*measuredLoop*).
__attribute__((noinline)) int measuredLoop(sbs::Client& client, Op op, int n, std::vector<double>* latencyUs)
{
    int failures = 0;
    if (!latencyUs) {
        for (int i = 0; i < n; ++i)
            failures += !once(client, op);
        return failures;
    }
    for (int i = 0; i < n; ++i) {
        const Clock::time_point start = Clock::now();
        failures += !once(client, op);
        (*latencyUs)[i] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    }
    return failures;
}

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

bool parseTarget(const char* text, sbs::Target* target)
{
    if (std::strncmp(text, "rtu:", 4) == 0) {
        target->rtu = true;
        target->device = text + 4;
        return !target->device.empty();
    }
    const char* colon = std::strrchr(text, ':');
    if (std::strncmp(text, "tcp:", 4) != 0 || colon == text + 3)
        return false;
    target->host.assign(text + 4, colon);
    target->port = std::atoi(colon + 1);
    return target->port > 0;
}

bool parseOp(const char* text, Op* op)
{
    if (std::strcmp(text, "r10") == 0)
        *op = Op::R10;
    else if (std::strcmp(text, "r125") == 0)
        *op = Op::R125;
    else if (std::strcmp(text, "w1") == 0)
        *op = Op::W1;
    else
        return false;
    return true;
}

int usage()
{
    std::fprintf(stderr, "usage: sbs_client raw|raw-ts|raw-quiet|libmodbus|plugin tcp:HOST:PORT|rtu:DEVICE r10|r125|w1 N\n"
                         "                  [--warmup W] [--no-latency] [--plugin FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // The plug-ins' sockets, serial ports and timers need an application object; the others get
    // one as well, so that every client carries the same start-up.
    QCoreApplication app(argc, argv);
    sbs::Target target;
    Op op;
    if (argc < 5 || !parseTarget(argv[2], &target) || !parseOp(argv[3], &op))
        return usage();
    const std::string kind = argv[1];
    const int n = std::atoi(argv[4]);
    int warmup = 50;
    bool latency = true;
    std::string plugin;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--warmup") == 0 && i + 1 < argc)
            warmup = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--no-latency") == 0)
            latency = false;
        else if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc)
            plugin = argv[++i];
        else
            return usage();
    }

    std::unique_ptr<sbs::Client> client;
    if (kind == "raw" || kind == "raw-ts")
        client = sbs::makeRawClient(target, kind == "raw-ts");
    else if (kind == "raw-quiet" && target.rtu)
        client = sbs::makeRawClient(target, true, true);
    else if (kind == "libmodbus")
        client = sbs::makeLibmodbusClient(target);
    else if (kind == "plugin" && !plugin.empty())
        client = sbs::makePluginClient(plugin, target);
    else
        return usage();
    if (!client)
        return 1;

    int failures = 0;
    for (int i = 0; i < warmup; ++i)
        failures += !once(*client, op);
    std::vector<double> latencyUs(latency ? std::max(n, 1) : 0);
    const double cpuStart = cpuMs();
    const Clock::time_point start = Clock::now();
    failures += measuredLoop(*client, op, n, latency ? &latencyUs : nullptr);
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuSpentMs = cpuMs() - cpuStart;

    double p50 = 0, p99 = 0;
    if (latency && n > 0) {
        std::sort(latencyUs.begin(), latencyUs.begin() + n);
        p50 = latencyUs[n / 2];
        p99 = latencyUs[std::min(n - 1, n * 99 / 100)];
    }
    std::printf("result %.0f %.1f %.1f %.1f %.1f %d\n", wallMs > 0 ? n * 1e3 / wallMs : 0.0, p50, p99, cpuSpentMs,
                wallMs, failures);
    return failures == 0 ? 0 : 1;
}
