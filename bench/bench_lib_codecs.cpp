// The library codecs on a 6000 x 4000 photo-like picture, with bare
// libjpeg-turbo beside our JPEG paths to show what the wrapping costs.
//   build/bench/bench_lib_codecs --benchmark_filter=Jpeg
#include "bench_photo.h"
#include "engine/codecs/codecs.h"


#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

using namespace engine;
using namespace engine::codecs;

namespace {

constexpr int kW = 6000, kH = 4000;

const Picture& photo() { return bench::photo(); }

const Picture& palettePhoto() {
    static const Picture pic = [] {
        Picture p = photo();
        QImage idx = p.image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        return makePicture(idx, 8);
    }();
    return pic;
}

QByteArray encoded(Format f, const Picture& pic) {
    QByteArray out;
    Error err;
    EncodeOptions opt;
    opt.jpegQuality = 85;
    encode(f, pic, opt, out, err);
    return out;
}

void encodeBench(benchmark::State& state, Format f, const Picture& pic) {
    EncodeOptions opt;
    opt.jpegQuality = 85;
    for (auto _ : state) {
        QByteArray out;
        Error err;
        if (!encode(f, pic, opt, out, err))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
}

void decodeBench(benchmark::State& state, const QByteArray& bytes) {
    for (auto _ : state) {
        Decoded d;
        Error err;
        if (!decode(bytes, d, err))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(d.picture.image.constBits());
    }
}

void BM_JpegEncode(benchmark::State& s) { encodeBench(s, Jpeg, photo()); }
void BM_JpegDecode(benchmark::State& s) { decodeBench(s, encoded(Jpeg, photo())); }

// The same file with an EXIF orientation 6: the decode plus the quarter turn.
void BM_JpegDecodeTurned(benchmark::State& s) {
    QByteArray jpeg = encoded(Jpeg, photo());
    const QByteArray app1 = QByteArray("\xFF\xE1\x00\x22" "Exif\0\0" "MM\0\x2A\0\0\0\x08\0\x01" "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0" "\0\0\0\0", 36);
    jpeg = jpeg.left(2) + app1 + jpeg.mid(2);
    decodeBench(s, jpeg);
}

// Bare libjpeg-turbo: the same file decoded into one malloc'd BGR buffer.
void BM_LibjpegTurboDecode(benchmark::State& state) {
    const QByteArray bytes = encoded(Jpeg, photo());
    for (auto _ : state) {
        std::vector<unsigned char> buf(size_t(kW) * kH * 3);  // a fresh picture each time, as a load makes
        jpeg_decompress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = buf.data() + size_t(c.output_scanline) * kW * 3;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        benchmark::DoNotOptimize(buf.data());
    }
}

void BM_LibjpegTurboEncode(benchmark::State& state) {
    const QImage& img = photo().image;
    for (auto _ : state) {
        jpeg_compress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = kW;
        c.image_height = kH;
        c.input_components = 3;
        c.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 85, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(img.constScanLine(int(c.next_scanline)));
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        free(out);
        benchmark::DoNotOptimize(size);
    }
}

void BM_PngEncode24(benchmark::State& s) { encodeBench(s, Png, photo()); }
void BM_PngDecode24(benchmark::State& s) { decodeBench(s, encoded(Png, photo())); }
void BM_TiffEncode24(benchmark::State& s) { encodeBench(s, Tiff, photo()); }
void BM_TiffDecode24(benchmark::State& s) { decodeBench(s, encoded(Tiff, photo())); }
void BM_GifEncode8(benchmark::State& s) { encodeBench(s, Gif, palettePhoto()); }
void BM_GifDecode8(benchmark::State& s) { decodeBench(s, encoded(Gif, palettePhoto())); }
// The newer formats at the program's quality 85 (JPEG 2000 lossless).
void BM_WebpEncode24(benchmark::State& s) { encodeBench(s, WebP, photo()); }
void BM_WebpDecode24(benchmark::State& s) { decodeBench(s, encoded(WebP, photo())); }
void BM_AvifEncode24(benchmark::State& s) { encodeBench(s, Avif, photo()); }
void BM_AvifDecode24(benchmark::State& s) { decodeBench(s, encoded(Avif, photo())); }
void BM_HeicEncode24(benchmark::State& s) { encodeBench(s, Heif, photo()); }
void BM_HeicDecode24(benchmark::State& s) { decodeBench(s, encoded(Heif, photo())); }
void BM_JxlEncode24(benchmark::State& s) { encodeBench(s, Jxl, photo()); }
void BM_JxlDecode24(benchmark::State& s) { decodeBench(s, encoded(Jxl, photo())); }
void BM_Jp2Encode24(benchmark::State& s) { encodeBench(s, Jp2, photo()); }
void BM_Jp2Decode24(benchmark::State& s) { decodeBench(s, encoded(Jp2, photo())); }

}  // namespace

BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LibjpegTurboDecode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_JpegDecodeTurned)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LibjpegTurboEncode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PngEncode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PngDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TiffEncode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TiffDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_GifEncode8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_GifDecode8)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WebpEncode24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WebpDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AvifEncode24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AvifDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_HeicEncode24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HeicDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_JxlEncode24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_JxlDecode24)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Jp2Encode24)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Jp2Decode24)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
