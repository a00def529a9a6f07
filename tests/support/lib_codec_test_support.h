#pragma once
// Helpers for the library codec tests (JPEG, PNG, GIF, TIFF): round trips
// through memory, damaged copies of valid files, corpus folders.
#include "engine/codecs/codecs.h"
#include "codec_test_support.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace testsupport {

// Encodes and decodes again; the decoded picture and comment in out.
// Returns the encoder's or decoder's error, Error::None on success.
engine::Error roundTrip(engine::codecs::Format format, const engine::Picture& pic,
                        engine::codecs::Decoded& out, const QString& comment = QString(),
                        int jpegQuality = 90);

// Copies of a valid file damaged in typical ways: cut at several points
// (inside the header, inside the data, just before the end) and with bytes
// overwritten in the header. Each copy is named for messages.
struct DamagedCopy {
    QString name;
    QByteArray bytes;
};
QList<DamagedCopy> truncations(const QByteArray& valid, const QList<int>& cuts);

// A corpus sub-folder (e.g. "png/pngsuite"); empty when the corpus is absent.
QString corpusFolder(const QString& sub);

// A big-endian 32-bit number, as PNG stores its lengths and sizes.
QByteArray be32(quint32 v);

// One PNG chunk: length, type, body and CRC, for building files by hand.
QByteArray pngChunk(const char* type, const QByteArray& body);

// Wraps a picture's pixels as a plain 0xFFRRGGBB image for comparisons.
QImage asRgb32(const engine::Picture& pic);

}  // namespace testsupport
