// The File object: loading, file information and saving through the codecs.
#include "engine/codecs/codecs.h"
#include "engine/codecs/jpeg_reduced.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "platform/prompt.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <thread>

namespace engine {

namespace {

struct Stamp {
    qint64 size = -1;
    qint64 time = 0;
};

Stamp fileStamp(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.isFile())
        return Stamp();
    return Stamp{fi.size(), fi.lastModified().toMSecsSinceEpoch()};
}

bool decodeCaught(const QString& path, codecs::Decoded& d, Error& err) {
    try {
        return codecs::decodeFile(path, d, err);
    } catch (const std::bad_alloc&) {
        err = Error::OutOfMemory;
        return false;
    }
}

// A JPEG file at least this big may be worth a stand-in.
constexpr qint64 kStandInFileBytes = 512 * 1024;

// Decodes a big JPEG on a second thread while a reduced decode of it is shown
// in the view; returns when the whole picture is decoded, so nothing but the
// view ever sees the reduced one. Other files decode as usual.
bool decodeShowingStandIn(ImageEngine& engine, const QString& path, codecs::Decoded& d, Error& err) {
    const QFileInfo info(path);
    QFile f(path);
    if (!engine.isVisible() || !info.isFile() || info.size() < kStandInFileBytes || !f.open(QIODevice::ReadOnly) ||
        codecs::detectFormat(f.peek(16)) != codecs::Jpeg)
        return decodeCaught(path, d, err);
    bool ok = false;
    std::thread full([&] { ok = decodeCaught(path, d, err); });
    try {
        QSize fullSize;
        const QImage reduced = codecs::decodeJpegReduced(f.readAll(), engine.size(), fullSize);
        f.close();
        engine.showStandIn(reduced, fullSize);
    } catch (...) {
        // no stand-in: the picture appears when it is decoded
    }
    full.join();
    return ok;
}

// Decodes a file inside long-operation events; a failure leaves err set (never
// None) and d without a picture.
bool decodeReported(ImageEngine& engine, const QString& path, codecs::Decoded& d, Error& err) {
    engine.beginLongOperation(true);
    const bool ok = decodeShowingStandIn(engine, path, d, err);
    engine.endLongOperation();
    if (ok && !d.picture.isNull())
        return true;
    if (err == Error::None)
        err = Error::Damaged;
    return false;
}

}  // namespace

bool EngineFile::LoadFile(int) {
    codecs::Decoded d;
    Error err = Error::None;
    const Stamp stamp = fileStamp(FileName);
    Partial = false;
    if (!decodeReported(engine_, FileName, d, err)) {
        // The picture shown stays as it was: a bad file never costs the user theirs.
        engine_.dropStandIn();
        engine_.setError(err);
        return false;
    }
    Comment = d.comment;
    Partial = d.partial;
    InfoWidth = d.picture.width();
    InfoHeight = d.picture.height();
    InfoBits = d.picture.bits;
    loadedPath_ = FileName;
    loadedSize_ = stamp.size;
    loadedTime_ = stamp.time;
    loadedComment_ = d.comment;
    InfoFormat = int(d.format);
    engine_.replaceCurrent(std::move(d.picture));
    engine_.setError(Error::None);
    return true;
}

bool EngineFile::LoadFileInfo() {
    const Stamp stamp = fileStamp(FileName);
    if (FileName == loadedPath_ && stamp.size == loadedSize_ && stamp.time == loadedTime_ && stamp.size >= 0) {
        // Just loaded: the picture in memory already says it all.
        const Picture* p = engine_.current();
        if (p && p->width() == InfoWidth && p->height() == InfoHeight) {
            Comment = loadedComment_;
            engine_.setError(Error::None);
            return true;
        }
    }
    codecs::Decoded d;
    Error err = Error::None;
    if (!decodeReported(engine_, FileName, d, err)) {
        engine_.setError(err);
        return false;
    }
    InfoWidth = d.picture.width();
    InfoHeight = d.picture.height();
    InfoBits = d.picture.bits;
    InfoFormat = int(d.format);
    Comment = d.comment;
    engine_.setError(Error::None);
    return true;
}

bool EngineFile::SaveFile(int formatCode, quint32 handle) {
    const Picture* p = handle ? PictureStore::instance().find(handle) : engine_.current();
    if (!p) {
        engine_.setError(handle ? Error::BadHandle : Error::NoPicture);
        return false;
    }
    switch (formatCode) {
    case codecs::Bmp: case codecs::Jpeg: case codecs::Gif: case codecs::Tiff:
    case codecs::Png: case codecs::Fpx: case codecs::Pcx: case codecs::Jp2: case codecs::J2k:
    case codecs::WebP: case codecs::Avif: case codecs::Heif: case codecs::Jxl: break;
    default: engine_.setError(Error::BadArgument); return false;
    }
    if (FileName.isEmpty()) {
        engine_.setError(Error::WriteFailed);
        return false;
    }
    codecs::EncodeOptions opt;
    opt.comment = Comment;
    opt.jpegQuality = std::clamp(JpegQuality, 1, 100);
    Error err = Error::None;
    engine_.beginLongOperation(true);
    bool ok = false;
    try {
        ok = codecs::saveFile(FileName, codecs::Format(formatCode), *p, opt, err);
    } catch (const std::bad_alloc&) {
        ok = false;
        err = Error::OutOfMemory;
    }
    engine_.endLongOperation();
    engine_.setError(ok ? Error::None : (err == Error::None ? Error::WriteFailed : err));
    return ok;
}

bool EngineFile::ShowSaveDialog() {
    QStringList pats;
    for (const QString& e : SaveFilter.split(QChar(';'), Qt::SkipEmptyParts))
        pats << QStringLiteral("*.") + e.trimmed();
    const QString filter = pats.isEmpty() ? QString()
                                          : QStringLiteral("画像ﾌｧｲﾙ|") + pats.join(QChar(';')) + QChar('|');
    const QString name = platform::prompt().saveFile(QStringLiteral("名前を付けて保存"), FileName, filter);
    if (name.isEmpty()) {
        engine_.setError(Error::Cancelled);
        return false;
    }
    FileName = name;
    engine_.setError(Error::None);
    return true;
}

}  // namespace engine
