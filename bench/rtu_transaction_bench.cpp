// Whole reads through Serivane against a libmodbus RTU server on a pseudo-terminal pair: no wire
// time, but the inter-frame silence of the configured rate still separates the requests.
#include "qt_bench_main.h"

#include "rtu/Serivane.h"
#include "tests/support/libmodbus_rtu_peer.h"
#include "tests/support/pty_pair.h"

namespace {

void rtuRead(benchmark::State& state)
{
    const int baud = static_cast<int>(state.range(1));
    vanetest::PtyPair pty;
    vanetest::LibmodbusRtuPeer peer(pty.pathB(), 1, baud);
    Serivane driver;
    driver.ConnectDrive(QStringLiteral("%1,%2,8,1,N").arg(QString::fromStdString(pty.pathA())).arg(baud));
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (driver.ReadVariable(QStringLiteral("4x0"), UInt16, count).status != 0)
            state.SkipWithError("read failed");
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(rtuRead)->Args({1, 9600})->Args({1, 115200})->Args({125, 115200})->UseRealTime();

VANE_BENCHMARK_MAIN()
