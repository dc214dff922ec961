"""The checks before anything is written: the replace question under the installer's own file
name, the disk-space question on a small drive C, and a confirmed cancel that starts the
uninstaller with "/s" and nothing after it."""
import os
import re

import layout
import rig
from sequence_common import CAPTION, FLASH, INFO_OK, TITLE, installed, payload, snapshot, started

REPLACE = "Bildschirmschoner überschreiben?"


def any_free_space(transcript):
    """The free space of the small drive C varies a little from prefix to prefix; the test
    compares the number with the drive's by itself."""
    return re.sub(r"Ihr Laufwerk hat [0-9,]+ KB", "Ihr Laufwerk hat N KB", transcript)


class ReplaceQuestion(rig.Scenario):
    def run_named(self, installer_name, existing, script, exit_code):
        p = self.prefix()
        p.write_file(layout.WINDOWS + "\\" + existing, b"old screen saver")
        exe = rig.pack(os.path.join(p.work, installer_name), TITLE, payload(p))
        before = snapshot(p)
        r = p.run(exe, script, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, exit_code)
        return p, r, before

    def test_no_ends_with_nothing_written(self):
        p, r, before = self.run_named("Sample.exe", "Sample.scr", """
wait class=#32770 caption="%s" timeout=30
record rect=no style=no
press "Nein"
end timeout=30
""" % REPLACE, 2)  # declined before anything was written
        # The question without owner names the file by the installer's name.
        self.assertTranscript(r, "sequence_replace_no")
        self.assertEqual(snapshot(p), before)
        self.assertEqual(p.read_file(layout.screen_saver(TITLE)), b"old screen saver")

    def test_yes_replaces_it(self):
        p, r, before = self.run_named("Sample.exe", "Sample.scr", """
wait class=#32770 caption="%s" timeout=30
record rect=no style=no
press "Ja"
""" % REPLACE + INFO_OK + """
wait class=#32770 caption="%s" timeout=60
press "Abbrechen"
wait class=#32770 caption="Vistaworks Bestellinformation" timeout=30
press "OK"
end timeout=30
""" % FLASH, 0)
        self.assertTranscript(r, "sequence_replace_yes")
        self.assertEqual(p.read_file(layout.screen_saver(TITLE))[:2], b"MZ")

    def test_a_renamed_installer_looks_under_its_new_name(self):
        p, r, before = self.run_named("Polar Setup.exe", "Polar Setup.SCR", """
wait class=#32770 caption="%s" timeout=30
record rect=no style=no
press "Nein"
end timeout=30
""" % REPLACE, 2)
        self.assertTranscript(r, "sequence_replace_renamed")
        # The title's screen saver is not what it looks for.
        p, r, before = self.run_named("Polar Setup.exe", "Sample.scr", """
forbid class=#32770 caption="%s"
wait class=#32770 text^="Dieses Programm installiert" timeout=30
press "Abbrechen"
end timeout=30
""" % REPLACE, 2)  # the information message cancelled
        self.assertEqual(snapshot(p), before)


class DiskSpace(rig.Scenario):
    def run_small(self, answer, then, expected, stub=None):
        p = self.prefix()
        entries = payload(p, data_size=6 << 20)
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, entries, stub=stub)
        p.small_drive_c(2 << 20)
        free_kb = p.free_bytes() >> 10
        before = snapshot(p)
        r = p.run(exe, """
wait class=#32770 caption="Datenträger voll" timeout=30
record rect=no style=no
press "%s"
%s
end timeout=30
""" % (answer, then), timeout=120, copy_to=None)  # from Z:, the small drive holds too little
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 2)  # declined before anything was written, in either mode
        # The box without owner: what the payload needs, grouped, and what the drive has.
        self.assertTranscript(r, expected, transform=any_free_space)
        message = next(l for l in r.section('window class=#32770 caption="Datenträger voll"')
                       if l.startswith("  message: "))
        free = re.search(r"Ihr Laufwerk hat ([0-9,]+) KB", message).group(1)
        self.assertLess(abs(int(free.replace(",", "")) - free_kb), 256, message)
        return p, r, before

    def test_cancel_writes_nothing(self):
        p, r, before = self.run_small("Abbrechen", "", "sequence_disk_space_cancel")
        self.assertEqual(snapshot(p), before)

    def test_the_quiet_build_asks_as_well(self):
        p, r, before = self.run_small("Abbrechen", "", "sequence_disk_space_cancel", stub=rig.INSTALLER_QUIET)
        self.assertEqual(snapshot(p), before)

    def test_ok_goes_on_to_the_information_message(self):
        p, r, before = self.run_small("OK", """
wait class=#32770 caption="%s" text^="Dieses Programm installiert" timeout=30
press "Abbrechen"
""" % CAPTION, "sequence_disk_space_ok")
        self.assertEqual(snapshot(p), before)


class CancelledInstallation(rig.Scenario):
    def test_the_uninstaller_starts_silently_and_nothing_follows(self):
        p = self.prefix()
        entries = payload(p)
        with open(entries[0], "ab") as f:
            f.write(b"\0" * (24 << 20))  # a screen saver the cancel press lands in
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, entries)
        r = p.run(exe, """
forbid class=#32770 caption="%s"
forbid class=#32770 text="Installation beendet!"
forbid class=#32770 caption="Vistaworks Bestellinformation"
""" % FLASH + INFO_OK + """
wait class=#32770 caption="%s" text="Bitte warten..." timeout=30
press "Abbrechen"
wait class=#32770 caption="Installation abbrechen?" timeout=30
press "Ja"
end timeout=60
sleep 1500
""" % CAPTION, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 5)  # cancelled during the installation
        self.assertEqual([(e["tag"], e["args"]) for e in p.fixture_log()], [("uninstaller", "/s")])
        self.assertEqual(started(p), [])
