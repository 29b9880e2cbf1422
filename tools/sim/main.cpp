// vane-sim: a simulated Modbus device (libmodbus) to run the host program and the driver
// plug-ins against, over Modbus TCP on a loopback port and Modbus RTU on a pty.
//
// Register map (the same table as `vane-sim --map` prints):
//
//   Offsets are zero-based, 0..999 in every area; reads beyond answer exception 02.
//   area   offsets  type             contents
//   4x 3x  0-1      Float_ABCD       123.456               registers 42F6 E979
//   4x 3x  2-3      Float_CDAB       123.456               registers E979 42F6
//   4x 3x  4-5      Float_BADC       123.456               registers F642 79E9
//   4x 3x  6-7      Float_DCBA       123.456               registers 79E9 F642
//   4x 3x  10-11    Int32_ABCD       -123456               registers FFFE 1DC0
//   4x 3x  12-13    Int32_CDAB       -123456               registers 1DC0 FFFE
//   4x 3x  14-15    Int32_BADC       -123456               registers FEFF C01D
//   4x 3x  16-17    Int32_DCBA       -123456               registers C01D FEFF
//   4x 3x  20-21    UInt32_ABCD      3000000000            registers B2D0 5E00
//   4x 3x  22-23    UInt32_CDAB      3000000000            registers 5E00 B2D0
//   4x 3x  24-27    Double_ABCDEFGH  3.141592653589793     registers 4009 21FB 5444 2D18
//   4x 3x  28-31    Double_BADCFEHG  3.141592653589793     registers 0940 FB21 4454 182D
//   4x 3x  32-35    Double_GHEFCDAB  3.141592653589793     registers 2D18 5444 21FB 4009
//   4x 3x  36-39    Double_HGFEDCBA  3.141592653589793     registers 182D 4454 FB21 0940
//   4x 3x  40-43    Int64            -1234567890123        registers FFFF FEE0 8E04 FB35
//   4x 3x  44-47    UInt64           12345678901234567890  registers AB54 A98C EB1F 0AD2
//   4x 3x  48       UInt16           54321                 registers D431
//   4x 3x  49       Int16            -1234                 registers FB2E
//   4x 3x  50       UInt16_BA        54321                 registers 31D4
//   4x 3x  51       Int16_BA         -1234                 registers 2EFB
//   4x 3x  60-63    String           VANE-SIM              registers 5641 4E45 2D53 494D
//   4x     100      UInt16           heartbeat: +1 every second, counting on from a written value
//   4x     200-299  UInt16           scratch registers for writes, 0 at start
//   3x     100      UInt16           seconds since start
//   3x     101-102  UInt32_ABCD      milliseconds since start, updated every second
//   3x     103-104  Float_ABCD       temperature: 20.0 + 0.5 * (seconds mod 20)
//   3x     105      Int16            triangle wave -50..50, 10 per second
//   0x     0-15     Bool             1010 0101 1100 1111 (coil 0 first; bytes A5 F3); writable
//   0x     16-999   Bool             off at start; writable
//   1x     0-99     Bool             on where offset mod 3 == 0
//   1x     100      Bool             blinks: on in odd seconds
//   4x: holding registers (read/write), 3x: input registers, 0x: coils (read/write),
//   1x: discrete inputs. Registers not listed hold 0. TCP answers every unit
//   identifier; RTU answers only the station numbers given with --station, each from
//   tables of its own (TCP serves the first station's).
//
// Startup prints one line per transport to standard output, for scripts:
//   listening tcp 127.0.0.1:15020
//   listening rtu /tmp/demo/ttySim
//   listening clean-tcp 127.0.0.1:15021   (with --clean-tcp-port)
//
// With --faults RATE[,SEED] a seeded share of the answers comes out wrong (see
// fault_injector.h); the counters of what was done go to standard error every minute and
// when the device stops.

#include "tools/sim/fault_injector.h"
#include "tools/sim/line_mirror.h"
#include "tools/sim/rtu_service.h"
#include "tools/sim/sim_map.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/station_tables.h"
#include "tools/sim/tcp_service.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>

using namespace vanesim;

namespace {

int64_t monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct Injectors {
    std::unique_ptr<FaultInjector> tcp;
    std::unique_ptr<FaultInjector> rtu;

    void print() const
    {
        if (tcp)
            tcp->printCounters(std::cerr, "tcp");
        if (rtu)
            rtu->printCounters(std::cerr, "rtu");
    }
};

// Waits for SIGINT or SIGTERM (blocked in every thread) while moving the counters on
// once a second, printing the fault counters once a minute.
void runUntilSignalled(StationTables &tables, const Injectors &faults, const sigset_t &stopSignals)
{
    const int64_t started = monotonicMs();
    for (;;) {
        const int64_t elapsed = monotonicMs() - started;
        if (elapsed / 1000 > 0 && (elapsed / 1000) % 60 == 0 && elapsed % 1000 < 500)
            faults.print();
        tables.tick(elapsed / 1000);
        const int64_t toNextSecond = 1000 - elapsed % 1000;
        const timespec wait{time_t(toNextSecond / 1000), long(toNextSecond % 1000) * 1000000};
        const int signal = sigtimedwait(&stopSignals, nullptr, &wait);
        if (signal == SIGINT || signal == SIGTERM)
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!parseOptions(argc, argv, &options, &error)) {
        std::cerr << "vane-sim: " << error << " (see vane-sim --help)\n";
        return 2;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    if (options.printMap) {
        SimMap::print(std::cout);
        return 0;
    }

    // Blocked before any thread starts, so only sigtimedwait in main ever takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    StationTables tables(options.line.stations);
    SimMap &map = tables.first();
    Injectors faults;
    if (options.faultRate > 0) {
        // One seeded sequence per transport, so that each is reproducible on its own.
        faults.tcp = std::make_unique<FaultInjector>(options.faultRate, options.faultSeed, false);
        faults.rtu = std::make_unique<FaultInjector>(options.faultRate, options.faultSeed + 1, true);
    }
    std::unique_ptr<LineMirror> mirror; // outlives the RTU service it relays for
    std::unique_ptr<TcpService> tcp;
    std::unique_ptr<TcpService> clean;
    std::unique_ptr<RtuService> rtu;
    if (options.tcp) {
        tcp = std::make_unique<TcpService>(map, options.debug, faults.tcp.get());
        if (!tcp->start(uint16_t(options.tcpPort), &error)) {
            std::cerr << "vane-sim: " << error << "\n";
            return 1;
        }
        std::cout << "listening tcp 127.0.0.1:" << tcp->port() << std::endl;
    }
    if (options.rtu) {
        if (!options.mirrorPath.empty()) {
            mirror = std::make_unique<LineMirror>();
            if (!mirror->open(options.mirrorPath, &error)) {
                std::cerr << "vane-sim: " << error << "\n";
                return 1;
            }
        }
        rtu = std::make_unique<RtuService>(tables, options.line, options.debug, faults.rtu.get(), mirror.get());
        if (!rtu->start(options.rtuLink, &error)) {
            std::cerr << "vane-sim: " << error << "\n";
            return 1;
        }
        std::cout << "listening rtu " << rtu->devicePath() << std::endl;
        if (mirror)
            std::cout << "mirror rtu " << mirror->path() << std::endl;
    }
    if (options.cleanTcpPort >= 0) {
        clean = std::make_unique<TcpService>(map, options.debug);
        if (!clean->start(uint16_t(options.cleanTcpPort), &error)) {
            std::cerr << "vane-sim: " << error << "\n";
            return 1;
        }
        std::cout << "listening clean-tcp 127.0.0.1:" << clean->port() << std::endl;
    }
    std::cerr << "vane-sim: station " << stationList(options.line)
              << "; register map: vane-sim --map; stop with Ctrl-C" << std::endl;

    runUntilSignalled(tables, faults, stopSignals);
    rtu.reset();
    tcp.reset();
    clean.reset();
    faults.print();
    std::cerr << "vane-sim: stopped" << std::endl;
    return 0;
}
