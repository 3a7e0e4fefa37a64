#pragma once

// The common end of the benchmarks' main(): Google Benchmark's command line, then every
// registered benchmark. 1 for an argument it does not know.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QtGlobal>

// Drawing and dialogs need a platform; a run without a display gets the offscreen one.
inline void useOffscreenUnlessAsked()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline int runBenchmarks(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
