#!/usr/bin/python3
"""Checks a FlashPix file against the storages, streams and property sets that
the FlashPix 1.0.1 format requires of a single-image view without transforms,
with the types and values it requires. Reads the file through olefile, parses
the property sets itself, and prints one line per fault; exit status 1 when
there is any."""
import struct
import sys

import olefile


def fpx_guid(d1):
    return "%08X-C154-11CE-8553-00AA00A1F95B" % d1


VIEW, IMAGE_OBJECT, RESOLUTION = fpx_guid(0x56616700), fpx_guid(0x56616000), fpx_guid(0x56616100)
GLOBAL_INFO, DATA_OBJECT, IMAGE_CONTENTS = fpx_guid(0x56616F00), fpx_guid(0x56616080), fpx_guid(0x56616400)
SUBIMAGE_HEADER, SUBIMAGE_DATA = fpx_guid(0x00010000), fpx_guid(0x00010100)
SUMMARY = "F29F85E0-4FF9-1068-AB91-08002B27B3D9"

VT_I2, VT_I4, VT_UI4, VT_LPSTR, VT_BLOB, VT_CLSID, VT_VECTOR = 2, 3, 0x13, 0x1E, 0x41, 0x48, 0x1000

faults = []


def fault(text):
    faults.append(text)


def guid_text(raw):
    d1, d2, d3 = struct.unpack_from("<IHH", raw)
    return "%08X-%04X-%04X-%s-%s" % (d1, d2, d3, raw[8:10].hex().upper(), raw[10:16].hex().upper())


def parse_property_set(name, raw):
    """FMTID and {pid: (type, value)} of the first section, or None."""
    if len(raw) < 48 or struct.unpack_from("<H", raw)[0] != 0xFFFE:
        fault("%s: not a property set" % name)
        return None
    fmtid = guid_text(raw[28:44])
    (start,) = struct.unpack_from("<I", raw, 44)
    size, count = struct.unpack_from("<II", raw, start)
    if start + size > len(raw):
        fault("%s: section runs past the stream" % name)
        return None
    props = {}
    for i in range(count):
        pid, off = struct.unpack_from("<II", raw, start + 8 + 8 * i)
        at = start + off
        (vt,) = struct.unpack_from("<I", raw, at)
        vt &= 0xFFFF
        at += 4
        if vt == VT_I2:
            value = struct.unpack_from("<h", raw, at)[0]
        elif vt == VT_I4:
            value = struct.unpack_from("<i", raw, at)[0]
        elif vt == VT_UI4:
            value = struct.unpack_from("<I", raw, at)[0]
        elif vt in (VT_LPSTR, VT_BLOB):
            (n,) = struct.unpack_from("<I", raw, at)
            value = raw[at + 4:at + 4 + n]
        elif vt == VT_CLSID:
            value = raw[at:at + 16]
        elif vt == VT_VECTOR | VT_UI4:
            (n,) = struct.unpack_from("<I", raw, at)
            value = list(struct.unpack_from("<%dI" % n, raw, at + 4))
        else:
            value = None
        props[pid] = (vt, value)
    return fmtid, props


def property_set(ole, path, fmtid):
    """{pid: (type, value)} and "__name__"; only the name when the set is
    missing or unreadable (that fault is reported once, here)."""
    name = "/".join(p.replace("\x05", "\\005") for p in path)
    props = {"__name__": name}
    if not ole.exists("/".join(path)) or ole.get_type("/".join(path)) != olefile.STGTY_STREAM:
        fault("%s: missing" % name)
        return props
    parsed = parse_property_set(name, ole.openstream(path).read())
    if parsed is None:
        return props
    if parsed[0] != fmtid:
        fault("%s: format id %s, not %s" % (name, parsed[0], fmtid))
    props.update(parsed[1])
    return props


def need(props, pid, vt, what):
    """The value of a required property of the given type, or None."""
    if len(props) <= 1:
        return None
    got = props.get(pid)
    if got is None:
        fault("%s: no %s (0x%08X)" % (props["__name__"], what, pid))
        return None
    if got[0] != vt:
        fault("%s: %s has type 0x%X, not 0x%X" % (props["__name__"], what, got[0], vt))
        return None
    return got[1]


def expect(props, pid, vt, what, wanted):
    value = need(props, pid, vt, what)
    if value is not None and value != wanted:
        fault("%s: %s is %r, not %r" % (props["__name__"], what, value, wanted))
    return value


def comp_obj(ole, path, clsid):
    name = "/".join(path)
    if not ole.exists(name):
        fault("%s: missing" % name.replace("\x01", "\\001"))
        return
    raw = ole.openstream(path).read()
    if len(raw) < 28 or raw[:4] != b"\x01\x00\xfe\xff" or guid_text(raw[12:28]) != clsid:
        fault("%s: header or class id wrong" % name.replace("\x01", "\\001"))
        return
    at = 28
    for field in ("user type", "clipboard format", "programme id"):
        if at + 4 > len(raw):
            fault("%s: ends before its %s" % (name.replace("\x01", "\\001"), field))
            return
        (n,) = struct.unpack_from("<I", raw, at)
        if field == "clipboard format" and n in (0xFFFFFFFF, 0xFFFFFFFE):
            n = 4
        at += 4 + n
    if at > len(raw):
        fault("%s: strings run past the stream" % name.replace("\x01", "\\001"))


def class_of(ole, path):
    return str(ole.getclsid("/".join(path))).upper()


def check(path):
    ole = olefile.OleFileIO(path)

    # The image view (the root).
    if ole.root.clsid.upper() != VIEW:
        fault("root: class id %s, not the image view's" % ole.root.clsid)
    comp_obj(ole, ["\x01CompObj"], VIEW)
    summary = property_set(ole, ["\x05SummaryInformation"], SUMMARY)
    need(summary, 1, VT_I2, "code page")

    glob = property_set(ole, ["\x05Global Info"], GLOBAL_INFO)
    outputs = need(glob, 0x00010100, VT_VECTOR | VT_UI4, "visible outputs") or []
    max_image = need(glob, 0x00010101, VT_UI4, "maximum image index")
    need(glob, 0x00010102, VT_UI4, "maximum transform index")
    need(glob, 0x00010103, VT_UI4, "maximum operation index")
    if len(glob) > 1 and not outputs:
        fault("global info: no visible output")

    # Every visible output is described, and a source image is stored beside it.
    for index in outputs:
        if max_image is not None and index > max_image:
            fault("global info: visible output %d above the maximum image index %d" % (index, max_image))
        desc = property_set(ole, ["\x05Data Object %06d" % index], DATA_OBJECT)
        need(desc, 1, VT_I2, "code page")
        object_id = need(desc, 0x00010000, VT_CLSID, "data object id")
        if object_id is not None and object_id == bytes(16):
            fault("%s: data object id is all zero" % desc["__name__"])
        status = need(desc, 0x00010100, VT_UI4, "status")
        if status is not None and not status & 1:
            fault("%s: status says the data does not exist" % desc["__name__"])
        expect(desc, 0x00010101, VT_UI4, "creator (0 for a source image)", 0)
        expect(desc, 0x00010102, VT_VECTOR | VT_UI4, "users (no transform reads it)", [])
        cached_h = need(desc, 0x10000000, VT_UI4, "cached image height")
        cached_w = need(desc, 0x10000001, VT_UI4, "cached image width")

        store = "Data Object Store %06d" % index
        if not ole.exists(store) or ole.get_type(store) != olefile.STGTY_STORAGE:
            fault("%s: missing" % store)
            continue
        if class_of(ole, [store]) != IMAGE_OBJECT:
            fault("%s: class id %s, not the image object's" % (store, class_of(ole, [store])))
        comp_obj(ole, [store, "\x01CompObj"], IMAGE_OBJECT)
        osum = property_set(ole, [store, "\x05SummaryInformation"], SUMMARY)
        need(osum, 1, VT_I2, "code page")

        contents = property_set(ole, [store, "\x05Image Contents"], IMAGE_CONTENTS)
        levels = need(contents, 0x01000000, VT_UI4, "number of resolutions") or 0
        width = need(contents, 0x01000002, VT_UI4, "highest resolution width")
        height = need(contents, 0x01000003, VT_UI4, "highest resolution height")
        if len(desc) > 1 and (cached_w, cached_h) != (width, height):
            fault("%s: cached size %rx%r, the image is %rx%r" % (desc["__name__"], cached_w, cached_h, width, height))
        tables = set()
        for level in range(levels):
            base = 0x02000000 | level << 16
            w = need(contents, base, VT_UI4, "subimage %d width" % level)
            h = need(contents, base | 1, VT_UI4, "subimage %d height" % level)
            need(contents, base | 2, VT_BLOB, "subimage %d colour" % level)
            need(contents, base | 3, VT_VECTOR | VT_UI4, "subimage %d numerical format" % level)
            need(contents, base | 4, VT_I4, "subimage %d decimation method" % level)
            if level == levels - 1 and (w, h) != (width, height):
                fault("image contents: the last subimage is %rx%r, not the full %rx%r" % (w, h, width, height))
            res = [store, "Resolution %04d" % level]
            if not ole.exists("/".join(res)) or class_of(ole, res) != RESOLUTION:
                fault("%s: missing or of the wrong class" % "/".join(res))
                continue
            for stream, clsid in (("Subimage 0000 Header", SUBIMAGE_HEADER), ("Subimage 0000 Data", SUBIMAGE_DATA)):
                if not ole.exists("/".join(res + [stream])):
                    fault("%s: missing" % "/".join(res + [stream]))
                    continue
                raw = ole.openstream(res + [stream]).read()
                if len(raw) < 28 or guid_text(raw[8:24]) != clsid:
                    fault("%s: stream header or class id wrong" % "/".join(res + [stream]))
                if stream == "Subimage 0000 Header" and len(raw) >= 64:
                    (field_len, _, _, tiles, _, _, _, entry_at, entry_len) = struct.unpack_from("<9I", raw, 28)
                    for t in range(tiles):
                        entry = raw[28 + entry_at + t * entry_len:28 + entry_at + (t + 1) * entry_len]
                        if len(entry) == 16:
                            _, _, compression, subtype = struct.unpack("<4I", entry)
                            if compression == 2 and subtype >> 24:
                                tables.add(subtype >> 24)
        # Tiles that name a shared JPEG table need it, and its maximum index.
        for table in sorted(tables):
            need(contents, 0x03000001 | table << 16, VT_BLOB, "JPEG table %d" % table)
        if tables:
            top = need(contents, 0x03000002, VT_UI4, "maximum JPEG table index")
            if top is not None and top < max(tables):
                fault("image contents: maximum JPEG table index %d below table %d" % (top, max(tables)))
    ole.close()


if __name__ == "__main__":
    try:
        check(sys.argv[1])
    except Exception:  # a file the check cannot walk: not a verdict, a broken check
        import traceback
        traceback.print_exc()
        sys.exit(2)
    for line in faults:
        print(line)
    sys.exit(1 if faults else 0)
