// The view on a 6000 x 4000 24-bit photo: building the scaled rendition (the
// strategies compared), the visible part at actual size, and painting the view
// once the rendition is cached.
#include "bench_qt_main.h"
#include "bench_photo.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "engine/view_rendition.h"

#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>

using namespace engine;

namespace {

const QSize kScreen(1500, 1000);  // the view of a maximised window, scale to fit

const QImage& photo() { return bench::photo().image; }

void BM_ScaleSmoothDirect(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(photo().scaled(kScreen, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}
BENCHMARK(BM_ScaleSmoothDirect)->Unit(benchmark::kMillisecond);

void BM_ScaleFast(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(photo().scaled(kScreen, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}
BENCHMARK(BM_ScaleFast)->Unit(benchmark::kMillisecond);

// What the view does: sampled to twice the size, then smoothed.
void BM_ScaleForView(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(scaleForView(photo(), kScreen));
}
BENCHMARK(BM_ScaleForView)->Unit(benchmark::kMillisecond);

// Actual size: only the visible part and its margin are converted.
void BM_RenditionActualSizeVisible(benchmark::State& state) {
    const QRect visible(2000, 1500, kScreen.width() + 2 * kRenditionMargin, kScreen.height() + 2 * kRenditionMargin);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderRendition(photo(), photo().size(), visible));
}
BENCHMARK(BM_RenditionActualSizeVisible)->Unit(benchmark::kMillisecond);

// A repaint of the whole view with the rendition cached (a selection drag).
void BM_ViewRepaintCached(benchmark::State& state) {
    ImageEngine view;
    view.resize(kScreen);
    view.SetImageHandle(PictureStore::instance().add(Picture{photo(), 24}));
    view.ApplyDispMode(int(state.range(0)));
    QImage target(kScreen, QImage::Format_RGB32);
    view.render(&target);  // builds the rendition
    for (auto _ : state) {
        view.SetSelRight(view.SelRight() + 1);
        view.render(&target);
    }
}
BENCHMARK(BM_ViewRepaintCached)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// The first paint after a new picture: the rendition is built.
void BM_ViewFirstPaint(benchmark::State& state) {
    ImageEngine view;
    view.resize(kScreen);
    view.ApplyDispMode(int(state.range(0)));
    QImage target(kScreen, QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        Picture p{photo().copy(), 24};
        view.SetImageHandle(PictureStore::instance().add(p));
        state.ResumeTiming();
        view.render(&target);
    }
}
BENCHMARK(BM_ViewFirstPaint)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithApplication(argc, argv); }
