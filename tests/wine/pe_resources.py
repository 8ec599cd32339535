#!/usr/bin/env python3
"""pe_resources.py EXE: the resources of a 32-bit PE image, read from the file
itself (not through objdump), one fact a line:

    resource TYPE ID LANGUAGE SIZE       every leaf of the resource tree
    fixed FILE-VERSION PRODUCT-VERSION   from VS_FIXEDFILEINFO, as a.b.c.d
    fixed_type FILE-OS FILE-TYPE         in hex
    string KEY=VALUE                     the StringFileInfo table
    translation LANGUAGE CODEPAGE        VarFileInfo
    icon GROUP-ID WIDTHxHEIGHTxBITS FORMAT   each icon of each group, FORMAT
                                         being png or dib, read from the icon
                                         data itself (whose size must agree)
    manifest {NAMESPACE}ELEMENT ATTRIBUTE=VALUE ... TEXT
                                         every element of the manifest, with
                                         its attributes sorted
Exit status 1 when the file is not a PE image or its resources cannot be walked.
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def fail(message):
    print("error " + message)
    sys.exit(1)


def read_image(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        fail("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        fail("not PE32")
    resource_rva, resource_size = struct.unpack_from("<II", data, optional + 96 + 2 * 8)
    table = []
    for i in range(sections):
        entry = optional + optional_size + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        table.append((rva, max(virtual_size, raw_size), raw_offset))

    def at(address):  # file offset of an RVA
        for rva, size, raw in table:
            if rva <= address < rva + size:
                return raw + address - rva
        fail("RVA %#x is in no section" % address)

    if resource_rva == 0:
        fail("no resource directory")
    return data, at, at(resource_rva)


def walk(data, base, offset, path, leaves):
    named, ids = struct.unpack_from("<HH", data, base + offset + 12)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
        key = "name" if name & 0x80000000 else name
        if target & 0x80000000:
            walk(data, base, target & 0x7FFFFFFF, path + [key], leaves)
        else:
            rva, size = struct.unpack_from("<II", data, base + target)
            leaves.append((path + [key], rva, size))


def version_node(blob, offset):
    """(key, value bytes, children, end) of one VS_VERSIONINFO-style node."""
    length, value_length, kind = struct.unpack_from("<HHH", blob, offset)
    cursor = offset + 6
    end_key = cursor
    while blob[end_key:end_key + 2] != b"\0\0":
        end_key += 2
    key = blob[cursor:end_key].decode("utf-16-le")
    cursor = (end_key + 2 + 3) & ~3
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = blob[cursor:cursor + value_bytes]
    cursor = (cursor + value_bytes + 3) & ~3
    children = []
    while cursor < offset + length:
        child = version_node(blob, cursor)
        children.append(child)
        cursor = (child[3] + 3) & ~3
    return key, value, children, offset + length


def version_facts(blob):
    key, value, children, _ = version_node(blob, 0)
    if key != "VS_VERSION_INFO":
        fail("version resource key %r" % key)
    signature, _, fms, fls, pms, pls, _, _, file_os, file_type = struct.unpack_from("<10I", value)
    if signature != 0xFEEF04BD:
        fail("VS_FIXEDFILEINFO signature %#x" % signature)
    dotted = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    print("fixed %s %s" % (dotted(fms, fls), dotted(pms, pls)))
    print("fixed_type %x %x" % (file_os, file_type))
    for name, _, tables, _ in children:
        if name == "StringFileInfo":
            for _, _, strings, _ in tables:
                for string_key, string_value, _, _ in strings:
                    print("string %s=%s" % (string_key, string_value.decode("utf-16-le").rstrip("\0")))
        elif name == "VarFileInfo":
            for _, pairs, _, _ in tables:
                for i in range(0, len(pairs), 4):
                    print("translation %04x %d" % struct.unpack_from("<HH", pairs, i))


def icon_format(blob):
    if blob[:8] == b"\x89PNG\r\n\x1a\n":
        width, height = struct.unpack_from(">II", blob, 16)
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[blob[25]]  # by colour type
        return "png", width, height, blob[24] * channels
    size, width, height, _, bits = struct.unpack_from("<IiiHH", blob)
    if size != 40:
        fail("icon data is neither PNG nor a BITMAPINFOHEADER")
    return "dib", width, height // 2, bits


def main():
    data, at, base = read_image(sys.argv[1])
    leaves = []
    walk(data, base, 0, [], leaves)
    by_type = {}
    for path, rva, size in leaves:
        print("resource %s %s %s %d" % (path[0], path[1], path[2], size))
        by_type.setdefault(path[0], {})[path[1]] = data[at(rva):at(rva) + size]
    if RT_VERSION in by_type:
        for blob in by_type[RT_VERSION].values():
            version_facts(blob)
    for group_id, blob in sorted(by_type.get(RT_GROUP_ICON, {}).items(), key=str):
        _, kind, count = struct.unpack_from("<HHH", blob)
        for i in range(count):
            width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", blob, 6 + 14 * i)
            icon = by_type.get(RT_ICON, {}).get(icon_id)
            if icon is None or len(icon) != size:
                fail("icon %d of group %s is missing or of another size" % (icon_id, group_id))
            form, real_width, real_height, real_bits = icon_format(icon)
            if (real_width, real_height, real_bits) != (width or 256, height or 256, bits):
                fail("icon %d: directory says %dx%dx%d, data %dx%dx%d" %
                     (icon_id, width or 256, height or 256, bits, real_width, real_height, real_bits))
            print("icon %s %dx%dx%d %s" % (group_id, real_width, real_height, real_bits, form))
    for blob in by_type.get(RT_MANIFEST, {}).values():
        for element in ElementTree.fromstring(blob).iter():
            attributes = " ".join("%s=%s" % item for item in sorted(element.attrib.items()))
            text = (element.text or "").strip()
            print(("manifest %s %s %s" % (element.tag, attributes, text)).rstrip())


if __name__ == "__main__":
    main()
