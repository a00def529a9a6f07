// The undo history on a 24-megapixel photo, in the picture control: how long
// a quarter turn keeps the interface thread now that its undo file is written
// in the background, what the whole step costs once the file is on disk, and
// an undo that must first wait for that write.
//   QT_QPA_PLATFORM=offscreen build/bench/bench_undo
#include "bench_qt_main.h"
#include "bench_photo.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "picture_control/upce.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Control {
    QTemporaryDir dir;
    uPcE ctl;
    Control() {
        ctl.resize(800, 600);
        ctl.cOn(dir.path() + QStringLiteral("/Wrk/"));
        ctl.SetUsrP(1, QStringLiteral("ｽｹｰﾙ"));
        const quint32 h = engine::PictureStore::instance().add(bench::photo());
        ctl.SetImgHandle(h);
        engine::PictureStore::instance().remove(h);
        ctl.settleUndo();
    }
    void turn() { ctl.pcAct(QStringLiteral("回転"), QStringLiteral("右90度")); }
};

Control& control() {
    static Control c;
    return c;
}

// From the command to the control being done: the undo file is still being written.
void BM_TurnInterfaceThread(benchmark::State& state) {
    Control& c = control();
    for (auto _ : state) {
        c.turn();
        state.PauseTiming();
        c.ctl.settleUndo();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TurnInterfaceThread)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same turn until its undo file is on disk (what the interface thread
// paid for every edit when the file was written there).
void BM_TurnUntilWritten(benchmark::State& state) {
    Control& c = control();
    for (auto _ : state) {
        c.turn();
        c.ctl.settleUndo();
    }
}
BENCHMARK(BM_TurnUntilWritten)->Unit(benchmark::kMillisecond)->Iterations(5);

// Undo at once after a turn: waits for the write, then reads the step before.
void BM_TurnThenUndoAtOnce(benchmark::State& state) {
    Control& c = control();
    for (auto _ : state) {
        c.turn();
        c.ctl.pcAct(QStringLiteral("画像編集"), QStringLiteral("編集を一つ戻す"));
    }
}
BENCHMARK(BM_TurnThenUndoAtOnce)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return bench::runWithApplication(argc, argv); }
