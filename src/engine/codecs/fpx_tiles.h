#pragma once
// JPEG coding of single FlashPix tiles through libjpeg. Tiles may leave their
// tables out and share one abbreviated table stream kept in the image contents.
#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

namespace engine::codecs::fpx {

// width x height pixels of `channels` interleaved bytes, rows packed.
struct TileBuffer {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> data;
};

// Decodes one tile without any colour conversion: the samples come out as the
// JPEG stores them (YCbCr stays YCbCr). `tables` is an abbreviated table stream
// (SOI, DQT/DHT, EOI) or empty. Fails on damaged data, on a channel count other
// than `channels` and on a tile larger than maxWidth x maxHeight.
bool decodeJpegTile(const uint8_t* data, size_t size, const QByteArray& tables, int channels,
                    int maxWidth, int maxHeight, TileBuffer& out);

// Encodes 64 x 64 tiles of 1 (grey) or 3 (RGB) channels at one quality. Colour
// tiles are converted to YCbCr inside the JPEG coder, with 2 x 2 subsampled
// chroma when `subsample`. Tables are left out of the tiles and kept in
// tables() when `sharedTables`.
class JpegTileEncoder {
public:
    JpegTileEncoder(int channels, int quality, bool subsample, bool sharedTables);
    ~JpegTileEncoder();
    bool isValid() const;
    const QByteArray& tables() const;
    bool encode(const uint8_t* pixels, QByteArray& out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace engine::codecs::fpx
