// Decoding and encoding a full read's worth of registers (125 registers, the Modbus maximum).
#include <benchmark/benchmark.h>

#include "codecs/type_codecs.h"

namespace {

QByteArray registerBytes(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>(i * 37 + 11);
    return data;
}

void decodeRegisters(benchmark::State& state, DataType type)
{
    const vane::codecs::TypeCodec codec = vane::codecs::codecFor(type);
    const QByteArray data = registerBytes(250);
    const int n = 250 / codec.width;
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.decode(data, n));
    state.SetItemsProcessed(state.iterations() * n);
}

void encodeRegisters(benchmark::State& state, DataType type)
{
    const vane::codecs::TypeCodec codec = vane::codecs::codecFor(type);
    const int n = 250 / codec.width;
    CLabelVariable record;
    record.value = codec.decode(registerBytes(250), n);
    for (auto _ : state) {
        QByteArray out;
        codec.encode(record, n, &out);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void decodeCoils(benchmark::State& state)
{
    const vane::codecs::TypeCodec codec = vane::codecs::codecFor(Bool);
    const QByteArray data = registerBytes(250);
    for (auto _ : state)
        benchmark::DoNotOptimize(codec.decode(data, 2000));
    state.SetItemsProcessed(state.iterations() * 2000);
}

} // namespace

BENCHMARK_CAPTURE(decodeRegisters, Int16, Int16);
BENCHMARK_CAPTURE(decodeRegisters, Float_CDAB, Float_CDAB);
BENCHMARK_CAPTURE(decodeRegisters, Double_GHEFCDAB, Double_GHEFCDAB);
BENCHMARK_CAPTURE(encodeRegisters, Float_CDAB, Float_CDAB);
BENCHMARK_CAPTURE(encodeRegisters, Double_GHEFCDAB, Double_GHEFCDAB);
BENCHMARK(decodeCoils);
