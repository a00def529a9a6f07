// The colour panel on a 24-megapixel photo: one preview rebuild (copy of the
// control's picture, conversion, display) per option, and the inversion.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_colour_panel
#include "bench_qt_main.h"
#include "bench_photo.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "main_window/fm_main.h"
#include "picture_control/upce.h"
#include "startup/usr.h"

#include <QApplication>
#include <QRadioButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace {

engine::Picture photo() { return bench::photo(); }

struct Panel {
    QTemporaryDir dir;
    fmMain window;
    Panel() {
        Usr::sUsrFd = dir.path() + QStringLiteral("/");
        Usr::bRun = true;
        window.appEnd = [] {};
        window.load({});
        window.control().ikImg().SetImageHandle(engine::PictureStore::instance().add(photo()));
    }
};

Panel& panel() {
    static Panel p;
    return p;
}

void BM_PreviewRebuild(benchmark::State& state) {
    Panel& p = panel();
    const int option = int(state.range(0));
    p.window.opColor(option)->setChecked(true);
    for (auto _ : state)
        p.window.ColPrev();
    state.SetLabel(p.window.opColor(option)->text().toStdString());
}
// 白黒, 16 colours, 16 greys, 256 colours, 256 greys, 24 bits
BENCHMARK(BM_PreviewRebuild)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InvertPreview(benchmark::State& state) {
    Panel& p = panel();
    p.window.opColor(6)->setChecked(true);
    p.window.ColPrev();
    for (auto _ : state)
        p.window.cmRvcClick();
}
BENCHMARK(BM_InvertPreview)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return bench::runWithApplication(argc, argv); }
