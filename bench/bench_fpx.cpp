// FlashPix encode and decode of a 24-megapixel photo-sized picture.
// Run: build/bench/bench_fpx
#include "engine/codecs/codecs.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace engine;
using namespace engine::codecs;

namespace {

Picture photo(int w, int h, bool gray) {
    Picture pic;
    pic.bits = gray ? 8 : 24;
    QImage img(w, h, gray ? QImage::Format_Indexed8 : QImage::Format_BGR888);
    if (gray)
        img.setColorTable(grayTable(256));
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int v = int(128 + 60 * std::sin(x / 37.0) + 50 * std::cos(y / 23.0)) & 255;
            if (gray) {
                row[x] = uchar(v);
            } else {
                row[3 * x] = uchar(v);
                row[3 * x + 1] = uchar((x + y) & 255);
                row[3 * x + 2] = uchar((v + x / 5) & 255);
            }
        }
    }
    pic.image = img;
    return pic;
}

void BM_FpxEncode(benchmark::State& state) {
    const Picture pic = photo(6000, 4000, state.range(0) != 0);
    EncodeOptions opt;
    opt.jpegQuality = 85;
    for (auto _ : state) {
        QByteArray out;
        Error err = Error::None;
        if (!encode(Fpx, pic, opt, out, err))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
        state.counters["MB"] = double(out.size()) / 1e6;
    }
}

void BM_FpxDecode(benchmark::State& state) {
    QByteArray bytes;
    Error err = Error::None;
    EncodeOptions opt;
    opt.jpegQuality = 85;
    encode(Fpx, photo(6000, 4000, state.range(0) != 0), opt, bytes, err);
    for (auto _ : state) {
        Decoded d;
        if (!decode(bytes, d, err))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(d.picture.image.constBits());
    }
}

}  // namespace

BENCHMARK(BM_FpxEncode)->Arg(0)->Arg(1)->ArgName("gray")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FpxDecode)->Arg(0)->Arg(1)->ArgName("gray")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
