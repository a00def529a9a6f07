#pragma once
// The main of the benchmarks that need widgets: a QApplication on the
// offscreen platform unless another is asked for, then every benchmark.
#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runWithApplication(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
