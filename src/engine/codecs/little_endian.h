#pragma once
// Little-endian field access for the BMP and PCX codecs. Readers take a byte
// pointer the caller has already bounds-checked; writers append or store.
#include <QByteArray>
#include <QtGlobal>

namespace engine::codecs::le {

inline quint16 u16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 u32(const uchar* p) {
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
inline qint32 i32(const uchar* p) { return qint32(u32(p)); }

inline void put16(uchar* p, quint16 v) {
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}
inline void put32(uchar* p, quint32 v) {
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
    p[2] = uchar(v >> 16);
    p[3] = uchar(v >> 24);
}

}  // namespace engine::codecs::le
