#include "engine/codecs/codecs.h"

namespace engine::codecs {

bool decodePng(const QByteArray&, Decoded&, Error& err) {
    err = Error::Unsupported;
    return false;
}

bool encodePng(const Picture&, const EncodeOptions&, QByteArray&, Error& err) {
    err = Error::Unsupported;
    return false;
}

}  // namespace engine::codecs
