#pragma once
// The main of the benchmarks that need widgets: a QApplication on the
// offscreen platform unless another is asked for, then every benchmark.
#include "platform/large_pages.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace bench {

inline int runWithApplication(int argc, char** argv) {
    platform::restartWithLargePages(argv);  // as the program runs
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench
