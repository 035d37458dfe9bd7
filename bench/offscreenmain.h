#pragma once
// The main of a benchmark that opens windows: no display needed, unless the
// caller names a platform of its own.

#include <QApplication>
#include <benchmark/benchmark.h>

#define TYPETOKI_OFFSCREEN_BENCHMARK_MAIN()                                  \
    int main(int argc, char **argv)                                        \
    {                                                                      \
        benchmark::Initialize(&argc, argv);                                \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                \
            qputenv("QT_QPA_PLATFORM", "offscreen");                       \
        QApplication app(argc, argv);                                      \
        benchmark::RunSpecifiedBenchmarks();                               \
        benchmark::Shutdown();                                             \
        return 0;                                                          \
    }
