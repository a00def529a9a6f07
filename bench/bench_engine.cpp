// Engine benchmarks on a 6000 x 4000 24-bit photo-like picture: every codec
// (encode and decode in memory), every depth conversion, the geometric edits,
// the inversion and the undo-file write, each beside a plain memcpy of the
// picture's bytes measured in the same run.
//
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel -j2 --target bench_engine
//   build-rel/bench/bench_engine
#include "bench_photo.h"
#include "engine/codecs/codecs.h"
#include "engine/ops/ops.h"
#include "engine/ops/pixels.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstring>
#include <map>
#include <vector>

using engine::Picture;
namespace ops = engine::ops;
namespace codecs = engine::codecs;

namespace {

constexpr int kW = 6000, kH = 4000;

const Picture& photo() { return bench::photo(); }

// The picture at a depth a format can hold (GIF needs a palette).
const Picture& photoAt(int code) {
    static std::map<int, Picture> cache;
    auto it = cache.find(code);
    if (it == cache.end()) {
        Picture p = photo();
        ops::convertDepth(p, code, false, 128);
        it = cache.emplace(code, p).first;
    }
    return it->second;
}

void BM_Memcpy(benchmark::State& state) {
    const Picture& src = photo();
    const size_t bytes = size_t(src.image.sizeInBytes());
    std::vector<uchar> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.image.constBits(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(bytes));
}

// The same copy into a freshly allocated picture, as every operation that
// makes a new picture must do: the first touch of new memory is part of it.
void BM_MemcpyNewPicture(benchmark::State& state) {
    const Picture& src = photo();
    const size_t bytes = size_t(src.image.sizeInBytes());
    for (auto _ : state) {
        QImage out = engine::ops::detail::allocImage(kW, kH, QImage::Format_BGR888);
        std::memcpy(out.bits(), src.image.constBits(), bytes);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(bytes));
}

// ---- codecs ------------------------------------------------------------------

int depthFor(codecs::Format f) { return f == codecs::Gif ? 8 : 24; }

void BM_Encode(benchmark::State& state) {
    const auto format = codecs::Format(state.range(0));
    const Picture& src = photoAt(depthFor(format));
    codecs::EncodeOptions opt;
    for (auto _ : state) {
        QByteArray out;
        engine::Error err = engine::Error::None;
        if (!codecs::encode(format, src, opt, out, err)) {
            state.SkipWithError(qPrintable(QStringLiteral("encode failed: %1").arg(engine::errorText(err))));
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_Decode(benchmark::State& state) {
    const auto format = codecs::Format(state.range(0));
    QByteArray data;
    engine::Error err = engine::Error::None;
    if (!codecs::encode(format, photoAt(depthFor(format)), codecs::EncodeOptions(), data, err)) {
        state.SkipWithError(qPrintable(QStringLiteral("encode failed: %1").arg(engine::errorText(err))));
        return;
    }
    for (auto _ : state) {
        codecs::Decoded out;
        if (!codecs::decode(data, out, err)) {
            state.SkipWithError(qPrintable(QStringLiteral("decode failed: %1").arg(engine::errorText(err))));
            break;
        }
        benchmark::DoNotOptimize(out.picture.image.constBits());
    }
}

void formats(benchmark::internal::Benchmark* b) {
    for (int f : {codecs::Bmp, codecs::Jpeg, codecs::Gif, codecs::Tiff, codecs::Png, codecs::Fpx, codecs::Pcx})
        b->Arg(f);
}

// The undo history writes a BMP file after every edit.
void BM_UndoFileWrite(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("$$Undo001.bmp"));
    for (auto _ : state) {
        engine::Error err = engine::Error::None;
        if (!codecs::saveFile(path, codecs::Bmp, photo(), codecs::EncodeOptions(), err)) {
            state.SkipWithError(qPrintable(QStringLiteral("save failed: %1").arg(engine::errorText(err))));
            break;
        }
    }
}

// ---- operations --------------------------------------------------------------

template <class Op>
void runOp(benchmark::State& state, Op op) {
    const Picture& src = photo();
    for (auto _ : state) {
        Picture p = src;  // shares the pixels until the operation writes
        if (!op(p)) {
            state.SkipWithError("operation failed");
            break;
        }
        benchmark::DoNotOptimize(p.image.constBits());
    }
}

void BM_ConvertDepth(benchmark::State& state) {
    const int code = int(state.range(0));
    const bool dither = state.range(1) != 0;
    runOp(state, [&](Picture& p) { return ops::convertDepth(p, code, dither, 128); });
}

void depthCodes(benchmark::internal::Benchmark* b) {
    for (int code : {1, 4, 40, 8, 80, 16, 32})
        b->Args({code, 0});
    b->Args({4, 1});
    b->Args({8, 1});
}

void BM_ResizeHalf(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::resize(p, kW / 2, kH / 2); });
}
void BM_Rotate90(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 9000, false, false, true, Qt::white); });
}
void BM_Rotate270(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 27000, false, false, true, Qt::white); });
}
void BM_Rotate180(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 18000, false, false, true, Qt::white); });
}
void BM_MirrorLeftRight(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 0, true, false, true, Qt::white); });
}
void BM_MirrorTopBottom(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 0, false, true, true, Qt::white); });
}
void BM_RotateFree(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::rotate(p, 1000, false, false, true, Qt::white); });
}
void BM_TrimQuarter(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::trim(p, kW / 4, kH / 4, kW * 3 / 4, kH * 3 / 4); });
}
void BM_InvertQuarter(benchmark::State& state) {
    const QPolygon quarter({QPoint(kW / 4, kH / 4), QPoint(kW * 3 / 4, kH / 4), QPoint(kW * 3 / 4, kH * 3 / 4),
                            QPoint(kW / 4, kH * 3 / 4)});
    runOp(state, [&](Picture& p) { return ops::invertChannels(p, false, quarter, false, false, true); });
}
void BM_InvertWhole(benchmark::State& state) {
    runOp(state, [](Picture& p) { return ops::invertChannels(p, true, QPolygon(), true, true, true); });
}
void BM_ConvertTo24From8(benchmark::State& state) {
    const Picture& src = photoAt(8);
    for (auto _ : state) {
        Picture p = src;
        ops::convertTo24(p);
        benchmark::DoNotOptimize(p.image.constBits());
    }
}

}  // namespace

// Wall time is what the user waits for; the CPU column is the whole process
// (every thread), which stays meaningful when other work shares the machine.
#define ENGINE_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()

ENGINE_BENCH(BM_Memcpy);
ENGINE_BENCH(BM_MemcpyNewPicture);
ENGINE_BENCH(BM_Encode)->Apply(formats);
ENGINE_BENCH(BM_Decode)->Apply(formats);
ENGINE_BENCH(BM_UndoFileWrite);
ENGINE_BENCH(BM_ConvertDepth)->Apply(depthCodes);
ENGINE_BENCH(BM_ConvertTo24From8);
ENGINE_BENCH(BM_ResizeHalf);
ENGINE_BENCH(BM_Rotate90);
ENGINE_BENCH(BM_Rotate270);
ENGINE_BENCH(BM_Rotate180);
ENGINE_BENCH(BM_MirrorLeftRight);
ENGINE_BENCH(BM_MirrorTopBottom);
ENGINE_BENCH(BM_RotateFree);
ENGINE_BENCH(BM_TrimQuarter);
ENGINE_BENCH(BM_InvertQuarter);
ENGINE_BENCH(BM_InvertWhole);
ENGINE_BENCH(BM_Memcpy);
ENGINE_BENCH(BM_MemcpyNewPicture);

BENCHMARK_MAIN();
