#pragma once
// Helpers shared by the FlashPix tests: smooth pictures (JPEG tiles keep them
// within a small tolerance) and rewriting one stream of a compound file.
#include "engine/codecs/codecs.h"
#include "engine/codecs/fpx_ole.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

namespace fpxtest {

// A photo-like picture: gradients and soft shapes, 8-bit grey (depth code 80)
// or 24-bit colour.
engine::Picture smoothPicture(int width, int height, bool gray);

// Rebuilds the compound file with every entry copied; the stream at `path`
// goes through `edit` first (return false from edit to drop the stream).
QByteArray rewriteStream(const QByteArray& file, const QStringList& path,
                         const std::function<bool(QByteArray&)>& edit);

// Little-endian 32-bit access for edits.
quint32 get32(const QByteArray& b, qsizetype off);
void set32(QByteArray& b, qsizetype off, quint32 v);

// Path of a stream in the first image object.
QStringList objectPath(const QString& name);
QStringList levelPath(int level, const char* stream);

}  // namespace fpxtest
