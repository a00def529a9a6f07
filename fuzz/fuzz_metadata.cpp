// libFuzzer target: metadata carried from a hostile file into a saved one.
// The input is split into an EXIF block, an XMP packet and an ICC profile,
// made ready for saving (orientation, dimensions, thumbnail) and written into
// a small JPEG, PNG and TIFF; the view's profile conversion runs on it too.
#include "engine/codecs/codecs.h"
#include "engine/codecs/metadata_io.h"
#include "engine/colour_management.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype third = bytes.size() / 3;
    engine::Picture pic;
    pic.image = QImage(8, 8, QImage::Format_BGR888);
    pic.image.fill(Qt::gray);
    pic.bits = 24;
    pic.metadata.exif = bytes.left(third);
    pic.metadata.xmp = bytes.mid(third, third);
    pic.metadata.icc = bytes.mid(2 * third);
    for (engine::codecs::Format f : {engine::codecs::Jpeg, engine::codecs::Png, engine::codecs::Tiff}) {
        QByteArray out;
        engine::Error err = engine::Error::None;
        engine::codecs::encode(f, pic, engine::codecs::EncodeOptions(), out, err);
        engine::codecs::readMetadata(out);
    }
    QImage shown(4, 4, QImage::Format_RGB32);
    shown.fill(Qt::gray);
    engine::colour::displayInSrgb(shown, pic.metadata.icc);
    return 0;
}
