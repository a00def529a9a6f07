#include "engine/codecs/codecs.h"

namespace engine::codecs {

bool decodeFpx(const QByteArray&, Decoded&, Error& err) {
    err = Error::Unsupported;
    return false;
}

bool encodeFpx(const Picture&, const EncodeOptions&, QByteArray&, Error& err) {
    err = Error::Unsupported;
    return false;
}

}  // namespace engine::codecs
