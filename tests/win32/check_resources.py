#!/usr/bin/python3
"""Reads the built monitor with a PE reader: its header and imports, and the resources that the
end-to-end tests cannot see on the desktop (strings, icon images, accelerators, manifest, version)."""

import struct
import sys
import unittest

import pefile

EXE = None
RT_ICON, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 9, 14, 16, 24
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"}


class BuiltMonitor(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)
        cls.res = {}
        for kind in cls.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for name in kind.directory.entries:
                for lang in name.directory.entries:
                    data = lang.data.struct
                    cls.res[(kind.id, name.id, lang.id)] = cls.pe.get_data(data.OffsetToData, data.Size)

    def one(self, kind, rid):
        return self.res[(kind, rid, 1028)]  # every resource is Chinese (Taiwan)

    def test_header_and_imports(self):
        header = self.pe.OPTIONAL_HEADER
        self.assertEqual((self.pe.FILE_HEADER.Machine, header.Magic, header.Subsystem), (0x14C, 0x10B, 2))
        self.assertEqual(header.DllCharacteristics & 0x0140, 0x0140, "ASLR and DEP")
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(imported, SYSTEM_DLLS)
        self.assertEqual({lang for (_, _, lang) in self.res}, {1028})

    def test_strings(self):
        block, strings = self.one(RT_STRING, 103 // 16 + 1), {}
        offset = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", block, offset)
            strings[96 + index] = block[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
            offset += 2 + 2 * length
        self.assertEqual({i: s for i, s in strings.items() if s},
                         {103: "Kesl銀行晶片金融卡安控元件", 104: "Kesl銀行晶片金融卡安控元件",
                          105: "Kesl銀行晶片金融卡安控元件已關閉", 109: "KESLWEBATMMONITOR"})

    def test_icons(self):
        def images(rid):
            group = self.one(RT_GROUP_ICON, rid)
            found = []
            for i in range(struct.unpack_from("<H", group, 4)[0]):
                width, height, _, _, _, bits, _, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                _, dib_width, dib_height, _, dib_bits = struct.unpack_from("<IiiHH", self.one(RT_ICON, image_id))
                self.assertEqual((dib_width, dib_height // 2, dib_bits), (width, height, bits))
                found.append((width, bits))
            return sorted(found)
        self.assertEqual(images(107), [(56, 32)])
        self.assertEqual(images(129), [(56, 32)])
        self.assertEqual(images(108), sorted([(16, 4), (32, 4), (16, 8), (32, 8), (48, 8), (16, 32), (32, 32),
                                              (48, 32)]))

    def test_accelerators_are_alt_question_mark_and_alt_slash_for_about(self):
        table = self.one(RT_ACCELERATOR, 109)
        entries = [struct.unpack_from("<HHH", table, offset) for offset in range(0, len(table), 8)]
        self.assertEqual([(flags & 0x7F, key, command) for flags, key, command in entries],
                         [(0x10, ord("?"), 104), (0x10, ord("/"), 104)])

    def test_manifest_and_version(self):
        manifest = self.one(RT_MANIFEST, 1).decode("utf-8")
        for needed in ('level="asInvoker"', 'uiAccess="false"', 'name="Microsoft.Windows.Common-Controls"',
                       "PerMonitorV2", "true/pm"):
            self.assertIn(needed, manifest)
        version = self.one(RT_VERSION, 1)
        fixed = version.find(struct.pack("<I", 0xFEEF04BD))
        self.assertEqual(struct.unpack_from("<IIII", version, fixed + 8), (0x10000, 7, 0x10000, 7))
        self.assertIn("1.0.0.7".encode("utf-16-le"), version)


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=1)
