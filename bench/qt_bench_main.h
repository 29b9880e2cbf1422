#pragma once

// A benchmark main with the QCoreApplication the drivers' Qt objects need.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#define VANE_BENCHMARK_MAIN() \
    int main(int argc, char** argv) \
    { \
        QCoreApplication app(argc, argv); \
        benchmark::Initialize(&argc, argv); \
        benchmark::RunSpecifiedBenchmarks(); \
        benchmark::Shutdown(); \
        return 0; \
    }
