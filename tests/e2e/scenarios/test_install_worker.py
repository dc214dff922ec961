"""The installation under Wine: the progress dialog, every file, the install log, the uninstall
entry, system.ini and the screen-saver switch, cancelling, the quiet build and the fallbacks."""
import os
import random
import re
import shutil
import struct
import subprocess

import layout
import rig
from sequence_common import snapshot

TITLE = "Sample"
CAPTION = "Installation des Bildschirmschoners %s"


def random_bytes(size, seed, compressible=False):
    if not compressible:
        return random.Random(seed).randbytes(size)
    # Words drawn from a small vocabulary: repeats for the coder to find, yet no simple period.
    rng = random.Random(seed)
    words = [bytes(rng.choice(b"abcdefghijklmnop") for _ in range(rng.randint(2, 9))) for _ in range(300)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) + b" "
    return bytes(out[:size])


class Payload:
    """The four host files of an installer: the screen saver (the recorder fixture padded to the
    size asked for), a data file, the uninstaller (likewise) and a Flash movie."""

    def __init__(self, folder, scr_size=225280, dat_size=11048, uninstaller_size=65536, swf_size=80089,
                 compressible=False):
        os.makedirs(folder, exist_ok=True)
        self.paths = []
        self.contents = []
        for name, size, base in (("saver.scr", scr_size, rig.fixture("fake_scr.scr")),
                                 ("saver.dat", dat_size, None),
                                 ("remove.exe", uninstaller_size, rig.fixture("fake_uninstaller.exe")),
                                 ("movie.swf", swf_size, None)):
            data = open(base, "rb").read() if base else (b"FWS\x09" if name.endswith(".swf") else b"")
            if len(data) > size:
                raise rig.RigError("%s is larger than %d bytes" % (base, size))
            data += random_bytes(size - len(data), size + len(name), compressible)
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write(data)
            self.paths.append(path)
            self.contents.append(data)


def pack(output, title, payload, compress=False, stub=None):
    """sspack build."""
    cmd = [rig.SSPACK, "build", "--stub", stub or rig.INSTALLER, "--title", title, "--out", output]
    if compress:
        cmd.append("--compress")
    if not os.path.exists(rig.SSPACK):
        raise rig.RigError("sspack is not built (make BUILD=%s host)" % rig.BUILD)
    # remove.exe is the uninstaller: a third file of another name than UNINSTAL.EXE would be a further file.
    paths = payload.paths
    done = subprocess.run(cmd + ["--uninstaller", paths[2], "--"] + paths[:2] + paths[3:], capture_output=True)
    text = (done.stdout + done.stderr).decode(errors="replace")
    if done.returncode != 0:
        raise rig.RigError("sspack failed: %s" % text)
    return output


def entry_layout(installer):
    """(offset, stored, expanded) of each entry, as sspack list reports them."""
    out = subprocess.run([rig.SSPACK, "list", installer], capture_output=True, check=True).stdout.decode()
    # "stored" in the expanded column: an entry kept as it is (ExpandedSize 0).
    return [(int(m.group(1), 16), int(m.group(2)), 0 if m.group(3) == "stored" else int(m.group(3)))
            for m in re.finditer(r"^\d+\s+\S+(?: \S+)?\s+0x([0-9A-F]+)\s+(\d+)\s+(\d+|stored)", out, re.M)]


def full_sequence(installer):
    """Whether the installer runs the whole install sequence (information message, Flash check,
    notice) around the progress dialog, or goes straight from the backdrop to the dialog."""
    with open(installer, "rb") as f:
        return b"Dieses Programm installiert" in f.read()


# The windows the whole sequence shows around the progress dialog, answered to go on.
BEFORE = """
wait class=#32770 text^="Dieses Programm installiert" timeout=20
press "OK"
"""
AFTER = """
wait class=#32770 text="Installation beendet!" timeout=20 optional orexit
press "OK"
wait class=#32770 caption="Vistaworks Bestellinformation" timeout=20 optional orexit
press "OK"
"""


BIG = 24 * 1024 * 1024  # an entry the cancel press reliably lands in (it lands within the first few MB)


def progress_wait(title=TITLE, visible="yes", timeout=20):
    return 'wait class=#32770 caption="%s" text="Bitte warten..." visible=%s timeout=%d' % (
        CAPTION % title, visible, timeout)


class Installation(rig.Scenario):
    def setUp(self):
        self.p = self.prefix()

    def assertInstalled(self, payload, title=TITLE, folder=None):
        for path, content in zip(layout.destinations(title, folder), payload.contents):
            self.assertTrue(self.p.exists(path), path)
            got = self.p.read_file(path)
            self.assertEqual(len(got), len(content), path)
            self.assertTrue(got == content, "%s differs from its payload entry" % path)

    def install_log(self):
        return self.p.read_file(layout.install_log(TITLE))

    def run_installer(self, exe, middle="", quiet=False, before="", after=None, timeout=120, copy_to=r"C:\e2e"):
        """Runs an installer, answering the sequence's other windows when it has them. A Flash
        Player new enough for the movie is registered, so the sequence ends with its finished
        message (interactively) or at once (quietly)."""
        if full_sequence(rig.INSTALLER_QUIET if quiet else rig.INSTALLER):
            self.p.install_flash("10")
            if not quiet:
                before, after = before + BEFORE, AFTER if after is None else after
        return self.p.run(exe, before + middle + (after or ""), timeout=timeout, copy_to=copy_to)


class ProgressDialogAndFiles(Installation):
    def test_progress_dialog_as_the_user_sees_it(self):
        # The copy is fast; the cancel question holds the dialog up while it is recorded, and
        # answered No it changes nothing.
        payload = Payload(self.p.work + "/in", scr_size=BIG)
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        r = self.run_installer(exe, progress_wait() + """
press "Abbrechen"
sleep 300
record
screen
wait class=#32770 caption="Installation abbrechen?" timeout=20
record
press "Nein"
""")
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        # The dialog centred on the screen and owned by the backdrop, the entry's name in it,
        # Abbrechen its default button; the question owned by the dialog.
        self.assertTranscript(r, "install_progress_dialog")
        self.assertInstalled(payload)  # No: nothing changed

    def test_every_file_byte_identical_and_four_log_lines(self):
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        entries = entry_layout(exe)
        self.assertEqual(entries[0][1], 225280)  # a multiple of the 2048-byte chunk
        # The last entry ends the file but for sspack's zero padding to a multiple of 8 bytes.
        size, end = os.path.getsize(exe), entries[-1][0] + entries[-1][1]
        self.assertEqual((size % 8, size - end < 8), (0, True), (size, end))
        r = self.run_installer(exe)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertInstalled(payload)
        lines = "".join(p + "\r\n" for p in layout.destinations(TITLE)).encode("cp1252")
        self.assertEqual(self.install_log(), lines)

        # A second installation overwrites the files and appends four more lines.
        r = self.run_installer(exe)
        self.assertRobotOk(r)
        self.assertEqual(self.install_log(), lines + lines)
        self.assertInstalled(payload)

    def test_compressed_entries_expand_to_their_files(self):
        payload = Payload(self.p.work + "/in", compressible=True)
        exe = pack(self.p.work + "/setup.exe", TITLE, payload, compress=True)
        self.assertEqual([expanded > 0 for _o, _s, expanded in entry_layout(exe)], [True] * 4)
        r = self.run_installer(exe)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertInstalled(payload)


class Registration(Installation):
    def check_registration(self, title):
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", title, payload)
        r = self.run_installer(exe)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertInstalled(payload, title)
        folder = layout.data_folder(title)
        self.assertEqual(self.p.reg_values(layout.uninstall_key(title)), {
            "displayname": ("REG_SZ", title + " Bildschirmschoner"),
            "uninstallstring": ("REG_EXPAND_SZ", layout.uninstall_string(title)),
            "installlocation": ("REG_EXPAND_SZ", folder),
            "displayicon": ("REG_SZ", layout.screen_saver(title) + ",-0"),
            "publisher": ("REG_SZ", "Erstellt mit Quilmark's Vistaworks"),
            "versionmajor": ("REG_DWORD", 7),
            "versionminor": ("REG_DWORD", 0),
        })
        # The short form: 8.3 components that name the installed screen saver.
        short = self.p.system_ini().get("boot", {}).get("scrnsave.exe", "")
        self.assertRegex(short, r"(?i)^" + re.escape(layout.WINDOWS) + r"\\[^\\ .]{1,8}\.SCR$")
        found = self.p.wine("cmd", "/c", "if", "exist", short, "echo", "found")
        self.assertIn(b"found", found.stdout)
        if " " not in title:
            self.assertEqual(short.lower(), layout.screen_saver(title).lower())
        self.assertEqual(self.p.reg_value(r"HKCU\Control Panel\Desktop", "ScreenSaveActive"), "1")
        self.assertTrue(self.p.exists(folder + "\\"), folder)

    def test_uninstall_entry_system_ini_and_screen_saving(self):
        self.check_registration(TITLE)

    def test_title_with_dots_keeps_them_in_key_and_folder(self):
        self.check_registration("Night Sky 2.0")

    def test_without_shfolder_the_data_lie_under_the_windows_directory(self):
        self.p.dll_overrides["shfolder"] = ""
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        r = self.run_installer(exe)
        self.assertRobotOk(r)
        fallback = layout.data_folder(TITLE, fallback=True)
        self.assertInstalled(payload, folder=fallback)
        self.assertFalse(self.p.exists(layout.data_folder(TITLE)))
        self.assertEqual(self.p.reg_value(layout.uninstall_key(TITLE), "InstallLocation"), fallback)


class Cancel(Installation):
    def cancel_during_the_screen_saver(self, compress):
        payload = Payload(self.p.work + "/in", scr_size=BIG, compressible=compress)
        exe = pack(self.p.work + "/setup.exe", TITLE, payload, compress=compress)
        r = self.run_installer(exe, progress_wait() + """
press "Abbrechen"
wait class=#32770 caption="Installation abbrechen?" timeout=20
press "Ja"
""", after="")
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 5)  # cancelled during the installation
        scr, dat, uninstaller, swf = (self.p.read_file(path) for path in layout.destinations(TITLE))
        self.assertLess(len(scr), BIG)  # stopped at a pump point
        self.assertTrue(payload.contents[0].startswith(scr))
        for got, content in ((dat, payload.contents[1]), (swf, payload.contents[3])):
            # A stored entry gets its first chunk, a compressed one what came before its first pump.
            self.assertLessEqual(len(got), 16384 if compress else 2048)
            self.assertLess(len(got), len(content))
            self.assertTrue(content.startswith(got))
        self.assertTrue(uninstaller == payload.contents[2], "the uninstaller is written whole")
        self.assertEqual(self.p.reg_value(layout.uninstall_key(TITLE), "UninstallString"), layout.uninstall_string(TITLE))
        self.assertEqual(self.install_log(), "".join(p + "\r\n" for p in layout.destinations(TITLE)).encode("cp1252"))
        self.assertIn("scrnsave.exe", self.p.system_ini().get("boot", {}))
        self.assertEqual(self.p.reg_value(r"HKCU\Control Panel\Desktop", "ScreenSaveActive"), "1")
        if full_sequence(rig.INSTALLER):  # the cancelled installation removes itself
            self.assertEqual([(e["tag"], e["args"]) for e in self.p.fixture_log()], [("uninstaller", "/s")])

    def test_confirmed_during_the_screen_saver_the_uninstaller_is_still_whole(self):
        self.cancel_during_the_screen_saver(compress=False)

    def test_confirmed_during_a_compressed_screen_saver(self):
        self.cancel_during_the_screen_saver(compress=True)


class Failures(Installation):
    def full_disk(self, compress):
        free = self.p.small_drive_c(3 * 1024 * 1024)
        payload = Payload(self.p.work + "/in", swf_size=free + 4 * 1024 * 1024, compressible=compress)
        exe = pack(self.p.work + "/setup.exe", TITLE, payload, compress=compress)
        before = ""
        if full_sequence(rig.INSTALLER):  # the disk-space question: go on anyway
            before = 'wait class=#32770 caption="Datenträger voll" timeout=20\npress "OK"\n'
        r = self.run_installer(exe, """
wait class=#32770 caption="Fehler!!!" timeout=60
record
press "OK"
""", before='forbid class=#32770 text="Installation beendet!"\n' + before, after="",
                               copy_to=None)  # started from drive Z: the small drive holds no copy
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 1)
        # The error box names the movie, the entry that did not fit.
        self.assertTranscript(r, "install_full_disk")
        destination = layout.destinations(TITLE)[3]
        self.assertTrue(self.install_log().endswith((destination + "\r\n").encode("cp1252")))
        self.assertLess(len(self.p.read_file(destination)), len(payload.contents[3]))

    def test_full_disk_stops_with_the_file_named_and_logged(self):
        self.full_disk(compress=False)

    def test_full_disk_while_expanding_stops_the_same_way(self):
        self.full_disk(compress=True)

    def test_access_denied_on_the_uninstall_key_writes_nothing(self):
        # 32-bit like the installer, so that it locks the key in the view the installer writes.
        tool = rig.fixture("deny_key.exe")
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        self.p.copy_in(tool, r"C:\e2e\deny_key.exe")
        self.p.copy_in(exe, r"C:\e2e\setup.exe")
        key = layout.UNINSTALL_SUBKEY + "\\" + TITLE
        # The lock lasts for the Wine session, which the robot keeps alive between its starts.
        # The script starts both programs itself, so the sequence's own answers go in its middle.
        r = self.p.run(None, """
start "C:\e2e\deny_key.exe" -- %s
end timeout=30
start "C:\e2e\setup.exe"
""" % key + ("" if not full_sequence(rig.INSTALLER) else BEFORE) + """
wait class=#32770 caption="Fehler!!!" timeout=30
record
press "OK"
end timeout=30
""", timeout=120)
        self.assertRobotOk(r)
        # The key was locked (exit code 0), the installer told so and failed (exit code 1).
        self.assertEqual([l for l in r.lines if l.startswith("exit code ")], ["exit code 0", "exit code 1"])
        self.assertTranscript(r, "install_access_denied")
        self.assertFalse(self.p.exists(layout.screen_saver(TITLE)))
        self.assertFalse(self.p.exists(layout.PUBLISHER_FOLDER))
        self.assertEqual(self.p.reg_values(layout.uninstall_key(TITLE)) or {}, {})
        self.assertNotIn("scrnsave.exe", self.p.system_ini().get("boot", {}))

    def test_a_link_in_place_of_a_folder_of_the_chain_is_refused(self):
        # Another user made a folder of the chain a link (a Unix symbolic link, which Wine shows as
        # a reparse point) to a place of their choosing: the installer stops before anything is
        # written there. Each level in turn, the ones above it real folders.
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        target = self.p.unix(r"C:\elsewhere")
        os.makedirs(target)
        for folder in (layout.PUBLISHER_FOLDER, layout.PRODUCT_FOLDER, layout.data_folder(TITLE)):
            with self.subTest(folder=folder):
                parent, name = folder.rsplit("\\", 1)
                os.makedirs(self.p.unix(parent), exist_ok=True)
                link = os.path.join(self.p.unix(parent), name)
                os.symlink(target, link)
                r = self.run_installer(exe, """
wait class=#32770 caption="Fehler!!!" timeout=60
record rect=no style=no
press "OK"
""", before='forbid class=#32770 text="Installation beendet!"\n', after="")
                os.unlink(link)
                self.assertRobotOk(r)
                self.assertEqual(r.exit_code, 1)
                # The message names the link (a backslash doubled in the transcript); one transcript
                # for every level of the chain.
                self.assertTranscript(r, "install_chain_folder_link",
                                      transform=lambda t: t.replace(folder.replace("\\", "\\\\"), "<FOLDER>"))
                self.assertEqual(os.listdir(target), [])
                self.assertFalse(self.p.exists(layout.screen_saver(TITLE)))
                self.assertEqual(self.p.reg_values(layout.uninstall_key(TITLE)) or {}, {})
                self.assertNotIn("scrnsave.exe", self.p.system_ini().get("boot", {}))
            os.makedirs(self.p.unix(parent) + "/" + name, exist_ok=True)


def renumber_dialog(stub, output, old, new):
    """A copy of stub whose dialog template `old` is `new` instead (kept in the order of its
    directory, so that every other template is found as before)."""
    data = bytearray(open(stub, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    pe64 = struct.unpack_from("<H", data, optional)[0] == 0x20B
    rva = struct.unpack_from("<I", data, optional + (112 if pe64 else 96) + 2 * 8)[0]  # the resource directory
    base = None
    for k in range(sections):
        vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, optional + optional_size + 40 * k + 8)
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            base = rawptr + rva - vaddr

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        return [directory + 16 + 8 * n for n in range(named + ids)]

    for entry in entries(base):
        if struct.unpack_from("<I", data, entry)[0] == 5:  # RT_DIALOG
            for template in entries(base + (struct.unpack_from("<I", data, entry + 4)[0] & 0x7FFFFFFF)):
                if struct.unpack_from("<I", data, template)[0] == old:
                    struct.pack_into("<I", data, template, new)
                    with open(output, "wb") as f:
                        f.write(data)
                    return output
    raise rig.RigError("no dialog %d in %s" % (old, stub))


class WindowThatCannotBeOpened(rig.Scenario):
    """A stub whose progress dialog (103) or licence dialog (106) has another number: the dialog
    cannot be made. The installer says so and exits 1, with nothing written, never "Installation
    beendet!"."""

    def test_progress_or_licence_dialog_missing(self):
        rows = (
            # what, stub, template, renumbered, licence, transcript
            ("progress dialog", rig.INSTALLER, 103, 102, False, "install_window_failed"),
            ("progress dialog, quiet", rig.INSTALLER_QUIET, 103, 102, False, "install_window_failed_quiet"),
            ("licence dialog", rig.INSTALLER, 106, 105, True, "install_window_failed"),
        )
        for what, installer, template, renumbered, licence, expected in rows:
            with self.subTest(what):
                p = self.prefix()
                stub = renumber_dialog(installer, os.path.join(p.work, "stub.exe"), template, renumbered)
                text = None
                if licence:
                    text = os.path.join(p.work, "licence.txt")
                    with open(text, "wb") as f:
                        f.write(b"Licence\r\n")
                exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, rig.sample_payload(p.work + "/in"),
                               licence=text, stub=stub)
                before = snapshot(p)
                interactive = installer == rig.INSTALLER and full_sequence(rig.INSTALLER)
                r = p.run(exe, """
forbid class=#32770 text="Installation beendet!"
forbid class=#32770 caption="Vistaworks Bestellinformation"
""" + (BEFORE if interactive else "") + """
wait class=#32770 caption="Fehler!!!" timeout=30
record rect=no style=no
press "OK"
end timeout=30
""", timeout=90)
                self.assertRobotOk(r)
                self.assertEqual(r.exit_code, 1)
                self.assertTranscript(r, expected)
                self.assertEqual(snapshot(p), before)


class InstallLog(Installation):
    """INSTALL.LOG as another process holds it, and where it cannot be made at all: the
    installation goes on only with its log, or stops before its first entry with nothing left."""

    def run_with_log_held(self, share, script):
        # An earlier installation's log, held by a reader from before the installer starts.
        self.p.write_file(layout.install_log(TITLE), b"earlier line\r\n")
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        self.p.copy_in(rig.fixture("hold_open.exe"), r"C:\e2e\hold_open.exe")
        self.p.copy_in(exe, r"C:\e2e\setup.exe")
        log = '"%s"' % layout.install_log(TITLE)  # the path has blanks
        if full_sequence(rig.INSTALLER):
            self.p.install_flash("10")
        r = self.p.run(None, """
start "C:\e2e\hold_open.exe" -- %s %s
sleep 500
start "C:\e2e\setup.exe"
""" % (share, log) + ("" if not full_sequence(rig.INSTALLER) else BEFORE) + script + """
start "C:\e2e\hold_open.exe" -- release %s
end timeout=30
""" % log, timeout=120)
        self.assertRobotOk(r)
        exits = [int(l.split()[-1]) for l in r.lines if l.startswith("exit code ")]
        self.assertEqual(exits[1:], [0], "the release")  # the holder's own end is not the robot's to see
        return r, payload, exits[0]

    def assertNothingWritten(self, title=TITLE):
        for path in layout.destinations(title):
            self.assertFalse(self.p.exists(path), path)
        self.assertNotIn(title, self.p.reg_subkeys(layout.UNINSTALL_KEY) or [])  # the access probe's key went too
        self.assertNotIn("scrnsave.exe", self.p.system_ini().get("boot", {}))

    def test_held_by_a_reader_that_denies_writers_stops_before_the_first_entry(self):
        r, _payload, code = self.run_with_log_held("", """
forbid class=#32770 text="Installation beendet!"
wait class=#32770 caption="Fehler!!!" timeout=60
record
press "OK"
end timeout=30
""")
        self.assertEqual(code, 1)
        # The stop names the log, in a box without owner.
        self.assertTranscript(r, "install_log_held")
        self.assertEqual(self.install_log(), b"earlier line\r\n")
        self.assertNothingWritten()
        self.assertTrue(self.p.exists(layout.data_folder(TITLE) + "\\"), "a folder of an earlier run stays")

    def test_held_by_a_reader_that_lets_writers_in_installs(self):
        r, payload, code = self.run_with_log_held("writers", (AFTER if full_sequence(rig.INSTALLER) else "") +
                                                  "end timeout=60\n")
        self.assertEqual(code, 0)
        self.assertInstalled(payload)
        lines = "".join(p + "\r\n" for p in layout.destinations(TITLE)).encode("cp1252")
        self.assertEqual(self.install_log(), b"earlier line\r\n" + lines)

    def test_a_data_folder_that_cannot_be_made_takes_the_new_folders_away(self):
        # ProgramData on a tmpfs of its own with inodes for two more names: the vendor's and the
        # product's folders are made, the title's is not (no room), and the log cannot be opened.
        # The stop removes the two new folders and the access probe's new key.
        if os.geteuid() != 0:
            self.skipTest("a drive without inodes needs root for mount")
        folder = self.p.unix(layout.APPLICATION_DATA)
        kept = os.path.join(self.p.work, "programdata")
        shutil.copytree(folder, kept, symlinks=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", folder], check=True)
        self.p.tmpfs = folder  # unmounted when the prefix closes
        shutil.copytree(kept, folder, symlinks=True, dirs_exist_ok=True)
        st = os.statvfs(folder)
        subprocess.run(["mount", "-o", "remount,nr_inodes=%d" % (st.f_files - st.f_ffree + 2), folder], check=True)
        payload = Payload(self.p.work + "/in")
        exe = pack(self.p.work + "/setup.exe", TITLE, payload)
        r = self.run_installer(exe, """
forbid class=#32770 text="Installation beendet!"
wait class=#32770 caption="Fehler!!!" timeout=60
record rect=no style=no
press "OK"
""", after="")
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 1)
        self.assertTranscript(r, "install_log_folder_not_made")
        self.assertNothingWritten()
        self.assertFalse(self.p.exists(layout.PUBLISHER_FOLDER))
        self.assertEqual(sorted(os.listdir(folder)), sorted(os.listdir(kept)))


class QuietBuild(Installation):
    def test_the_dialog_is_never_visible_and_the_files_are_the_same(self):
        payload = Payload(self.p.work + "/in", scr_size=BIG)
        exe = pack(self.p.work + "/setup.exe", TITLE, payload, stub=rig.INSTALLER_QUIET)
        # The hidden dialog exists while the big screen saver is copied; it must never show.
        dialog = 'class=#32770 caption="%s" text="Bitte warten..."' % (CAPTION % TITLE)
        r = self.run_installer(exe, "forbid %s visible=yes\n" % dialog + progress_wait(visible="any") +
                               "\nrecord controls=no\n", quiet=True)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "install_quiet_hidden_dialog")
        self.assertInstalled(payload)
