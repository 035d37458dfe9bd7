#pragma once
// What the benchmarks of windows share: this thread's processor time, and a
// main that runs them on Qt's offscreen platform unless another is set.

#include <QApplication>
#include <benchmark/benchmark.h>

#include <ctime>

namespace typetoki::bench {

// This thread's processor time: unlike the wall clock it does not count the
// moments another program had the core, which on a busy machine swell the
// high percentiles.
inline double ThreadCpuMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) * 1e-3;
}

inline int RunOffscreen(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace typetoki::bench
