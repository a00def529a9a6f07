#pragma once
// EXIF, XMP and ICC profiles in files, through exiv2: reading them from a
// file, making them true for the picture about to be saved, and writing them
// into an encoded file.
#include "engine/codecs/codecs.h"

namespace engine::codecs {

// Whether a file of the format keeps a picture's metadata when saved (JPEG,
// PNG and TIFF through embedMetadata, the newer formats but JPEG 2000
// through their own encoders).
bool holdsMetadata(Format format);

// The metadata of an encoded file; empty parts where the file has none or
// they cannot be read (a damaged block is dropped, never an error).
Metadata readMetadata(const QByteArray& file);

// The metadata to write with the picture: the orientation reset to 1 (the
// pixels are upright), the pixel dimensions those of the picture, and the
// embedded thumbnail dropped once the pixels no longer are those decoded.
Metadata metadataForSave(const Picture& pic);

// Writes the metadata into an encoded file of a format exiv2 writes (JPEG,
// PNG, TIFF, WebP), replacing what it held. False when the file could not
// take it; file is then unchanged.
bool embedMetadata(QByteArray& file, const Metadata& metadata);

}  // namespace engine::codecs
