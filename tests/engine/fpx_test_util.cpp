#include "fpx_test_util.h"

#include "engine/codecs/fpx_format.h"

#include <cmath>

using namespace engine::codecs::fpx;

namespace fpxtest {

engine::Picture smoothPicture(int width, int height, bool gray) {
    engine::Picture pic;
    pic.bits = gray ? 8 : 24;
    QImage img(width, height, gray ? QImage::Format_Indexed8 : QImage::Format_BGR888);
    if (gray)
        img.setColorTable(engine::grayTable(256));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x - width * 0.4, dy = y - height * 0.6;
            const double blob = 70.0 * std::exp(-(dx * dx + dy * dy) / (2.0 * 30.0 * 30.0));
            const int r = int(40 + 120.0 * x / std::max(1, width - 1) + blob);
            const int g = int(60 + 90.0 * y / std::max({1, width - 1, height - 1}) + 30 * std::sin(x / 23.0));
            const int b = int(200 - 100.0 * (x + y) / std::max(1, width + height - 2) + blob / 2);
            if (gray)
                img.setPixel(x, y, uint(std::clamp((r * 299 + g * 587 + b * 114) / 1000, 0, 255)));
            else
                img.setPixel(x, y, qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255)));
        }
    }
    pic.image = img;
    return pic;
}

static void copyTree(const OleReader& in, OleWriter& out, const QStringList& from, const QStringList& to,
                     const QStringList& target, const std::function<bool(QByteArray&)>& edit) {
    for (const QString& name : in.children(from)) {
        const QStringList path = from + QStringList{name};
        if (in.isStorage(path)) {
            Guid id{};
            in.classId(path, id);
            const QStringList made = out.addStorage(to, name, id);
            copyTree(in, out, path, made, target, edit);
        } else {
            QByteArray data;
            in.readStream(path, 1 << 30, data);
            if (path == target && !edit(data))
                continue;
            out.addStream(to, name, data);
        }
    }
}

QByteArray rewriteStream(const QByteArray& file, const QStringList& path,
                         const std::function<bool(QByteArray&)>& edit) {
    OleReader in(file);
    OleWriter out;
    Guid root{};
    in.classId({}, root);
    out.setRootClassId(root);
    copyTree(in, out, {}, {}, path, edit);
    QByteArray bytes;
    out.finish(bytes);
    return bytes;
}

quint32 get32(const QByteArray& b, qsizetype off) {
    const auto* p = reinterpret_cast<const uchar*>(b.constData()) + off;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void set32(QByteArray& b, qsizetype off, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[off + i] = char(v >> (8 * i));
}

QStringList objectPath(const QString& name) { return {imageObjectName(1), name}; }

QStringList levelPath(int level, const char* stream) {
    return {imageObjectName(1), resolutionName(level), QLatin1String(stream)};
}

}  // namespace fpxtest
