#include "engine/codecs/jpeg_lossless.h"

#include "engine/codecs/codec_support.h"

#include <turbojpeg.h>
#include <utility>

namespace engine::codecs {

namespace {

int transformOf(const PixelMove& m) {
    if (!m.mirror) {
        static constexpr int turns[4] = {TJXOP_NONE, TJXOP_ROT90, TJXOP_ROT180, TJXOP_ROT270};
        return turns[m.quarterTurns & 3];
    }
    static constexpr int mirrored[4] = {TJXOP_HFLIP, TJXOP_TRANSVERSE, TJXOP_VFLIP, TJXOP_TRANSPOSE};
    return mirrored[m.quarterTurns & 3];
}

// Whether an edge at position pos of a side of the given length lies on the grid.
bool onGrid(int pos, int length, int block) { return pos % block == 0 || pos == length; }

struct Transformer {
    tjhandle handle = tjInitTransform();
    unsigned char* buffer = nullptr;  // the newest result, owned
    unsigned long size = 0;
    ~Transformer() {
        if (buffer)
            tjFree(buffer);
        if (handle)
            tjDestroy(handle);
    }

    bool header(const unsigned char* data, unsigned long n, int& width, int& height, int& subsampling,
                int& colourspace) {
        return tjDecompressHeader3(handle, data, n, &width, &height, &subsampling, &colourspace) == 0;
    }

    // One move and cut of the current data into a new buffer.
    bool apply(const unsigned char* data, unsigned long n, const tjtransform& t) {
        unsigned char* out = nullptr;
        unsigned long outSize = 0;
        tjtransform copy = t;
        if (tjTransform(handle, data, n, 1, &out, &outSize, &copy, 0) != 0) {
            if (out)
                tjFree(out);
            return false;
        }
        if (buffer)
            tjFree(buffer);
        buffer = out;
        size = outSize;
        return true;
    }
};

// The file with a COM segment holding the comment, after its JFIF segment.
QByteArray withComment(QByteArray file, const QByteArray& comment) {
    if (comment.isEmpty())
        return file;
    qsizetype at = 2;
    if (file.size() >= 6 && uchar(file[2]) == 0xFF && uchar(file[3]) == 0xE0)
        at = 4 + ((uchar(file[4]) << 8) | uchar(file[5]));
    if (at > file.size())
        return file;
    const int length = int(comment.size()) + 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(0xFE)).append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(comment);
    file.insert(at, segment);
    return file;
}

}  // namespace

bool encodeJpegLosslessly(const Picture& pic, const EncodeOptions& opt, QByteArray& out) {
    const Lineage& lineage = pic.lineage;
    if (lineage.jpegFile.isEmpty() || lineage.reworked || lineage.pixelsKey != pic.image.cacheKey())
        return false;
    Transformer tj;
    if (!tj.handle)
        return false;
    auto data = reinterpret_cast<const unsigned char*>(lineage.jpegFile.constData());
    unsigned long size = static_cast<unsigned long>(lineage.jpegFile.size());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!tj.header(data, size, width, height, subsampling, colourspace))
        return false;
    if ((colourspace != TJCS_YCbCr && colourspace != TJCS_GRAY) || subsampling < 0 || subsampling >= TJ_NUMSAMP)
        return false;  // CMYK and unusual samplings are encoded again
    // With no step at all the file is still passed through once, which
    // leaves its old markers behind.
    QList<GeometryStep> steps = lineage.steps;
    if (steps.isEmpty())
        steps.append(GeometryStep());
    for (const GeometryStep& step : steps) {
        // The block grid as it lies after the move (a turn swaps its sides).
        if (!tj.header(data, size, width, height, subsampling, colourspace) || subsampling < 0 ||
            subsampling >= TJ_NUMSAMP)
            return false;
        int blockW = tjMCUWidth[subsampling], blockH = tjMCUHeight[subsampling];
        if (step.move.swapsSides()) {
            std::swap(width, height);
            std::swap(blockW, blockH);
        }
        tjtransform t{};
        t.op = transformOf(step.move);
        t.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
        if (!step.crop.isNull()) {
            const QRect& c = step.crop;
            if (c.x() < 0 || c.y() < 0 || c.width() <= 0 || c.height() <= 0 || c.x() + c.width() > width ||
                c.y() + c.height() > height)
                return false;
            if (!onGrid(c.x(), width, blockW) || !onGrid(c.y(), height, blockH) ||
                !onGrid(c.x() + c.width(), width, blockW) || !onGrid(c.y() + c.height(), height, blockH))
                return false;
            t.options |= TJXOPT_CROP;
            t.r = tjregion{c.x(), c.y(), c.width(), c.height()};
        }
        if (!tj.apply(data, size, t))
            return false;
        data = tj.buffer;
        size = tj.size;
    }
    if (!tj.header(data, size, width, height, subsampling, colourspace) || width != pic.width() ||
        height != pic.height())
        return false;
    out = withComment(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                      support::encodeComment(opt.comment, 65533));
    return true;
}

}  // namespace engine::codecs
