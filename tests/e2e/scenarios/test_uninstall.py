"""The real uninstaller under Wine: installed by the quiet installer (or cancelled in the
interactive one), run from its data folder with and without "/s", and what it leaves behind."""
import os
import random
import shutil
import subprocess
from unittest import mock

import layout
import rig

TITLE = "Sample"
DATA = layout.data_folder(TITLE)
UNINSTALLER = layout.uninstaller(TITLE)
KEY = layout.uninstall_key(TITLE)
SCREEN_SAVER = layout.screen_saver(TITLE)
INSTALLED = layout.destinations(TITLE)
LOG = layout.install_log(TITLE)
QUESTION = 'wait class=#32770 caption="Bildschirmschoner entfernen" text^="Möchten Sie" timeout=20'
REPORT = 'wait class=#32770 caption="Bildschirmschoner entfernen" text~="%s" timeout=20\nrecord rect=no style=no\n' \
         'press "OK"'
PENDING_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"
HOLD_OPEN = r"C:\e2e\hold_open.exe"


def pending_deletions(p):
    """The paths the system deletes at its next start (MoveFileEx's list: source, empty target)."""
    value = p.reg_value(PENDING_KEY, "PendingFileRenameOperations", view=64) or ""
    names = value.split("\0")
    return [n[4:] if n.startswith("\\??\\") else n for n in names[0::2] if n]


def payload(folder, scr_size=None):
    """The sample screen saver, its data file, the real uninstaller and the movie; the screen saver
    padded to scr_size when given (its overlay is never run)."""
    os.makedirs(folder, exist_ok=True)
    scr = os.path.join(folder, "sample.scr")
    shutil.copyfile(rig.product("sample", "sample.scr"), scr)
    if scr_size:
        with open(scr, "ab") as f:
            f.write(random.Random(7).randbytes(scr_size - os.path.getsize(scr)))
    return [scr, rig.product("sample", "sample.dat"), rig.product("uninstall", "UNINSTAL.EXE"),
            rig.product("sample", "movie.swf")]


class Uninstall(rig.Scenario):
    def setUp(self):
        self.p = self.prefix()

    def install_quietly(self, data=DATA, title=TITLE):
        exe = rig.pack(self.p.work + "/setup.exe", title, payload(self.p.work + "/in"), stub=rig.INSTALLER_QUIET)
        self.p.install_flash("10")  # the movie asks for 8: no message about the player
        r = self.p.run(exe, timeout=60)
        self.assertRobotOk(r)
        for path in [layout.screen_saver(title), layout.uninstaller(title, data), layout.install_log(title, data)]:
            self.assertTrue(self.p.exists(path), path)
        self.assertEqual(set(self.p.reg_values(layout.uninstall_key(title))), layout.UNINSTALL_VALUES)

    def uninstall(self, script="", args="/s", uninstaller=UNINSTALLER):
        r = self.p.run(None, 'start "%s"%s\n%s\nend timeout=30\n' % (uninstaller, " -- " + args if args else "",
                                                                   script), timeout=60)
        self.assertRobotOk(r)
        return r

    def assertClean(self):
        for path in INSTALLED:
            self.assertFalse(self.p.exists(path), path)
        self.assertFalse(self.p.exists(layout.PUBLISHER_FOLDER))
        self.assertIsNone(self.p.reg_values(KEY))
        self.assertNotIn(TITLE.lower(), self.p.system_ini().get("boot", {}).get("scrnsave.exe", "").lower())

    def test_silent_run_leaves_nothing_of_the_payload(self):
        self.install_quietly()
        self.assertIn(TITLE.lower(), self.p.system_ini()["boot"]["scrnsave.exe"].lower())
        r = self.uninstall()
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "uninstall_silent")  # shows nothing
        self.assertClean()
        # The copy that removed the uninstaller ran from a new folder of its own below the temp
        # folder; it and the folder go at the next start.
        copy, folder = pending_deletions(self.p)
        self.assertEqual(copy, folder + "\\" + layout.UNINSTALLER)
        self.assertRegex(folder, r"\\UNINSTAL-[0-9a-f]{16}$")

    def test_installed_sspack_packs_its_own_stub_and_uninstaller(self):
        """make install DESTDIR=...; the installed sspack builds from a .scr and a .dat alone, with the
        PE32 quiet stub and the PE32 UNINSTAL.EXE it ships; that installer installs and its
        uninstaller leaves nothing."""
        dest = os.path.join(self.p.work, "dest")
        done = subprocess.run(["make", "-C", rig.REPO, "--no-print-directory", "install", "DESTDIR=" + dest,
                               "PREFIX=/usr", "BUILD=" + rig.BUILD], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout[-2000:] + done.stderr[-2000:])
        sspack = os.path.join(dest, "usr", "bin", "sspack")
        shipped = os.path.join(dest, "usr", "share", "sspack")
        self.assertTrue(os.path.exists(os.path.join(dest, "usr", "share", "man", "man1", "sspack.1")))
        scr, dat = payload(self.p.work + "/in")[:2]
        exe = self.p.work + "/setup.exe"
        built = subprocess.run([sspack, "build", "--quiet-installer", "--title", TITLE, "--out", exe, scr, dat],
                               capture_output=True, text=True)
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertIn("uninstaller: %s/UNINSTAL.EXE (shipped with sspack)" % shipped, built.stdout)
        subprocess.run([sspack, "extract", exe, self.p.work + "/x"], check=True, capture_output=True)
        with open(os.path.join(shipped, "UNINSTAL.EXE"), "rb") as a, open(self.p.work + "/x/UNINSTAL.EXE", "rb") as b:
            self.assertEqual(a.read(), b.read())
        with open(os.path.join(shipped, "installer-quiet.exe"), "rb") as a, open(exe, "rb") as b:
            self.assertEqual(a.read(64), b.read(64))
        self.p.install_flash("10")
        r = self.p.run(exe, timeout=60)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        for path in INSTALLED[:3] + [LOG]:
            self.assertTrue(self.p.exists(path), path)
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        self.assertEqual(self.uninstall().exit_code, 0)
        self.assertClean()

    def test_another_active_screen_saver_stays_named(self):
        self.install_quietly()
        ini = self.p.read_file(layout.SYSTEM_INI).decode("cp1252")
        active = self.p.system_ini()["boot"]["scrnsave.exe"]
        self.p.write_file(layout.SYSTEM_INI, ini.replace(active, r"C:\windows\other.scr"))
        r = self.uninstall()
        self.assertEqual(r.exit_code, 0)
        self.assertEqual(self.p.system_ini()["boot"]["scrnsave.exe"], r"C:\windows\other.scr")
        self.assertFalse(self.p.exists(SCREEN_SAVER))

    def test_data_folder_in_the_windows_directory_fallback(self):
        # Without SHFOLDER.DLL the installer puts the data folder below the Windows directory.
        fallback = layout.data_folder(TITLE, fallback=True)
        self.p.dll_overrides["shfolder"] = ""
        self.install_quietly(data=fallback)
        r = self.uninstall(uninstaller=layout.uninstaller(TITLE, fallback))
        self.assertEqual(r.exit_code, 0)
        self.assertFalse(self.p.exists(SCREEN_SAVER))
        self.assertFalse(self.p.exists(layout.FALLBACK_PUBLISHER_FOLDER))
        self.assertTrue(self.p.exists(layout.FALLBACK_APPLICATION_DATA))  # not the installer's to remove
        self.assertIsNone(self.p.reg_values(KEY))

    def test_other_files_and_values_stay_with_the_folder_and_key(self):
        self.install_quietly()
        self.p.write_file(DATA + r"\notes.txt", "mine")
        self.p.reg_set(KEY, "Comments", "not the installer's")
        r = self.uninstall()
        self.assertEqual(r.exit_code, 0)
        for path in INSTALLED + [LOG]:
            self.assertFalse(self.p.exists(path), path)
        self.assertEqual(self.p.listdir(DATA), ["notes.txt"])
        self.assertEqual(self.p.reg_values(KEY), {"comments": ("REG_SZ", "not the installer's")})

    def test_an_entry_that_starts_another_program_is_left_alone(self):
        self.install_quietly()
        other = r"C:\Program Files\Other\uninstall.exe"
        self.p.reg_set(KEY, "UninstallString", other, kind="REG_EXPAND_SZ")
        r = self.uninstall(QUESTION + '\npress "Ja"\nwait class=#32770 caption="Bildschirmschoner entfernen" '
                                      'text~="entfernt" timeout=20\nrecord rect=no style=no\npress "OK"', args=None)
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "uninstall_entry_of_another_program")
        for path in INSTALLED:
            self.assertFalse(self.p.exists(path), path)
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        self.assertEqual(self.p.reg_value(KEY, "UninstallString"), other)

    def test_log_lines_outside_its_places_are_skipped(self):
        self.install_quietly()
        self.p.write_file(r"C:\windows\system32\something.txt", "system file")
        self.p.write_file(layout.PUBLISHER_FOLDER + r"\outside.txt", "next to the product folder")
        self.p.write_file(r"C:\windows\keep.scr", "another screen saver, not listed")
        log = self.p.read_file(LOG)
        self.p.write_file(LOG, log + b"C:\\windows\\system32\\something.txt\r\n" +
                          (DATA + r"\..\..\outside.txt" + "\r\n").encode("cp1252"))
        r = self.uninstall()
        self.assertEqual(r.exit_code, 1)  # not everything listed is gone
        self.assertEqual(self.p.read_file(r"C:\windows\system32\something.txt"), b"system file")
        self.assertTrue(self.p.exists(layout.PUBLISHER_FOLDER + r"\outside.txt"))
        self.assertTrue(self.p.exists(r"C:\windows\keep.scr"))
        for path in INSTALLED[:2] + INSTALLED[3:]:
            self.assertFalse(self.p.exists(path), path)
        # A line outside might be its own under another spelling: the log, the entry and the
        # uninstaller stay for a run that finds it so.
        self.assertEqual(self.p.listdir(DATA), [layout.INSTALL_LOG, layout.UNINSTALLER])
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)

    def test_started_through_another_drive_letter_it_keeps_what_a_later_run_needs(self):
        # Y: is a second letter for drive C, as SUBST makes one: every line of the log lies outside
        # the folder the uninstaller sees as its own.
        self.install_quietly()
        os.symlink(self.p.drive_c, os.path.join(self.p.path, "dosdevices", "y:"))
        r = self.uninstall(QUESTION + '\npress "Ja"\nwait class=#32770 caption="Bildschirmschoner entfernen" '
                                      'text~="nicht" timeout=20\nrecord rect=no style=no\npress "OK"', args=None,
                           uninstaller="Y:" + UNINSTALLER[2:])
        self.assertEqual(r.exit_code, 1)
        # The report lists the log's lines it saw outside its folders and keeps the log.
        self.assertTranscript(r, "uninstall_through_another_drive_letter")
        for path in INSTALLED[1:] + [LOG]:
            self.assertTrue(self.p.exists(path), path)
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        r = self.uninstall()  # from where the installer put it
        self.assertEqual(r.exit_code, 0)
        self.assertClean()

    def test_garbage_in_the_log_is_skipped_without_a_crash(self):
        self.install_quietly()
        log = self.p.read_file(LOG)
        junk = random.Random(3).randbytes(20000) + b"x" * 3000 + b"\r\n"
        self.p.write_file(LOG, junk + log)
        r = self.uninstall()
        self.assertEqual(r.exit_code, 1)
        for path in INSTALLED[:2] + INSTALLED[3:]:
            self.assertFalse(self.p.exists(path), path)
        # A damaged line may have named a file that stays: the log, the entry and the uninstaller too.
        self.assertEqual(self.p.listdir(DATA), [layout.INSTALL_LOG, layout.UNINSTALLER])
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)

    def test_asks_first_and_reports(self):
        self.install_quietly()
        r = self.uninstall(QUESTION + '\nrecord rect=no style=no\npress "Nein"', args=None)
        self.assertEqual(r.exit_code, 2)  # declined: its own code
        self.assertTranscript(r, "uninstall_asks_first")
        for path in INSTALLED:
            self.assertTrue(self.p.exists(path), path)  # No changes nothing
        r = self.uninstall(QUESTION + '\npress "Ja"\nwait class=#32770 caption="Bildschirmschoner entfernen" '
                                      'text~="entfernt" timeout=20\nrecord rect=no style=no\npress "OK"', args=None)
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "uninstall_reports")
        self.assertClean()

    def test_the_uninstall_string_runs_no_other_program_and_a_title_word_is_no_argument(self):
        title = "Fancy -s Saver"
        key = layout.uninstall_key(title)
        self.install_quietly(data=layout.data_folder(title), title=title)
        command = self.p.reg_value(key, "UninstallString")
        self.assertEqual(command, layout.uninstall_string(title))
        # Anyone may create files in C:\ProgramData: unquoted, the string would start this one first.
        self.p.copy_in(rig.fixture("fake_uninstaller.exe"), r"C:\ProgramData\Quilmark.exe")
        r = self.p.run(None, "start -- %s\n%s\npress \"Nein\"\nend timeout=30\n" % (command, QUESTION), timeout=60)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 2)
        self.assertEqual(self.p.fixture_log(), [])
        os.remove(self.p.unix(r"C:\ProgramData\Quilmark.exe"))
        # An installation made before wrote the bare path, and Windows hands the uninstaller it finds
        # there the line as it was: the title's "-s" still asks first, and the entry is its own.
        bare = layout.uninstaller(title)
        self.p.reg_set(key, "UninstallString", bare, kind="REG_EXPAND_SZ")
        r = self.p.run(None, "start \"%s\" as-is -- %s\n%s\npress \"Ja\"\nwait class=#32770 caption=\"Bildschirmschoner "
                             "entfernen\" text~=\"entfernt\" timeout=20\npress \"OK\"\nend timeout=30\n"
                       % (bare, bare, QUESTION), timeout=60)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertIsNone(self.p.reg_values(key))
        self.assertFalse(self.p.exists(layout.screen_saver(title)))

    def test_a_file_it_cannot_delete_is_reported_and_the_entry_kept(self):
        self.install_quietly()
        os.makedirs(self.p.unix(DATA) + "/Sample.bak")  # a folder where the log names a file
        log = self.p.read_file(LOG)
        self.p.write_file(LOG, log + (DATA + r"\Sample.bak" + "\r\n").encode("cp1252"))
        r = self.uninstall(QUESTION + '\npress "Ja"\nwait class=#32770 caption="Bildschirmschoner entfernen" '
                                      'text~="nicht" timeout=20\nrecord rect=no style=no\npress "OK"', args=None)
        self.assertEqual(r.exit_code, 1)
        # The report names the file and warns.
        self.assertTranscript(r, "uninstall_file_it_cannot_delete")
        # The rest is gone; the log, the entry and the uninstaller stay for a second run.
        self.assertFalse(self.p.exists(SCREEN_SAVER))
        self.assertTrue(self.p.exists(UNINSTALLER))
        self.assertTrue(self.p.exists(LOG))
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        os.rmdir(self.p.unix(DATA) + "/Sample.bak")
        r = self.uninstall()
        self.assertEqual(r.exit_code, 0)
        self.assertClean()

    def test_cancelled_installation_removes_itself(self):
        exe = rig.pack(self.p.work + "/setup.exe", TITLE, payload(self.p.work + "/in", scr_size=24 << 20))
        self.p.install_flash("10")
        r = self.p.run(exe, """
wait class=#32770 text^="Dieses Programm installiert" timeout=20
press "OK"
wait class=#32770 caption="Installation des Bildschirmschoners Sample" text="Bitte warten..." timeout=20
press "Abbrechen"
wait class=#32770 caption="Installation abbrechen?" timeout=20
press "Ja"
""", timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 5)  # cancelled during the installation
        # The rig waits for every process of the prefix: the uninstaller and its copy have ended.
        self.assertClean()

    def test_a_held_log_keeps_everything_for_a_repeat(self):
        # Another program holds INSTALL.LOG (readers allowed, no deleting): the uninstaller cannot
        # hold it as it must, so it deletes nothing and keeps the entry and itself.
        self.install_quietly()
        self.p.copy_in(rig.fixture("hold_open.exe"), HOLD_OPEN)
        r = self.p.run(None, 'start "%s" -- "%s"\nsleep 500\nstart "%s"\n%s\npress "Ja"\n%s\nend timeout=30\n'
                             'start "%s" -- release "%s"\nend timeout=20\n'
                       % (HOLD_OPEN, LOG, UNINSTALLER, QUESTION, REPORT % "nicht", HOLD_OPEN, LOG), timeout=90)
        self.assertRobotOk(r)
        self.assertTranscript(r, "uninstall_held_log")  # its exit code 1, then the holder's 0
        for path in INSTALLED + [LOG]:
            self.assertTrue(self.p.exists(path), path)
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        self.assertEqual(self.uninstall().exit_code, 0)  # the repeat, once the log is free
        self.assertClean()

    def test_a_last_line_cut_inside_its_path_keeps_everything(self):
        self.install_quietly()
        log = self.p.read_file(LOG)
        self.assertTrue(log.endswith(b"FILE0000.SWF\r\n"))
        self.p.write_file(LOG, log[:-len(b"00.SWF\r\n")])  # the movie is named by no whole line
        r = self.uninstall(QUESTION + '\npress "Ja"\n' + REPORT % "nicht", args=None)
        self.assertEqual(r.exit_code, 1)
        self.assertTranscript(r, "uninstall_cut_line")
        self.assertFalse(self.p.exists(SCREEN_SAVER))
        self.assertEqual(self.p.listdir(DATA), sorted(["FILE0000.SWF", layout.INSTALL_LOG, layout.UNINSTALLER]))
        self.assertEqual(set(self.p.reg_values(KEY)), layout.UNINSTALL_VALUES)
        self.p.write_file(LOG, log)  # the line whole again: the repeat removes the rest
        self.assertEqual(self.uninstall().exit_code, 0)
        self.assertClean()

    def test_an_inherited_handoff_variable_changes_nothing(self):
        # The variable that marked the copy before, set in the user's environment as a copy's
        # handoff: the uninstaller runs as always.
        self.install_quietly()
        with mock.patch.dict(os.environ, {"VISTAWORKS_UNINSTALL_HANDOFF": "1a4 " + UNINSTALLER}):
            r = self.uninstall()
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "uninstall_silent")
        self.assertClean()

    def test_an_uninstaller_held_open_is_left_to_the_next_start(self):
        # Another program holds UNINSTAL.EXE after the first process has ended: the copy gives up
        # after its attempts, schedules the file and its folders for the next start and says so.
        self.install_quietly()
        self.p.copy_in(rig.fixture("hold_open.exe"), HOLD_OPEN)
        late = 'wait class=#32770 caption="Bildschirmschoner entfernen" text~="konnte noch nicht" timeout=40\n' \
               'record rect=no style=no\npress "OK"'
        r = self.p.run(None, 'start "%s" -- "%s"\nsleep 500\nstart "%s"\n%s\npress "Ja"\n%s\nend timeout=30\n%s\n'
                             'start "%s" -- release "%s"\nend timeout=20\n'
                       % (HOLD_OPEN, UNINSTALLER, UNINSTALLER, QUESTION, REPORT % "entfernt", late, HOLD_OPEN,
                          UNINSTALLER), timeout=120)
        self.assertRobotOk(r)
        self.assertTranscript(r, "uninstall_held_uninstaller")  # exit code 0: everything the log names went
        for path in INSTALLED[:2] + INSTALLED[3:] + [LOG]:
            self.assertFalse(self.p.exists(path), path)
        self.assertIsNone(self.p.reg_values(KEY))
        self.assertTrue(self.p.exists(UNINSTALLER))
        pending = pending_deletions(self.p)
        self.assertEqual(pending[:4], [UNINSTALLER, DATA, layout.PRODUCT_FOLDER, layout.PUBLISHER_FOLDER])
        # Then the copy itself, in a folder of its own below the temp folder.
        self.assertEqual(len(pending), 6, pending)
        copy_folder, name = pending[4].rsplit("\\", 1)
        self.assertEqual(name, layout.UNINSTALLER)
        self.assertRegex(copy_folder, r"\\UNINSTAL-[0-9a-f]{16}$")
        self.assertEqual(pending[5], copy_folder)

    def test_its_own_file_cannot_be_renamed_while_it_runs(self):
        # While it waits at its question, its file is held: renaming it (the way to put another
        # program at its path) is refused, so the path keeps naming what runs.
        self.install_quietly()
        renamed = DATA + r"\renamed.exe"
        r = self.uninstall(QUESTION + '\nstart "C:\\windows\\system32\\cmd.exe" -- /c move "%s" "%s"\nend timeout=30\n'
                                      '%s\npress "Nein"' % (UNINSTALLER, renamed, QUESTION), args=None)
        self.assertTranscript(r, "uninstall_held_own_file")  # the move's exit code 1
        self.assertTrue(self.p.exists(UNINSTALLER))
        self.assertFalse(self.p.exists(renamed))
