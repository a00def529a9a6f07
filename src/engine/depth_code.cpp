#include "engine/depth_code.h"

namespace engine {

DepthCode DepthCode::fromNumber(int code) {
    switch (code) {
    case Mono: case Colours16: case Greys16: case Colours256: case Greys256: case Bits16: case Bits24: case Bits32:
        return DepthCode(Value(code));
    default:
        return None;
    }
}

DepthCode DepthCode::fromText(const QString& text) {
    if (!text.endsWith(QChar('.')))
        return None;
    bool ok = false;
    const int n = text.chopped(1).toInt(&ok);
    // Only the plain form: "24." but not "+24." or " 24.".
    if (!ok || QString::number(n) + QChar('.') != text)
        return None;
    return fromNumber(n);
}

DepthCode DepthCode::of(int bits, bool grey) {
    if (grey && (bits == 4 || bits == 8))
        return bits == 4 ? Greys16 : Greys256;
    return fromNumber(bits);
}

QString DepthCode::text() const { return valid() ? QString::number(number()) + QChar('.') : QString(); }

int DepthCode::bits() const {
    switch (v_) {
    case Greys16: return 4;
    case Greys256: return 8;
    default: return int(v_);
    }
}

}  // namespace engine
