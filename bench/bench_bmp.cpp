// BMP speed on a 6000 x 4000 24-bit photo-like picture (the undo-file case):
// encode, decode and the whole saveFile, each beside a plain memcpy of the
// same number of bytes measured in the same run.
#include "bench_photo.h"
#include "engine/codecs/codecs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

using namespace engine;
using namespace engine::codecs;

namespace {


const Picture& photo() { return bench::photo(); }

const QByteArray& encodedPhoto() {
    static const QByteArray bytes = [] {
        QByteArray out;
        Error err;
        encodeBmp(photo(), EncodeOptions(), out, err);
        return out;
    }();
    return bytes;
}

void BM_EncodeBmp24(benchmark::State& state) {
    const Picture& pic = photo();
    for (auto _ : state) {
        QByteArray out;
        Error err;
        if (!encodeBmp(pic, EncodeOptions(), out, err))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * encodedPhoto().size());
}

void BM_DecodeBmp24(benchmark::State& state) {
    const QByteArray& bytes = encodedPhoto();
    for (auto _ : state) {
        Decoded d;
        Error err;
        if (!decodeBmp(bytes, d, err))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(d.picture.image.constBits());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_SaveFileBmp24(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("$$Undo001.bmp");
    const Picture& pic = photo();
    for (auto _ : state) {
        Error err;
        if (!saveFile(path, Bmp, pic, EncodeOptions(), err))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * encodedPhoto().size());
}

// The floor for the save: the encoded bytes written through QFile alone.
void BM_WriteFileSameBytes(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("raw.bmp");
    const QByteArray& bytes = encodedPhoto();
    for (auto _ : state) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// memcpy of the file's size into a buffer reused from one iteration to the next.
void BM_MemcpySameBytes(benchmark::State& state) {
    const QByteArray& src = encodedPhoto();
    QByteArray dst(src.size(), '\0');
    for (auto _ : state) {
        memcpy(dst.data(), src.constData(), size_t(src.size()));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}

// memcpy of the file's size into a new buffer each time, as an encoder must.
void BM_MemcpySameBytesFreshBuffer(benchmark::State& state) {
    const QByteArray& src = encodedPhoto();
    for (auto _ : state) {
        QByteArray dst(src.size(), Qt::Uninitialized);
        memcpy(dst.data(), src.constData(), size_t(src.size()));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}

}  // namespace

BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MemcpySameBytesFreshBuffer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncodeBmp24)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DecodeBmp24)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteFileSameBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveFileBmp24)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
