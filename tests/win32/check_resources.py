#!/usr/bin/python3
"""Reads the built monitor with a PE reader: its header and imports, and the resources that the
end-to-end tests cannot see on the desktop (strings, icon images, accelerators, manifest, version)."""

import struct
import sys
import unittest

import pefile

EXE = None
RT_ICON, RT_STRING, RT_ACCELERATOR, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 9, 14, 16, 24


class BuiltMonitor(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pe = pefile.PE(EXE)
        cls.res = {(kind.id, name.id, lang.id): pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                   for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries for name in kind.directory.entries
                   for lang in name.directory.entries}

    def one(self, kind, rid):
        return self.res[(kind, rid, 1028)]  # every resource is Chinese (Taiwan)

    def test_a_hardened_gui_program_that_needs_only_system_dlls(self):
        header = self.pe.OPTIONAL_HEADER
        self.assertEqual((self.pe.FILE_HEADER.Machine, header.Subsystem, header.DllCharacteristics & 0x140),
                         (0x14C, 2, 0x140))
        imported = {entry.dll.decode().lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(imported, {"kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"})
        self.assertEqual({lang for (_, _, lang) in self.res}, {1028})

    def test_strings(self):
        block, strings, at = self.one(RT_STRING, 103 // 16 + 1), {}, 0
        for index in range(96, 112):  # the block of ids 96 to 111
            (length,) = struct.unpack_from("<H", block, at)
            strings[index] = block[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            at += 2 + 2 * length
        self.assertEqual({i: s for i, s in strings.items() if s},
                         {103: "Kesl銀行晶片金融卡安控元件", 104: "Kesl銀行晶片金融卡安控元件",
                          105: "Kesl銀行晶片金融卡安控元件已關閉", 109: "KESLWEBATMMONITOR"})

    def test_icon_sizes_and_depths(self):
        def images(rid):
            group = self.one(RT_GROUP_ICON, rid)
            for i in range(struct.unpack_from("<H", group, 4)[0]):
                width, height, _, _, _, bits, _, image = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                dib = struct.unpack_from("<4xiiHH", self.one(RT_ICON, image))
                self.assertEqual(dib, (width, 2 * height, 1, bits))
                yield width, bits
        self.assertEqual(list(images(107)), [(56, 32)])
        self.assertEqual(list(images(129)), [(56, 32)])
        self.assertEqual(sorted(images(108)),
                         [(16, 4), (16, 8), (16, 32), (32, 4), (32, 8), (32, 32), (48, 8), (48, 32)])

    def test_alt_question_mark_and_alt_slash_open_about(self):
        table = self.one(RT_ACCELERATOR, 109)
        self.assertEqual([(flags & 0x7F, key, command) for flags, key, command, _ in struct.iter_unpack("<HHHH", table)],
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
