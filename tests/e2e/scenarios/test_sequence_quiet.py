"""The quiet build: no replace question, no information message, no visible progress dialog, no
message D, no notice and no start; the licence and messages A and C still appear."""
import os

import layout
import rig
from sequence_common import FLASH, TITLE, installed, payload, started

FORBIDDEN = """
forbid class=#32770 text^="Dieses Programm installiert"
forbid class=#32770 text="Bitte warten..." visible=yes
forbid class=#32770 text="Installation beendet!"
forbid class=#32770 caption="Vistaworks Bestellinformation"
forbid class=#32770 caption="Bildschirmschoner überschreiben?"
"""


class QuietSequence(rig.Scenario):
    def test_licence_and_message_a_still_come(self):
        p = self.prefix()
        # A screen saver of the installer's name is replaced without asking.
        p.write_file(layout.WINDOWS + r"\Sample.SCR", b"old")
        licence = os.path.join(p.work, "licence.txt")
        with open(licence, "wb") as f:
            f.write(b"Quiet licence\r\n")
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, payload(p, data_size=8 << 20), licence=licence,
                       stub=rig.INSTALLER_QUIET)
        r = p.run(exe, FORBIDDEN + """
wait class=#32770 caption="License Agreement" timeout=30
press "Accept"
wait class=#32770 caption="%s" text^="Sie haben leider keinen" timeout=60
record rect=no style=no
press "Abbrechen"
end timeout=30
""" % FLASH, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertTranscript(r, "sequence_quiet_licence_and_message_a")
        self.assertTrue(installed(p))
        self.assertEqual(p.read_file(layout.screen_saver(TITLE))[:2], b"MZ")
        self.assertEqual(started(p), [])

    def test_message_c_still_comes_and_the_current_player_ends_silently(self):
        p = self.prefix()
        p.install_flash("9")
        exe = rig.pack(os.path.join(p.work, "Sample.exe"), TITLE, payload(p, movie_version=10),
                       stub=rig.INSTALLER_QUIET)
        r = p.run(exe, FORBIDDEN + """
wait class=#32770 caption="%s" text^="Der Bildschirmschoner wurde" timeout=60
press "OK"
end timeout=30
""" % FLASH, timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertEqual(started(p), [])

        q = self.prefix()
        q.install_flash("9")
        exe = rig.pack(os.path.join(q.work, "Sample.exe"), TITLE, payload(q, movie_version=9),
                       stub=rig.INSTALLER_QUIET)
        r = q.run(exe, FORBIDDEN + "forbid class=#32770\nend timeout=60\n", timeout=120)
        self.assertRobotOk(r)
        self.assertEqual(r.exit_code, 0)
        self.assertTrue(installed(q))
        self.assertEqual(started(q), [])
