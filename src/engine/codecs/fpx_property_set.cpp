#include "engine/codecs/fpx_property_set.h"

#include <QStringDecoder>

#include <cstring>

namespace engine::codecs::fpx {

PropValue PropValue::i2(int v) { PropValue p; p.type = VT_I2; p.number = int16_t(v); return p; }
PropValue PropValue::i4(int32_t v) { PropValue p; p.type = VT_I4; p.number = v; return p; }
PropValue PropValue::ui4(uint32_t v) { PropValue p; p.type = VT_UI4; p.number = v; return p; }
PropValue PropValue::r4(float v) { PropValue p; p.type = VT_R4; p.real = v; return p; }
PropValue PropValue::blob(const QByteArray& b) { PropValue p; p.type = VT_BLOB; p.bytes = b; return p; }
PropValue PropValue::lpstr(const QByteArray& b) { PropValue p; p.type = VT_LPSTR; p.bytes = b; return p; }
PropValue PropValue::ui4Vector(const QList<uint32_t>& v) { PropValue p; p.type = VT_VECTOR | VT_UI4; p.vector = v; return p; }
PropValue PropValue::clsid(const Guid& g) {
    PropValue p;
    p.type = VT_CLSID;
    p.bytes = QByteArray(reinterpret_cast<const char*>(g.data()), qsizetype(g.size()));
    return p;
}

const PropValue* PropertySet::find(uint32_t id) const {
    auto it = props.find(id);
    return it == props.end() ? nullptr : &it->second;
}

bool PropertySet::integer(uint32_t id, int64_t& out) const {
    const PropValue* v = find(id);
    if (!v || !v->isInteger())
        return false;
    out = v->number;
    return true;
}

static QString decodeCodePage(const QByteArray& raw, int codePage) {
    QByteArray bytes = raw;
    if (codePage == 1200) {
        while (bytes.size() >= 2 && bytes.endsWith(QByteArray(2, '\0')))
            bytes.chop(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (codePage == 65001)
        return QString::fromUtf8(bytes);
    const char* name = nullptr;
    switch (codePage) {
    case 932: name = "Shift_JIS"; break;
    case 1252: name = "windows-1252"; break;
    case 10000: name = "macintosh"; break;
    default: break;
    }
    if (name) {
        QStringDecoder dec(name);
        if (dec.isValid()) {
            QString s = dec.decode(bytes);
            if (!dec.hasError())
                return s;
        }
    }
    return QString::fromLatin1(bytes);
}

bool PropertySet::text(uint32_t id, QString& out) const {
    const PropValue* v = find(id);
    if (!v)
        return false;
    if (v->type == VT_LPWSTR) {
        QByteArray b = v->bytes;
        out = decodeCodePage(b, 1200);
        return true;
    }
    if (v->type != VT_LPSTR)
        return false;
    int64_t cp = 1252;
    integer(1, cp);
    out = decodeCodePage(v->bytes, int(uint16_t(cp)));
    return true;
}

// ---- parsing ----------------------------------------------------------------

namespace {

struct Cursor {
    const uchar* p;
    qint64 size;
    bool has(qint64 off, qint64 n) const { return off >= 0 && n >= 0 && off <= size && n <= size - off; }
    uint32_t u32(qint64 off) const {
        return uint32_t(p[off]) | uint32_t(p[off + 1]) << 8 | uint32_t(p[off + 2]) << 16 | uint32_t(p[off + 3]) << 24;
    }
    uint16_t u16(qint64 off) const { return uint16_t(p[off] | p[off + 1] << 8); }
};

bool parseValue(const Cursor& c, qint64 off, PropValue& v) {
    if (!c.has(off, 4))
        return false;
    v.type = c.u32(off) & 0xFFFF;
    off += 4;
    switch (v.type) {
    case VT_I2:
        if (!c.has(off, 2))
            return false;
        v.number = int16_t(c.u16(off));
        return true;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        if (!c.has(off, 4))
            return false;
        if (v.type == VT_I4)
            v.number = int32_t(c.u32(off));
        else if (v.type == VT_UI4)
            v.number = c.u32(off);
        else {
            const uint32_t bits = c.u32(off);
            std::memcpy(&v.real, &bits, 4);
        }
        return true;
    case VT_LPSTR:
    case VT_BLOB:
    case VT_LPWSTR: {
        if (!c.has(off, 4))
            return false;
        qint64 n = c.u32(off);
        if (v.type == VT_LPWSTR)
            n *= 2;
        if (!c.has(off + 4, n))
            return false;
        v.bytes = QByteArray(reinterpret_cast<const char*>(c.p + off + 4), qsizetype(n));
        return true;
    }
    case VT_CLSID:
        if (!c.has(off, 16))
            return false;
        v.bytes = QByteArray(reinterpret_cast<const char*>(c.p + off), 16);
        return true;
    case VT_VECTOR | VT_UI4: {
        if (!c.has(off, 4))
            return false;
        const qint64 n = c.u32(off);
        if (!c.has(off + 4, n * 4))
            return false;
        for (qint64 i = 0; i < n; ++i)
            v.vector << c.u32(off + 4 + 4 * i);
        return true;
    }
    default:
        return true;  // a type we have no use for: kept as type only
    }
}

}  // namespace

bool parsePropertySet(const QByteArray& stream, PropertySet& out) {
    out = PropertySet();
    const Cursor c{reinterpret_cast<const uchar*>(stream.constData()), stream.size()};
    if (!c.has(0, 48) || c.u16(0) != 0xFFFE)
        return false;
    if (c.u32(24) < 1)
        return false;
    std::memcpy(out.fmtid.data(), c.p + 28, 16);
    const qint64 section = c.u32(44);
    if (!c.has(section, 8))
        return false;
    const qint64 sectionSize = c.u32(section);
    const qint64 count = c.u32(section + 4);
    // The section's own size bounds every value; a section may not claim more
    // than the stream holds.
    if (sectionSize < 8 || !c.has(section, sectionSize) || count > (sectionSize - 8) / 8)
        return false;
    const Cursor s{c.p + section, sectionSize};
    for (qint64 i = 0; i < count; ++i) {
        const uint32_t id = s.u32(8 + 8 * i);
        const qint64 off = s.u32(12 + 8 * i);
        PropValue v;
        if (!parseValue(s, off, v))
            return false;
        out.props[id] = v;
    }
    return true;
}

// ---- writing -----------------------------------------------------------------

namespace {

void put32(QByteArray& b, uint32_t v) {
    const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    b.append(bytes, 4);
}

void pad4(QByteArray& b) {
    while (b.size() % 4)
        b.append('\0');
}

QByteArray serialiseValue(const PropValue& v) {
    QByteArray b;
    put32(b, v.type);
    switch (v.type) {
    case VT_I2: {
        const uint16_t x = uint16_t(v.number);
        b.append(char(x)).append(char(x >> 8));
        break;
    }
    case VT_I4:
    case VT_UI4: put32(b, uint32_t(v.number)); break;
    case VT_R4: {
        uint32_t bits;
        std::memcpy(&bits, &v.real, 4);
        put32(b, bits);
        break;
    }
    case VT_LPSTR: {
        QByteArray s = v.bytes;
        s.append('\0');
        put32(b, uint32_t(s.size()));
        b.append(s);
        break;
    }
    case VT_BLOB:
        put32(b, uint32_t(v.bytes.size()));
        b.append(v.bytes);
        break;
    case VT_CLSID: b.append(v.bytes.leftJustified(16, '\0', true)); break;
    case VT_VECTOR | VT_UI4:
        put32(b, uint32_t(v.vector.size()));
        for (uint32_t x : v.vector)
            put32(b, x);
        break;
    default: break;
    }
    pad4(b);
    return b;
}

}  // namespace

QByteArray buildPropertySet(const Guid& classId, const Guid& fmtid, const std::map<uint32_t, PropValue>& props) {
    QByteArray values;
    QByteArray index;
    const uint32_t headerSize = 8 + 8 * uint32_t(props.size());
    for (const auto& [id, v] : props) {
        put32(index, id);
        put32(index, headerSize + uint32_t(values.size()));
        values.append(serialiseValue(v));
    }
    QByteArray out;
    out.append(char(0xFE)).append(char(0xFF));  // byte order mark
    out.append(2, '\0');                        // format version 0
    put32(out, 0x00020005);                     // written on Win32 5.2 terms
    out.append(reinterpret_cast<const char*>(classId.data()), 16);
    put32(out, 1);  // one section
    out.append(reinterpret_cast<const char*>(fmtid.data()), 16);
    put32(out, 48);  // the section starts right after this header
    put32(out, headerSize + uint32_t(values.size()));
    put32(out, uint32_t(props.size()));
    out.append(index);
    out.append(values);
    return out;
}

}  // namespace engine::codecs::fpx
