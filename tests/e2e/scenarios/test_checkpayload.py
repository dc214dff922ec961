"""A damaged installer is refused before anything is shown or written: cut inside an entry's data
or inside the table, a byte changed under the integrity record, a blank title, the bare stub.
The refusal is an error box without owner and exit code 1, and the prefix has nothing new. A
changed byte without the record passes the structural checks and installs."""
import os
import struct
import subprocess

import rig
from sequence_common import FLASH, INFO_OK, TITLE, installed, payload, snapshot

REFUSAL = ("Die Installationsdatei ist beschädigt oder unvollständig. "
           "Bitte laden Sie das Programm erneut herunter.")
REFUSED = """
forbid class=#32770 text^="Dieses Programm installiert"
forbid class=#32770 caption="Bildschirmschoner überschreiben?"
forbid class=#32770 caption="Datenträger voll"
wait class=#32770 caption="Fehler!!!" timeout=30
record rect=no style=no
press "OK"
end timeout=30
"""


def table(data):
    """(block offset, [(entry offset in the file, DataOffset, StoredSize)]) of a packed installer
    without licence, found by its title."""
    block = data.index(TITLE.encode() + b"\0") - 2
    entries, at = [], block + 264
    while True:
        offset, stored = struct.unpack_from("<II", data, at)
        if stored == 0:
            return block, entries
        entries.append((at, offset, stored))
        at += 28


class DamagedInstaller(rig.Scenario):
    def packed(self, p, integrity=True):
        extra = () if integrity else ("--no-integrity",)
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, payload(p), extra=extra)
        with open(exe, "rb") as f:
            return exe, bytearray(f.read())

    def verdict(self, exe):
        """sspack verify's exit code and output for a file: it must judge as the installer does."""
        v = subprocess.run([rig.SSPACK, "verify", exe], capture_output=True, text=True)
        return v.returncode, v.stdout + v.stderr

    def refused(self, make):
        """make(prefix) -> the damaged installer's host path."""
        p = self.prefix()
        exe = make(p)
        code, out = self.verdict(exe)
        self.assertEqual(code, 1, out)
        self.assertIn("DAMAGED", out)
        before = snapshot(p)
        r = p.run(exe, REFUSED, timeout=60)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 1)
        box = r.section('window class=#32770 caption="Fehler!!!"')
        self.assertIn("  owner: none", box)
        self.assertIn('  message: "%s"' % REFUSAL, box)
        self.assertIn('  buttons: "OK"', box)
        self.assertIn("  icon: error", box)
        self.assertEqual(snapshot(p), before)

    def write(self, p, data, name="Damaged.exe"):
        path = os.path.join(p.work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_cut_inside_each_entrys_data(self):
        for index in range(4):
            with self.subTest(entry=index):
                def make(p):
                    exe, data = self.packed(p)
                    _, entries = table(bytes(data))
                    _, offset, stored = entries[index]
                    return self.write(p, data[:offset + stored // 2])
                self.refused(make)

    def test_cut_inside_the_table(self):
        def make(p):
            exe, data = self.packed(p)
            block, _ = table(bytes(data))
            return self.write(p, data[:block + 264 + 28 + 9])
        self.refused(make)

    def test_one_byte_changed_in_each_entry_under_the_integrity_record(self):
        for index in range(4):
            with self.subTest(entry=index):
                def make(p):
                    exe, data = self.packed(p)
                    _, entries = table(bytes(data))
                    _, offset, stored = entries[index]
                    data[offset + stored - 1] ^= 0x20
                    return self.write(p, data)
                self.refused(make)

    def test_blank_title(self):
        def make(p):
            exe, data = self.packed(p, integrity=False)
            block, _ = table(bytes(data))
            data[block + 2:block + 2 + len(TITLE)] = b" " * len(TITLE)
            return self.write(p, data)
        self.refused(make)

    def test_bare_stub_without_payload(self):
        self.refused(lambda p: rig.INSTALLER)

    def test_a_changed_byte_without_the_record_installs(self):
        p = self.prefix()
        exe, data = self.packed(p, integrity=False)
        _, entries = table(bytes(data))
        _, offset, stored = entries[1]
        data[offset] ^= 0x20
        exe = self.write(p, data, "Sample.exe")
        code, out = self.verdict(exe)
        self.assertEqual(code, 0, out)  # what installs, verify accepts
        r = p.run(exe, INFO_OK + """
wait class=#32770 caption="%s" timeout=60
press "Abbrechen"
wait class=#32770 caption="Vistaworks Bestellinformation" timeout=30
press "OK"
end timeout=30
""" % FLASH, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertTrue(installed(p))
