"""A damaged installer is refused before anything is shown or written: cut inside an entry's data
or inside the table, a byte changed under the integrity record, an unusable title or extension,
the bare stub.
The refusal is an error box without owner and exit code 1, and the prefix has nothing new. A
changed byte without the record passes the structural checks and installs. An installer signed
with osslsigncode verifies and installs, and so does one whose certificate table grew by a
download tag; signed, a changed byte of an entry's data or a certificate table cut short is
refused all the same. A damaged file put at the installer's path after the check, while the
information message waits, is never installed: the rename it takes is refused, and a swap the
system does not see changes nothing either."""
import os
import struct
import subprocess

import rig
from reliability_lib import installed_problems
from sequence_common import FLASH, INFO_OK, TITLE, installed, payload, snapshot

REFUSED = """
forbid class=#32770 text^="Dieses Programm installiert"
forbid class=#32770 caption="Bildschirmschoner überschreiben?"
forbid class=#32770 caption="Datenträger voll"
wait class=#32770 caption="Fehler!!!" timeout=30
record rect=no style=no
press "OK"
end timeout=30
"""


signing_certificate = rig.signing_certificate


def sign(exe, output):
    """rig.sign's file, and its bytes."""
    rig.sign(exe, output)
    with open(output, "rb") as f:
        return output, bytearray(f.read())


def certificate_directory(data):
    """(offset, size) of the certificate table as the data directories name it."""
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    pe64 = struct.unpack_from("<H", data, optional)[0] == 0x20B
    return struct.unpack_from("<II", data, optional + (144 if pe64 else 128))


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
        # The refusal: an error box without owner, the only window.
        self.assertTranscript(r, "checkpayload_refused")
        self.assertEqual(snapshot(p), before)

    def write(self, p, data, name="Damaged.exe"):
        path = os.path.join(p.work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def refused_in_each_entry(self, damage):
        # damage(data, offset, stored) gives the file's new bytes for one entry's data.
        for index in range(4):
            with self.subTest(entry=index):
                def make(p):
                    exe, data = self.packed(p)
                    _, entries = table(bytes(data))
                    _, offset, stored = entries[index]
                    return self.write(p, damage(data, offset, stored))
                self.refused(make)

    def test_cut_inside_each_entrys_data(self):
        self.refused_in_each_entry(lambda data, offset, stored: data[:offset + stored // 2])

    def test_cut_inside_the_table(self):
        def make(p):
            exe, data = self.packed(p)
            block, _ = table(bytes(data))
            return self.write(p, data[:block + 264 + 28 + 9])
        self.refused(make)

    def test_one_byte_changed_in_each_entry_under_the_integrity_record(self):
        def change_last_byte(data, offset, stored):
            data[offset + stored - 1] ^= 0x20
            return data
        self.refused_in_each_entry(change_last_byte)

    def test_blank_title_one_ending_in_a_dot_and_a_short_name(self):
        # "Sky." would make the folder ...\Sky and the key ...\Sky.: another product's "Sky" key
        # would be the one its uninstaller deletes. "SAMP~1" may be the short name of another
        # title's data folder or screen saver.
        for title in (b" " * len(TITLE), b"Sky.  ", b"SAMP~1"):
            def make(p):
                exe, data = self.packed(p, integrity=False)
                block, _ = table(bytes(data))
                data[block + 2:block + 2 + len(TITLE)] = title
                return self.write(p, data)
            with self.subTest(title=title):
                self.refused(make)

    def test_an_extension_that_leaves_the_data_folder_or_ends_in_a_dot(self):
        # Entry 3's Extension field: C:\ProgramData\ab, and FILE0000. (Windows makes FILE0000).
        for extension in (b"\\..\\..\\..\\..\\ab", b".  "):
            def make(p):
                exe, data = self.packed(p, integrity=False)
                _, entries = table(bytes(data))
                at = entries[3][0] + 12
                data[at:at + 16] = extension.ljust(16)
                return self.write(p, data)
            with self.subTest(extension=extension):
                self.refused(make)

    def test_started_from_a_path_too_long_to_open_itself(self):
        p = self.prefix()
        exe, _ = self.packed(p)
        folder = "C:\\" + "d" * 120 + "\\" + "e" * (257 - len("Sample.exe") - 1 - 124)  # the program: 257 characters
        before = snapshot(p)
        r = p.run(exe, REFUSED, timeout=60, copy_to=folder)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 1)
        self.assertTranscript(r, "checkpayload_path_too_long")
        self.assertEqual(snapshot(p), before)

    def test_bare_stub_without_payload(self):
        def make(p):
            # Under the name every refusal is started by, so that all share one transcript.
            with open(rig.INSTALLER, "rb") as f:
                return self.write(p, f.read())
        self.refused(make)

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

    def test_a_signed_installer_verifies_and_installs(self):
        p = self.prefix()
        p.install_flash("10")
        entries = payload(p)
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, entries)
        unsigned = os.path.getsize(exe)
        exe, data = sign(exe, os.path.join(p.work, "Signed.exe"))
        offset, size = certificate_directory(data)
        self.assertEqual((offset, offset + size), (unsigned, len(data)),
                         "the table lies behind the unsigned file, unpadded, to the end")
        cert, _ = signing_certificate()
        v = subprocess.run(["osslsigncode", "verify", "-in", exe, "-CAfile", cert], capture_output=True, text=True)
        self.assertEqual(v.returncode, 0, v.stdout + v.stderr)
        code, out = self.verdict(exe)
        self.assertEqual(code, 0, out)
        self.assertIn("ok    signature: certificate table at 0x%X, %d bytes, the file's last part" % (offset, size), out)
        r = p.run(exe, "answer timeout=60 shots=w", timeout=90)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertEqual(installed_problems(p, [open(e, "rb").read() for e in entries]), [])

    def test_a_signed_installer_whose_table_grew_verifies_and_installs(self):
        # Publishers tag downloads by appending bytes to the certificate table and raising its size
        # to match: the table is still the file's last part behind the payload, so the installer
        # takes the file, and verify calls it sound with a note on the table's content.
        p = self.prefix()
        p.install_flash("10")
        entries = payload(p)
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, entries)
        exe, data = sign(exe, os.path.join(p.work, "Signed.exe"))
        offset, size = certificate_directory(data)
        tag = b"download 0042".ljust(24, b"\0")
        data += tag
        optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
        pe64 = struct.unpack_from("<H", data, optional)[0] == 0x20B
        struct.pack_into("<I", data, optional + (148 if pe64 else 132), size + len(tag))
        exe = self.write(p, data, "Tagged.exe")
        code, out = self.verdict(exe)
        self.assertEqual(code, 0, out)
        self.assertIn("ok    signature: certificate table at 0x%X, %d bytes, the file's last part"
                      % (offset, size + len(tag)), out)
        self.assertIn("note  signature: the table's content is not as a signer writes it", out)
        r = p.run(exe, "answer timeout=60 shots=w", timeout=90)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertEqual(installed_problems(p, [open(e, "rb").read() for e in entries]), [])

    def test_a_signed_installer_changed_or_with_its_table_cut_is_refused(self):
        def changed(p):
            exe, data = sign(self.packed(p)[0], os.path.join(p.work, "Signed.exe"))
            _, offset, stored = table(bytes(data))[1][2]
            data[offset + stored // 2] ^= 0x01
            return self.write(p, data)

        def cut(p):
            exe, data = sign(self.packed(p)[0], os.path.join(p.work, "Signed.exe"))
            return self.write(p, data[:-100])

        for change, make in (("a byte of an entry's data", changed), ("the table cut short", cut)):
            with self.subTest(change=change):
                self.refused(make)

    # The installer file renamed and a damaged one put at its path while the information message
    # waits, after the pre-check: what is installed is always the file that was checked. The
    # installer holds its own file from its first instruction, shared for reading only, and reads
    # everything through that handle.
    def swapped_after_the_check(self, how):
        """how(p, exe, damaged) swaps the files while the information message waits; returns what
        the swap left at the installer's path and beside it."""
        p = self.prefix()
        p.install_flash("10")
        entries = payload(p)
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, entries)
        with open(exe, "rb") as f:
            good = f.read()
        data = bytearray(good)
        _, offset, stored = table(good)[1][0]
        data[offset + stored // 2] ^= 0x01  # a byte of the screen saver: the integrity record fails
        damaged = self.write(p, data)
        code, out = self.verdict(damaged)
        self.assertEqual(code, 1, out)
        self.assertIn("DAMAGED", out)
        p.copy_in(damaged, r"C:\e2e\Damaged.exe")
        seen = {}
        r = p.run(exe, """
wait class=#32770 text^="Dieses Programm installiert" timeout=30
xshot swap
answer timeout=60 shots=none
""", timeout=120, outside={"swap": lambda: seen.update(how(p))})
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertEqual(installed_problems(p, [open(e, "rb").read() for e in entries]), [])
        return good, seen

    def test_a_rename_of_the_running_installer_is_refused(self):
        # As a user who may rename in the download folder would swap it, through the system.
        def swap(p, *_):
            p.wine("cmd", "/c", r"move C:\e2e\Sample.exe C:\e2e\renamed.exe && "
                                       r"copy /y C:\e2e\Damaged.exe C:\e2e\Sample.exe", timeout=60)
            return {"renamed": p.exists(r"C:\e2e\renamed.exe"), "at its path": p.read_file(r"C:\e2e\Sample.exe")}
        good, seen = self.swapped_after_the_check(swap)
        self.assertFalse(seen["renamed"])
        self.assertTrue(seen["at its path"] == good)

    def test_a_swap_the_system_does_not_see_still_installs_the_checked_file(self):
        # Renamed from outside Wine, where share modes do not reach: the path names the damaged
        # file, yet every byte is read through the handle held on the checked one.
        def swap(p, *_):
            os.rename(p.unix(r"C:\e2e\Sample.exe"), os.path.join(os.path.dirname(p.unix(r"C:\e2e\Sample.exe")),
                                                                 "renamed.exe"))
            with open(p.unix(r"C:\e2e\Damaged.exe"), "rb") as f, \
                    open(os.path.join(os.path.dirname(p.unix(r"C:\e2e\Damaged.exe")), "Sample.exe"), "wb") as out:
                out.write(f.read())
            return {"at its path": p.read_file(r"C:\e2e\Sample.exe")}
        good, seen = self.swapped_after_the_check(swap)
        self.assertFalse(seen["at its path"] == good)
