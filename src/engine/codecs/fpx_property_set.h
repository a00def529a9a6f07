#pragma once
// OLE property sets ("\005..." streams): the summary information and the
// FlashPix image contents are stored in this form.
#include "engine/codecs/fpx_ole.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <vector>

namespace engine::codecs::fpx {

// Variant types used by the properties we read or write.
enum VarType : uint32_t {
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_LPSTR = 0x1E,
    VT_LPWSTR = 0x1F,
    VT_UI4 = 0x13,
    VT_UI1 = 0x11,
    VT_BLOB = 0x41,
    VT_CLSID = 0x48,
    VT_VECTOR = 0x1000,
};

struct PropValue {
    uint32_t type = 0;
    int64_t number = 0;          // VT_I2, VT_I4, VT_UI4
    float real = 0;              // VT_R4
    QByteArray bytes;            // VT_BLOB, VT_LPSTR (without the terminating NUL), VT_LPWSTR (UTF-16LE),
                                 // VT_CLSID (16 bytes)
    QList<uint32_t> vector;      // VT_VECTOR | VT_UI4

    bool isInteger() const { return type == VT_I2 || type == VT_I4 || type == VT_UI4; }

    static PropValue i2(int v);
    static PropValue i4(int32_t v);
    static PropValue ui4(uint32_t v);
    static PropValue r4(float v);
    static PropValue blob(const QByteArray& b);
    static PropValue lpstr(const QByteArray& b);
    static PropValue ui4Vector(const QList<uint32_t>& v);
    static PropValue clsid(const Guid& g);
};

struct PropertySet {
    Guid fmtid{};
    std::map<uint32_t, PropValue> props;

    const PropValue* find(uint32_t id) const;
    // The integer value of a property, or false when it is absent or not an integer.
    bool integer(uint32_t id, int64_t& out) const;
    // A text property decoded with the set's code page (property 1).
    bool text(uint32_t id, QString& out) const;
};

// Parses the first section of a property set stream. Values of types not listed
// above are skipped; any offset or length outside the stream fails the parse.
bool parsePropertySet(const QByteArray& stream, PropertySet& out);

// Serialises one section; properties are written in ascending id order.
QByteArray buildPropertySet(const Guid& classId, const Guid& fmtid, const std::map<uint32_t, PropValue>& props);

}  // namespace engine::codecs::fpx
