// exiv2 throws on anything it cannot parse or write; every entry point here
// catches it, so a damaged block costs only that block.
#include "engine/codecs/metadata_io.h"

#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <mutex>

namespace engine::codecs {

namespace {

void initialiseExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

const Exiv2::byte* bytesOf(const QByteArray& a) { return reinterpret_cast<const Exiv2::byte*>(a.constData()); }

QByteArray toBytes(const Exiv2::Blob& blob) {
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

// Sets a tag only where the block already has it: a block without an
// orientation or dimensions is not given new ones.
template <typename Data, typename Key>
bool resetIfPresent(Data& data, const char* key, long value) {
    auto it = data.findKey(Key(key));
    if (it == data.end())
        return false;
    if (it->count() == 1 && it->toLong() == value)
        return false;
    it->setValue(std::to_string(value));
    return true;
}

QByteArray exifForSave(const Picture& pic, bool pristine) {
    const QByteArray& raw = pic.metadata.exif;
    if (raw.size() < 8)
        return QByteArray();
    Exiv2::ExifData data;
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(data, bytesOf(raw), uint32_t(raw.size()));
    if (data.empty())
        return QByteArray();
    bool changed = false;
    using ExifKey = Exiv2::ExifKey;
    changed |= resetIfPresent<Exiv2::ExifData, ExifKey>(data, "Exif.Image.Orientation", 1);
    changed |= resetIfPresent<Exiv2::ExifData, ExifKey>(data, "Exif.Photo.PixelXDimension", pic.width());
    changed |= resetIfPresent<Exiv2::ExifData, ExifKey>(data, "Exif.Photo.PixelYDimension", pic.height());
    changed |= resetIfPresent<Exiv2::ExifData, ExifKey>(data, "Exif.Image.ImageWidth", pic.width());
    changed |= resetIfPresent<Exiv2::ExifData, ExifKey>(data, "Exif.Image.ImageLength", pic.height());
    if (!pristine) {
        const bool hasThumbnail = std::any_of(data.begin(), data.end(), [](const Exiv2::Exifdatum& d) {
            return d.groupName() == "Thumbnail";
        });
        if (hasThumbnail) {
            Exiv2::ExifThumb(data).erase();
            changed = true;
        }
    }
    if (!changed)
        return raw;
    // In place where the block allows it (maker notes keep their offsets),
    // rebuilt otherwise.
    QByteArray copy = raw;
    Exiv2::Blob blob;
    const Exiv2::WriteMethod how = Exiv2::ExifParser::encode(
        blob, reinterpret_cast<Exiv2::byte*>(copy.data()), uint32_t(copy.size()), order, data);
    return how == Exiv2::wmNonIntrusive ? copy : toBytes(blob);
}

QByteArray xmpForSave(const Picture& pic) {
    const QByteArray& raw = pic.metadata.xmp;
    if (raw.isEmpty())
        return raw;
    Exiv2::XmpData data;
    if (Exiv2::XmpParser::decode(data, raw.toStdString()) != 0)
        return QByteArray();  // not a packet the toolkit can read: not written
    bool changed = false;
    using XmpKey = Exiv2::XmpKey;
    changed |= resetIfPresent<Exiv2::XmpData, XmpKey>(data, "Xmp.tiff.Orientation", 1);
    changed |= resetIfPresent<Exiv2::XmpData, XmpKey>(data, "Xmp.exif.PixelXDimension", pic.width());
    changed |= resetIfPresent<Exiv2::XmpData, XmpKey>(data, "Xmp.exif.PixelYDimension", pic.height());
    changed |= resetIfPresent<Exiv2::XmpData, XmpKey>(data, "Xmp.tiff.ImageWidth", pic.width());
    changed |= resetIfPresent<Exiv2::XmpData, XmpKey>(data, "Xmp.tiff.ImageLength", pic.height());
    if (!changed)
        return raw;
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, data, Exiv2::XmpParser::useCompactFormat) != 0)
        return QByteArray();
    return QByteArray::fromStdString(packet);
}

}  // namespace

bool holdsMetadata(Format format) {
    switch (format) {
    case Jpeg: case Png: case Tiff: case WebP: case Avif: case Heif: case Jxl: return true;
    default: return false;
    }
}

Metadata readMetadata(const QByteArray& file) {
    Metadata m;
    if (file.isEmpty())
        return m;
    initialiseExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(bytesOf(file), long(file.size()));
        if (!image.get())
            return m;
        image->readMetadata();
        if (!image->exifData().empty()) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, image->byteOrder() == Exiv2::bigEndian ? Exiv2::bigEndian
                                                                                    : Exiv2::littleEndian,
                                      image->exifData());
            m.exif = toBytes(blob);
        }
        m.xmp = QByteArray::fromStdString(image->xmpPacket());
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* icc = image->iccProfile();
            m.icc = QByteArray(reinterpret_cast<const char*>(icc->pData_), qsizetype(icc->size_));
        }
    } catch (...) {
        return Metadata();
    }
    return m;
}

Metadata metadataForSave(const Picture& pic) {
    if (pic.metadata.isEmpty())
        return Metadata();
    initialiseExiv2();
    const bool pristine = pic.lineage.isPristine() && pic.lineage.pixelsKey == pic.image.cacheKey();
    Metadata m;
    m.icc = pic.metadata.icc;
    try {
        m.exif = exifForSave(pic, pristine);
    } catch (...) {
        m.exif.clear();  // a block exiv2 cannot read is not carried on
    }
    try {
        m.xmp = xmpForSave(pic);
    } catch (...) {
        m.xmp.clear();
    }
    return m;
}

bool embedMetadata(QByteArray& file, const Metadata& metadata) {
    if (metadata.isEmpty())
        return true;
    initialiseExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(bytesOf(file), long(file.size()));
        if (!image.get())
            return false;
        image->readMetadata();
        if (!metadata.exif.isEmpty()) {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, bytesOf(metadata.exif), uint32_t(metadata.exif.size()));
            image->setExifData(exif);
        }
        if (!metadata.xmp.isEmpty()) {
            image->setXmpPacket(metadata.xmp.toStdString());
            image->writeXmpFromPacket(true);
        }
        if (!metadata.icc.isEmpty()) {
            Exiv2::DataBuf icc(bytesOf(metadata.icc), long(metadata.icc.size()));
            image->setIccProfile(icc, false);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return false;
        QByteArray written(qsizetype(io.size()), Qt::Uninitialized);
        const long got = io.read(reinterpret_cast<Exiv2::byte*>(written.data()), long(written.size()));
        io.close();
        if (got != long(written.size()) || written.isEmpty())
            return false;
        file = written;
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace engine::codecs
