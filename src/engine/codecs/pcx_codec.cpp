#include "engine/codecs/codecs.h"

namespace engine::codecs {

bool decodePcx(const QByteArray&, Decoded&, Error& err) {
    err = Error::Unsupported;
    return false;
}

bool encodePcx(const Picture&, const EncodeOptions&, QByteArray&, Error& err) {
    err = Error::Unsupported;
    return false;
}

}  // namespace engine::codecs
