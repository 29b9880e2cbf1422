// Whole reads and writes through Netvane against a libmodbus server on loopback.
#include "qt_bench_main.h"

#include "tcp/Netvane.h"
#include "tests/support/libmodbus_tcp_peer.h"

namespace {

void tcpRead(benchmark::State& state)
{
    vanetest::LibmodbusTcpPeer peer;
    Netvane driver;
    driver.ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(peer.port()));
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (driver.ReadVariable(QStringLiteral("4x0"), UInt16, count).status != 0)
            state.SkipWithError("read failed");
    state.SetItemsProcessed(state.iterations());
}

void tcpWrite(benchmark::State& state)
{
    vanetest::LibmodbusTcpPeer peer;
    Netvane driver;
    driver.ConnectDrive(QStringLiteral("127.0.0.1:%1").arg(peer.port()));
    CLabelVariable values;
    values.value = QVariant::fromValue(QList<float>{1.5f, 2.5f});
    for (auto _ : state)
        if (driver.WriteVariable(QStringLiteral("4x10"), Float_CDAB, values, 2).status != 0)
            state.SkipWithError("write failed");
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(tcpRead)->Arg(1)->Arg(125)->UseRealTime();
BENCHMARK(tcpWrite)->UseRealTime();

VANE_BENCHMARK_MAIN()
