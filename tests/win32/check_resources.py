#!/usr/bin/python3
"""Reads the built monitor with a PE reader and checks its header, imports and the resources
that no end-to-end test reads: strings, icon images, accelerators, the manifest and the
version. (The About box is read from the real dialog on the desktop.)"""

import os
import re
import struct
import sys
import unittest

import pefile

EXE = None
LANG_ZH_TW = 1028

RT_ICON, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 9, 14, 16, 24

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll", "gdi32.dll",
               "comctl32.dll", "ole32.dll"}


def resources(pe):
    """{(type, id): [(language, bytes)]} for every resource of the file."""
    found = {}
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for id_entry in type_entry.directory.entries:
            for lang_entry in id_entry.directory.entries:
                data = lang_entry.data.struct
                raw = pe.get_data(data.OffsetToData, data.Size)
                found.setdefault((type_entry.id, id_entry.id), []).append((lang_entry.id, raw))
    return found


class Reader:
    """Little-endian reader over a resource's bytes."""

    def __init__(self, data, offset=0):
        self.data, self.offset = data, offset

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.offset)
        self.offset += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]


class BuiltMonitor(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)
        cls.res = resources(cls.pe)

    def one(self, rtype, rid):
        entries = self.res.get((rtype, rid))
        self.assertIsNotNone(entries, f"resource type {rtype} id {rid} is missing")
        self.assertEqual([lang for lang, _ in entries], [LANG_ZH_TW], f"resource {rtype}/{rid} language")
        return entries[0][1]

    def test_header(self):
        pe = self.pe
        self.assertEqual(pe.FILE_HEADER.Machine, 0x14C, "i386")
        self.assertEqual(pe.OPTIONAL_HEADER.Magic, 0x10B, "PE32")
        self.assertEqual(pe.OPTIONAL_HEADER.Subsystem, 2, "Windows GUI subsystem")
        characteristics = pe.OPTIONAL_HEADER.DllCharacteristics
        self.assertTrue(characteristics & 0x0040, "ASLR (DYNAMIC_BASE)")
        self.assertTrue(characteristics & 0x0100, "DEP (NX_COMPAT)")
        self.assertTrue(hasattr(pe, "DIRECTORY_ENTRY_BASERELOC"), "relocations kept for ASLR")

    def test_imports_only_system_dlls(self):
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(imported, SYSTEM_DLLS, f"unexpected DLLs: {imported - SYSTEM_DLLS}")
        self.assertIn("shell32.dll", imported)

    def test_every_resource_is_chinese_taiwan(self):
        for key, entries in self.res.items():
            self.assertEqual([lang for lang, _ in entries], [LANG_ZH_TW], f"resource {key}")

    def test_strings(self):
        # Strings come in blocks of sixteen; block n holds ids 16(n-1) to 16n-1.
        block = Reader(self.one(RT_STRING, 103 // 16 + 1))
        strings = {}
        for index in range(16):
            length = block.take("H")
            strings[(103 // 16) * 16 + index] = block.data[block.offset:block.offset + 2 * length].decode("utf-16-le")
            block.offset += 2 * length
        self.assertEqual(strings[103], "Kesl銀行晶片金融卡安控元件")
        self.assertEqual(strings[104], "Kesl銀行晶片金融卡安控元件")
        self.assertEqual(strings[105], "Kesl銀行晶片金融卡安控元件已關閉")
        self.assertEqual(strings[109], "KESLWEBATMMONITOR")
        self.assertEqual({i for i, s in strings.items() if s}, {103, 104, 105, 109})

    def icon_group(self, rid):
        group = Reader(self.one(RT_GROUP_ICON, rid))
        reserved, kind, count = group.take("HHH")
        self.assertEqual((reserved, kind), (0, 1))
        images = []
        for _ in range(count):
            width, height, colours, _, planes, bits, size, image_id = group.take("BBBBHHIH")
            image = self.one(RT_ICON, image_id)
            self.assertEqual(len(image), size)
            header_size, bmp_width, bmp_height, bmp_planes, bmp_bits = struct.unpack_from("<IiiHH", image)
            self.assertEqual(header_size, 40, "a DIB image")
            self.assertEqual((bmp_width, bmp_height // 2, bmp_bits), (width or 256, height or 256, bits))
            self.assertEqual(planes, 1)
            self.assertEqual(colours, 16 if bits == 4 else 0)
            images.append((width, height, bits))
        return images

    def test_icons(self):
        self.assertEqual(self.icon_group(107), [(56, 56, 32)])
        self.assertEqual(self.icon_group(129), [(56, 56, 32)])
        self.assertEqual(self.icon_group(108), [(16, 16, 4), (32, 32, 4), (16, 16, 8), (32, 32, 8), (48, 48, 8),
                                                (16, 16, 32), (32, 32, 32), (48, 48, 32)])
        self.assertEqual({rid for (rtype, rid) in self.res if rtype == RT_GROUP_ICON}, {107, 108, 129})

    def test_accelerators(self):
        table = self.one(RT_ACCELERATOR, 109)
        FALT, FVIRTKEY, LAST = 0x10, 0x01, 0x80
        entries = [struct.unpack_from("<HHHH", table, offset) for offset in range(0, len(table), 8)]
        self.assertEqual([(flags & ~LAST, key, command) for flags, key, command, _ in entries],
                         [(FALT, ord("?"), 104), (FALT, ord("/"), 104)])
        self.assertFalse(any(flags & FVIRTKEY for flags, *_ in entries), "character keys, not virtual keys")
        self.assertTrue(entries[-1][0] & LAST)

    def test_manifest(self):
        manifest = self.one(RT_MANIFEST, 1).decode("utf-8")
        self.assertIn('level="asInvoker"', manifest)
        self.assertIn('uiAccess="false"', manifest)
        self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', manifest)
        self.assertIn("PerMonitorV2", manifest)
        self.assertIn("true/pm", manifest)
        self.assertEqual(len(self.res[(RT_MANIFEST, 1)]), 1)

    def test_version(self):
        # res/version.h keeps the version; the manifest repeats it by hand.
        with open(os.path.join(os.path.dirname(__file__), "..", "..", "res", "version.h")) as header:
            defined = dict(re.findall(r"#define KESL_VERSION_(\w+) (\d+)", header.read()))
        fields = tuple(int(defined[name]) for name in ("MAJOR", "MINOR", "PATCH", "BUILD"))
        text = ".".join(map(str, fields))
        data = self.one(RT_VERSION, 1)
        signature = data.find(struct.pack("<I", 0xFEEF04BD))
        self.assertGreater(signature, 0)
        ms, ls = struct.unpack_from("<II", data, signature + 8)
        self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), fields)
        self.assertEqual(data.count(text.encode("utf-16-le")), 2, "FileVersion and ProductVersion")
        self.assertIn(f'version="{text}"', self.one(RT_MANIFEST, 1).decode("utf-8"))


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=1)
