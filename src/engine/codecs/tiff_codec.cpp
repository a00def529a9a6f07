#include "engine/codecs/codecs.h"

namespace engine::codecs {

bool decodeTiff(const QByteArray&, Decoded&, Error& err) {
    err = Error::Unsupported;
    return false;
}

bool encodeTiff(const Picture&, const EncodeOptions&, QByteArray&, Error& err) {
    err = Error::Unsupported;
    return false;
}

}  // namespace engine::codecs
