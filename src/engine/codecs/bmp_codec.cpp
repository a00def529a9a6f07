#include "engine/codecs/codecs.h"

namespace engine::codecs {

bool decodeBmp(const QByteArray&, Decoded&, Error& err) {
    err = Error::Unsupported;
    return false;
}

bool encodeBmp(const Picture&, const EncodeOptions&, QByteArray&, Error& err) {
    err = Error::Unsupported;
    return false;
}

}  // namespace engine::codecs
